// Small model files for the tests, written chunk by chunk so that each test controls every byte.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/chunk_ids.h"
#include "model/model_3ds.h"
#include "tools/model3ds/chunk_writer.h"

namespace testfiles {

struct Face {
  uint16_t a, b, c;
};

// A material chunk: name, then optional diffuse and specular colours (nested 24-bit colour
// chunks) and an optional texture map with one map file name.
inline void material(ChunkWriter& w, const std::string& name, const uint8_t* diffuse = nullptr,
                     const uint8_t* specular = nullptr, const std::string& mapFile = "") {
  const size_t m = w.Begin(chunk3ds::kMaterial);
  const size_t n = w.Begin(chunk3ds::kMaterialName);
  w.String(name);
  w.End(n);
  for (auto [id, rgb] : {std::pair<uint16_t, const uint8_t*>{chunk3ds::kDiffuse, diffuse},
                         std::pair<uint16_t, const uint8_t*>{chunk3ds::kSpecular, specular}}) {
    if (rgb == nullptr) continue;
    const size_t c = w.Begin(id);
    const size_t c24 = w.Begin(chunk3ds::kColor24);
    w.Bytes(rgb, 3);
    w.End(c24);
    w.End(c);
  }
  if (!mapFile.empty()) {
    const size_t map = w.Begin(chunk3ds::kTextureMap);
    const size_t file = w.Begin(chunk3ds::kMapFileName);
    w.String(mapFile);
    w.End(file);
    w.End(map);
  }
  w.End(m);
}

inline void vertexList(ChunkWriter& w, const std::vector<float>& xyz) {
  const size_t c = w.Begin(chunk3ds::kVertexList);
  w.U16(static_cast<uint16_t>(xyz.size() / 3));
  for (float f : xyz) w.F32(f);
  w.End(c);
}

inline void texCoordList(ChunkWriter& w, const std::vector<float>& uv) {
  const size_t c = w.Begin(chunk3ds::kTexCoords);
  w.U16(static_cast<uint16_t>(uv.size() / 2));
  for (float f : uv) w.F32(f);
  w.End(c);
}

inline void faceMaterial(ChunkWriter& w, const std::string& name, const std::vector<uint16_t>& faces) {
  const size_t c = w.Begin(chunk3ds::kFaceMaterial);
  w.String(name);
  w.U16(static_cast<uint16_t>(faces.size()));
  for (uint16_t f : faces) w.U16(f);
  w.End(c);
}

// A face list with its face-material chunks nested after the faces.
inline void faceList(ChunkWriter& w, const std::vector<Face>& faces,
                     const std::vector<std::pair<std::string, std::vector<uint16_t>>>& materials = {}) {
  const size_t c = w.Begin(chunk3ds::kFaceList);
  w.U16(static_cast<uint16_t>(faces.size()));
  for (const Face& f : faces) {
    w.U16(f.a);
    w.U16(f.b);
    w.U16(f.c);
    w.U16(0);
  }
  for (const auto& [name, list] : materials) faceMaterial(w, name, list);
  w.End(c);
}

// A named object with one triangle mesh.
inline void object(ChunkWriter& w, const std::string& name, const std::vector<float>& xyz,
                   const std::vector<float>& uv, const std::vector<Face>& faces,
                   const std::vector<std::pair<std::string, std::vector<uint16_t>>>& materials = {}) {
  const size_t o = w.Begin(chunk3ds::kObject);
  w.String(name);
  const size_t m = w.Begin(chunk3ds::kTriangleMesh);
  vertexList(w, xyz);
  if (!uv.empty()) texCoordList(w, uv);
  faceList(w, faces, materials);
  w.End(m);
  w.End(o);
}

// The 183-byte example: one material "mat" (diffuse red 255, green 0, blue 128, texture
// "t.bmp") and one object "obj" with one textured triangle of vertices (1, 2, 3), (4, 5, 6),
// (7, 8, 9) and texture coordinates (0.25, 0.75), (1, 0), (0, 1).
inline std::vector<uint8_t> exampleFile() {
  ChunkWriter w;
  const size_t main = w.Begin(chunk3ds::kMain);
  const size_t editor = w.Begin(chunk3ds::kEditor);
  const uint8_t diffuse[3] = {255, 0, 128};
  material(w, "mat", diffuse, nullptr, "t.bmp");
  object(w, "obj", {1, 2, 3, 4, 5, 6, 7, 8, 9}, {0.25f, 0.75f, 1, 0, 0, 1}, {{0, 1, 2}}, {{"mat", {0}}});
  w.End(editor);
  w.End(main);
  return w.bytes();
}

// Wraps content in a main and an editor chunk.
inline std::vector<uint8_t> wrapped(const std::vector<uint8_t>& content) {
  ChunkWriter w;
  const size_t main = w.Begin(chunk3ds::kMain);
  const size_t editor = w.Begin(chunk3ds::kEditor);
  w.Bytes(content.data(), content.size());
  w.End(editor);
  w.End(main);
  return w.bytes();
}

}  // namespace testfiles

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace testfiles {

struct Loaded {
  bool ok;             // Load's result
  std::string output;  // what it printed
};

// Writes bytes to dir/name and loads them with texture prefix, capturing standard output.
inline Loaded load(C3DSMaxModel& model, const TempDir& dir, const std::vector<uint8_t>& bytes,
                   const std::string& prefix = "", const std::string& name = "m.3ds") {
  const std::string path = dir.file(name);
  writeBytes(path, bytes);
  testing::internal::CaptureStdout();
  const bool ok = model.Load(path.c_str(), prefix.c_str());
  return {ok, testing::internal::GetCapturedStdout()};
}

}  // namespace testfiles
