// Small model files for the tests, written chunk by chunk so that each test controls every byte.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/chunk_ids.h"
#include "model/model_3ds.h"
#include "tests/test_files.h"
#include "tools/model3ds/chunk_writer.h"

namespace testfiles {

using Faces = std::vector<std::array<uint16_t, 3>>;
using FaceMaterials = std::vector<std::pair<std::string, std::vector<uint16_t>>>;
const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

// Writes a chunk whose content body() writes; returns its offset (for SetLength).
template <typename Body>
size_t chunk(ChunkWriter& w, uint16_t id, Body body) {
  const size_t c = w.Begin(id);
  return body(), w.End(c), c;
}

// Name, optional 24-bit diffuse and specular colours, optional texture map file.
inline void material(ChunkWriter& w, const std::string& name, const uint8_t* diffuse = nullptr,
                     const uint8_t* specular = nullptr, const std::string& mapFile = "") {
  chunk(w, chunk3ds::kMaterial, [&] {
    chunk(w, chunk3ds::kMaterialName, [&] { w.String(name); });
    for (auto [id, rgb] : {std::pair{chunk3ds::kDiffuse, diffuse}, std::pair{chunk3ds::kSpecular, specular}})
      if (rgb != nullptr) chunk(w, id, [&] { chunk(w, chunk3ds::kColor24, [&] { w.Bytes(rgb, 3); }); });
    if (!mapFile.empty())
      chunk(w, chunk3ds::kTextureMap, [&] { chunk(w, chunk3ds::kMapFileName, [&] { w.String(mapFile); }); });
  });
}

// A list chunk: a 16-bit count of groups of `per` floats, then the floats.
inline void floatList(ChunkWriter& w, uint16_t id, const std::vector<float>& values, size_t per = 3) {
  chunk(w, id, [&] {
    w.U16(static_cast<uint16_t>(values.size() / per));
    for (float f : values) w.F32(f);
  });
}

// A face list with its face-material chunks nested after the faces.
inline void faceList(ChunkWriter& w, const Faces& faces, const FaceMaterials& materials = {}) {
  chunk(w, chunk3ds::kFaceList, [&] {
    w.U16(static_cast<uint16_t>(faces.size()));
    for (const auto& f : faces) w.U16(f[0]), w.U16(f[1]), w.U16(f[2]), w.U16(0);
    for (const auto& [name, list] : materials)
      chunk(w, chunk3ds::kFaceMaterial, [&] {
        w.String(name), w.U16(static_cast<uint16_t>(list.size()));
        for (uint16_t face : list) w.U16(face);
      });
  });
}

// A named object with one triangle mesh.
inline void object(ChunkWriter& w, const std::string& name, const std::vector<float>& xyz, const std::vector<float>& uv,
                   const Faces& faces, const FaceMaterials& materials = {}) {
  chunk(w, chunk3ds::kObject, [&] {
    w.String(name);
    chunk(w, chunk3ds::kTriangleMesh, [&] {
      floatList(w, chunk3ds::kVertexList, xyz);
      if (!uv.empty()) floatList(w, chunk3ds::kTexCoords, uv, 2);
      faceList(w, faces, materials);
    });
  });
}

// Wraps content in a main and an editor chunk.
inline std::vector<uint8_t> wrapped(const std::vector<uint8_t>& content) {
  ChunkWriter w;
  chunk(w, chunk3ds::kMain, [&] { chunk(w, chunk3ds::kEditor, [&] { w.Bytes(content.data(), content.size()); }); });
  return w.bytes();
}

struct Loaded {
  std::vector<ModelDamageKind> kinds;  // what loading found damaged, in order
  std::vector<uint32_t> faces;         // the face count of each group
};

// Writes bytes to dir/m.3ds and loads them with the texture prefix "prefix/". Loading prints one
// line per damage entry, in order, naming the file; every face kept is linked to its own corners,
// which drawing trusts.
inline Loaded load(C3DSMaxModel& model, const TempDir& dir, const std::vector<uint8_t>& bytes) {
  writeBytes(dir.file("m.3ds"), bytes);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(model.Load(dir.file("m.3ds").c_str(), "prefix/"));
  std::string lines;
  Loaded loaded;
  for (const ModelDamage& d : model.m_damage)
    loaded.kinds.push_back(d.kind), lines += "model: " + dir.file("m.3ds") + ": " + DescribeModelDamage(d) + "\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), lines);
  for (const CGroup* g : model.m_groups) {
    loaded.faces.push_back(g->m_nFaces);
    for (uint32_t i = 0; i < g->m_nFaces; i++) EXPECT_EQ(g->m_pFaces[i].pA, &g->m_pVertices[g->m_pFaces[i].a]);
  }
  return loaded;
}

}  // namespace testfiles
