#include "tools/model3ds/model_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "model/chunk_ids.h"
#include "tools/model3ds/chunk_writer.h"

namespace {

void writeColour(ChunkWriter& w, uint16_t id, const std::array<uint8_t, 3>& rgb) {
  const size_t colour = w.Begin(id);
  const size_t rgb24 = w.Begin(chunk3ds::kColor24);
  for (uint8_t c : rgb) w.U8(c);
  w.End(rgb24);
  w.End(colour);
}

void writeMaterial(ChunkWriter& w, const MaterialDesc& m) {
  const size_t material = w.Begin(chunk3ds::kMaterial);
  const size_t name = w.Begin(chunk3ds::kMaterialName);
  w.String(m.name);
  w.End(name);
  writeColour(w, chunk3ds::kDiffuse, m.diffuse);
  writeColour(w, chunk3ds::kSpecular, m.specular);
  if (!m.textureFile.empty()) {
    const size_t map = w.Begin(chunk3ds::kTextureMap);
    const size_t file = w.Begin(chunk3ds::kMapFileName);
    w.String(m.textureFile);
    w.End(file);
    w.End(map);
  }
  w.End(material);
}

void writeMesh(ChunkWriter& w, const MeshDesc& m) {
  const size_t object = w.Begin(chunk3ds::kObject);
  w.String(m.name);
  const size_t mesh = w.Begin(chunk3ds::kTriangleMesh);

  const size_t vertices = w.Begin(chunk3ds::kVertexList);
  w.U16(static_cast<uint16_t>(m.vertices.size()));
  for (const Vec3& v : m.vertices)
    for (float f : v) w.F32(f);
  w.End(vertices);

  if (!m.texCoords.empty()) {
    const size_t uv = w.Begin(chunk3ds::kTexCoords);
    w.U16(static_cast<uint16_t>(m.texCoords.size()));
    for (const Vec2& t : m.texCoords) {
      w.F32(t[0]);
      w.F32(t[1]);
    }
    w.End(uv);
  }

  const size_t faces = w.Begin(chunk3ds::kFaceList);
  w.U16(static_cast<uint16_t>(m.faces.size()));
  for (const FaceDesc& f : m.faces) {
    w.U16(f.a);
    w.U16(f.b);
    w.U16(f.c);
    w.U16(0x0007);  // all three edges visible
  }
  for (const auto& [name, list] : m.faceMaterials) {
    const size_t fm = w.Begin(chunk3ds::kFaceMaterial);
    w.String(name);
    w.U16(static_cast<uint16_t>(list.size()));
    for (uint16_t face : list) w.U16(face);
    w.End(fm);
  }
  w.End(faces);
  w.End(mesh);
  w.End(object);
}

bool check(bool ok, const std::string& what, std::string* error) {
  if (!ok) *error = what;
  return ok;
}

bool validate(const ModelDesc& model, std::string* error) {
  for (const MaterialDesc& m : model.materials) {
    if (!check(m.name.size() < chunk3ds::kNameLimit, "material name \"" + m.name + "\" is longer than 255 bytes",
               error) ||
        !check(m.textureFile.size() < chunk3ds::kNameLimit, "texture file name of material \"" + m.name +
               "\" is longer than 255 bytes", error))
      return false;
  }
  for (const MeshDesc& m : model.meshes) {
    const std::string mesh = "mesh \"" + m.name + "\"";
    if (!check(m.name.size() < chunk3ds::kObjectNameLimit, mesh + ": name longer than 19 bytes", error) ||
        !check(m.vertices.size() <= 65535, mesh + ": more than 65535 vertices", error) ||
        !check(m.faces.size() <= 65535, mesh + ": more than 65535 faces", error) ||
        !check(m.texCoords.empty() || m.texCoords.size() == m.vertices.size(),
               mesh + ": texture coordinates must be one per vertex", error))
      return false;
    for (const FaceDesc& f : m.faces)
      if (!check(f.a < m.vertices.size() && f.b < m.vertices.size() && f.c < m.vertices.size(),
                 mesh + ": a face names a vertex that does not exist", error))
        return false;
    for (const auto& [name, list] : m.faceMaterials) {
      if (!check(name.size() < chunk3ds::kNameLimit && list.size() <= 65535,
                 mesh + ": material list \"" + name + "\" too long", error))
        return false;
      for (uint16_t face : list)
        if (!check(face < m.faces.size(), mesh + ": material list names a face that does not exist", error))
          return false;
    }
  }
  return true;
}

}  // namespace

bool Write3ds(const ModelDesc& model, std::vector<uint8_t>* bytes, std::string* error) {
  if (!validate(model, error)) return false;
  ChunkWriter w;
  const size_t main = w.Begin(chunk3ds::kMain);
  const size_t editor = w.Begin(chunk3ds::kEditor);
  for (const MaterialDesc& m : model.materials) writeMaterial(w, m);
  for (const MeshDesc& m : model.meshes) writeMesh(w, m);
  w.End(editor);
  w.End(main);
  *bytes = w.bytes();
  return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *error = "cannot write " + path + " completely";
    return false;
  }
  return true;
}
