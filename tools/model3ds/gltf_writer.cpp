#include "tools/model3ds/gltf_writer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>

namespace {

using nlohmann::json;

constexpr int kFloat = 5126, kUnsignedShort = 5123;            // accessor component types
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;  // buffer view targets

std::string base64(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t n = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                       (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    for (int k = 0; k < 4; k++)
      out += k <= static_cast<int>(std::min<size_t>(bytes.size() - i, 3)) ? kDigits[(n >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// The vertex data of every mesh in one buffer, and the views and accessors over it.
class BufferBuilder {
 public:
  // Appends values as a view of target and an accessor of count elements of type; returns the
  // accessor's index.
  template <class T>
  int Add(const std::vector<T>& values, int componentType, const char* type, size_t count, int target,
          json extra = json::object()) {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    const size_t offset = bytes_.size(), length = values.size() * sizeof(T);
    bytes_.resize(offset + length);
    std::memcpy(bytes_.data() + offset, values.data(), length);
    views_.push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}, {"target", target}});
    extra["bufferView"] = views_.size() - 1;
    extra["componentType"] = componentType;
    extra["count"] = count;
    extra["type"] = type;
    accessors_.push_back(extra);
    return static_cast<int>(accessors_.size() - 1);
  }

  void Finish(json* gltf) const {
    (*gltf)["buffers"] = json::array(
        {{{"byteLength", bytes_.size()}, {"uri", "data:application/octet-stream;base64," + base64(bytes_)}}});
    (*gltf)["bufferViews"] = views_;
    (*gltf)["accessors"] = accessors_;
  }

 private:
  std::vector<uint8_t> bytes_;
  json views_ = json::array(), accessors_ = json::array();
};

json materials(const ModelDesc& model, json* gltf) {
  json list = json::array(), images = json::array();
  for (const MaterialDesc& m : model.materials) {
    json pbr = {{"baseColorFactor", {m.diffuse[0] / 255.0, m.diffuse[1] / 255.0, m.diffuse[2] / 255.0, 1.0}},
                {"metallicFactor", 0.0},
                {"roughnessFactor", 1.0}};
    if (!m.textureFile.empty()) {
      pbr["baseColorTexture"] = {{"index", images.size()}};
      images.push_back({{"uri", m.textureFile}});
    }
    list.push_back({{"name", m.name}, {"pbrMetallicRoughness", pbr}});
  }
  if (!images.empty()) {
    json textures = json::array();
    for (size_t i = 0; i < images.size(); i++) textures.push_back({{"source", i}});
    (*gltf)["images"] = images;
    (*gltf)["textures"] = textures;
  }
  return list;
}

}  // namespace

bool WriteGltf(const ModelDesc& model, std::string* text, std::string* error) {
  std::map<std::string, int> materialIndex;
  for (size_t i = 0; i < model.materials.size(); i++) materialIndex.emplace(model.materials[i].name, i);
  json gltf = {{"asset", {{"version", "2.0"}, {"generator", "armodel3ds"}}}, {"scene", 0}};
  gltf["materials"] = materials(model, &gltf);
  BufferBuilder buffer;
  json meshes = json::array(), nodes = json::array(), sceneNodes = json::array();
  for (const MeshDesc& mesh : model.meshes) {
    if (mesh.vertices.size() > 65535 || mesh.faces.size() > 65535) {
      *error = "mesh \"" + mesh.name + "\": more than 65535 vertices or faces";
      return false;
    }
    if (mesh.faces.empty()) continue;  // a glTF mesh needs a primitive
    std::vector<float> positions, texCoords;
    std::array<float, 3> lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (const Vec3& v : mesh.vertices) {
      const float p[3] = {v[0], v[2], v[1]};  // y and z exchanged, as the 3DS loader does
      for (int k = 0; k < 3; k++) {
        positions.push_back(p[k]);
        lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
      }
    }
    for (const Vec2& t : mesh.texCoords) texCoords.push_back(t[0]), texCoords.push_back(1.0f - t[1]);  // v down
    json attributes = {{"POSITION", buffer.Add(positions, kFloat, "VEC3", mesh.vertices.size(), kArrayBuffer,
                                               {{"min", lo}, {"max", hi}})}};
    if (!texCoords.empty())
      attributes["TEXCOORD_0"] = buffer.Add(texCoords, kFloat, "VEC2", mesh.texCoords.size(), kArrayBuffer);
    // One primitive per material; faces named by no material list go into one without.
    std::vector<bool> listed(mesh.faces.size(), false);
    std::vector<std::pair<int, std::vector<uint16_t>>> parts;
    for (const auto& [name, faces] : mesh.faceMaterials) {
      const auto found = materialIndex.find(name);
      parts.push_back({found == materialIndex.end() ? -1 : found->second, faces});
      for (uint16_t f : faces) listed[f] = true;
    }
    std::vector<uint16_t> rest;
    for (size_t f = 0; f < mesh.faces.size(); f++)
      if (!listed[f]) rest.push_back(static_cast<uint16_t>(f));
    if (!rest.empty()) parts.push_back({-1, rest});
    json primitives = json::array();
    for (const auto& [material, faces] : parts) {
      std::vector<uint16_t> indices;
      // Exchanging two axes mirrors the mesh; the corners turn round so that faces keep their front.
      for (uint16_t f : faces) indices.insert(indices.end(), {mesh.faces[f].a, mesh.faces[f].c, mesh.faces[f].b});
      const int indexAccessor = buffer.Add(indices, kUnsignedShort, "SCALAR", indices.size(), kElementArrayBuffer);
      json primitive = {{"attributes", attributes}, {"indices", indexAccessor}};
      if (material >= 0) primitive["material"] = material;
      primitives.push_back(primitive);
    }
    sceneNodes.push_back(nodes.size());
    nodes.push_back({{"name", mesh.name}, {"mesh", meshes.size()}});
    meshes.push_back({{"name", mesh.name}, {"primitives", primitives}});
  }
  gltf["scenes"] = json::array({{{"nodes", sceneNodes}}});
  gltf["nodes"] = nodes;
  gltf["meshes"] = meshes;
  buffer.Finish(&gltf);
  *text = gltf.dump(1) + "\n";
  return true;
}
