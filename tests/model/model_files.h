// Small model files for the tests, written chunk by chunk so that each test controls every byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/chunk_ids.h"
#include "model/model_3ds.h"
#include "tests/test_files.h"
#include "tools/model3ds/chunk_writer.h"

namespace testfiles {

struct Face {
  uint16_t a, b, c;
};
using FaceMaterials = std::vector<std::pair<std::string, std::vector<uint16_t>>>;
const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

inline bool mentions(const std::string& output, const std::string& text) {
  return output.find(text) != std::string::npos;
}

// The kinds of what the model's load found damaged, in order.
inline std::vector<ModelDamageKind> kinds(const C3DSMaxModel& model) {
  std::vector<ModelDamageKind> found;
  for (const ModelDamage& d : model.m_damage) found.push_back(d.kind);
  return found;
}

// Writes a chunk whose content body() writes; returns its offset (for SetLength).
template <typename Body>
size_t chunk(ChunkWriter& w, uint16_t id, Body body) {
  const size_t c = w.Begin(id);
  body();
  w.End(c);
  return c;
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

inline void faceMaterial(ChunkWriter& w, const std::string& name, const std::vector<uint16_t>& faces) {
  chunk(w, chunk3ds::kFaceMaterial, [&] {
    w.String(name);
    w.U16(static_cast<uint16_t>(faces.size()));
    for (uint16_t f : faces) w.U16(f);
  });
}

// A face list with its face-material chunks nested after the faces.
inline void faceList(ChunkWriter& w, const std::vector<Face>& faces, const FaceMaterials& materials = {}) {
  chunk(w, chunk3ds::kFaceList, [&] {
    w.U16(static_cast<uint16_t>(faces.size()));
    for (const Face& f : faces) w.U16(f.a), w.U16(f.b), w.U16(f.c), w.U16(0);
    for (const auto& [name, list] : materials) faceMaterial(w, name, list);
  });
}

// A named object with one triangle mesh.
inline void object(ChunkWriter& w, const std::string& name, const std::vector<float>& xyz,
                   const std::vector<float>& uv, const std::vector<Face>& faces, const FaceMaterials& materials = {}) {
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

// The 183-byte example: material "mat" (diffuse 255, 0, 128, texture "t.bmp") and object "obj",
// one triangle over (1, 2, 3), (4, 5, 6), (7, 8, 9) with (u, v) (0.25, 0.75), (1, 0), (0, 1).
inline std::vector<uint8_t> exampleFile() {
  ChunkWriter w;
  const uint8_t diffuse[3] = {255, 0, 128};
  material(w, "mat", diffuse, nullptr, "t.bmp");
  object(w, "obj", {1, 2, 3, 4, 5, 6, 7, 8, 9}, {0.25f, 0.75f, 1, 0, 0, 1}, {{0, 1, 2}}, {{"mat", {0}}});
  return wrapped(w.bytes());
}

struct Loaded {
  bool ok;             // Load's result
  std::string output;  // what it printed
};

// Writes bytes to dir/m.3ds and loads them with the texture prefix, capturing standard output.
inline Loaded load(C3DSMaxModel& model, const TempDir& dir, const std::vector<uint8_t>& bytes,
                   const std::string& prefix = "") {
  writeBytes(dir.file("m.3ds"), bytes);
  testing::internal::CaptureStderr();
  const bool ok = model.Load(dir.file("m.3ds").c_str(), prefix.c_str());
  return {ok, testing::internal::GetCapturedStderr()};
}

}  // namespace testfiles
