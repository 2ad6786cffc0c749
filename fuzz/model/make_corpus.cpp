// Writes the seed corpora of the model fuzz targets: small model files (well-formed and
// damaged in the ways the loader guards against) and small pictures of each kind.
//   model_fuzz_corpus OUT_FOLDER   (writes OUT_FOLDER/model/* and OUT_FOLDER/texture/*)
#include <stb_image_write.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model/chunk_ids.h"
#include "tools/model3ds/chunk_writer.h"
#include "tools/model3ds/image_writer.h"
#include "tools/model3ds/model_writer.h"
#include "tools/model3ds/shipped_models.h"

namespace {

using Bytes = std::vector<uint8_t>;

void material(ChunkWriter& w, const std::string& name, const std::string& map) {
  const size_t m = w.Begin(chunk3ds::kMaterial);
  const size_t n = w.Begin(chunk3ds::kMaterialName);
  w.String(name);
  w.End(n);
  const size_t d = w.Begin(chunk3ds::kDiffuse);
  const size_t c = w.Begin(chunk3ds::kColor24);
  w.U8(200), w.U8(100), w.U8(50);
  w.End(c);
  w.End(d);
  if (!map.empty()) {
    const size_t t = w.Begin(chunk3ds::kTextureMap);
    const size_t f = w.Begin(chunk3ds::kMapFileName);
    w.String(map);
    w.End(f);
    w.End(t);
  }
  w.End(m);
}

void triangleObject(ChunkWriter& w, const std::string& name, uint16_t badIndex, const std::string& materialName) {
  const size_t o = w.Begin(chunk3ds::kObject);
  w.String(name);
  const size_t mesh = w.Begin(chunk3ds::kTriangleMesh);
  const size_t v = w.Begin(chunk3ds::kVertexList);
  w.U16(3);
  for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) w.F32(f);
  w.End(v);
  const size_t t = w.Begin(chunk3ds::kTexCoords);
  w.U16(3);
  for (float f : {0.f, 0.f, 1.f, 0.f, 0.f, 1.f}) w.F32(f);
  w.End(t);
  const size_t fl = w.Begin(chunk3ds::kFaceList);
  w.U16(2);
  for (int i : {0, 1, 2, 0, 2, 1, int{badIndex}, 0}) w.U16(static_cast<uint16_t>(i));
  const size_t fm = w.Begin(chunk3ds::kFaceMaterial);
  w.String(materialName);
  w.U16(2);
  w.U16(0), w.U16(1);
  w.End(fm);
  const size_t sm = w.Begin(chunk3ds::kSmoothing);
  w.U32(1), w.U32(1);
  w.End(sm);
  w.End(fl);
  w.End(mesh);
  w.End(o);
}

Bytes wrapped(const ChunkWriter& content) {
  ChunkWriter w;
  const size_t main = w.Begin(chunk3ds::kMain);
  const size_t editor = w.Begin(chunk3ds::kEditor);
  w.Bytes(content.bytes().data(), content.size());
  w.End(editor);
  w.End(main);
  return w.bytes();
}

bool save(const std::string& path, const Bytes& bytes) {
  std::string error;
  if (WriteFileBytes(path, bytes, &error)) return true;
  std::fprintf(stderr, "model_fuzz_corpus: %s\n", error.c_str());
  return false;
}

bool writeModels(const std::string& dir) {
  bool ok = true;
  ChunkWriter good;
  material(good, "mat", "t.bmp");
  triangleObject(good, "obj", 2, "mat");
  triangleObject(good, "second", 1, "mat");
  const Bytes goodBytes = wrapped(good);
  ok &= save(dir + "/two_objects.3ds", goodBytes);
  ok &= save(dir + "/cut_in_second_object.3ds", Bytes(goodBytes.begin(), goodBytes.end() - 20));

  ChunkWriter late;
  triangleObject(late, "obj", 7, "mat");  // vertex index beyond the count; material defined later
  material(late, std::string(300, 'L'), "");
  material(late, "mat", std::string(300, 'f'));
  ok &= save(dir + "/bad_index_late_material.3ds", wrapped(late));

  ChunkWriter shortChunk;
  triangleObject(shortChunk, "a-name-longer-than-nineteen-bytes", 0, "x");
  const size_t bad = shortChunk.Begin(0x1234);
  shortChunk.End(bad);
  shortChunk.SetLength(bad, 2);
  ok &= save(dir + "/short_chunk.3ds", wrapped(shortChunk));

  ChunkWriter early;
  const size_t mesh = early.Begin(chunk3ds::kTriangleMesh);
  const size_t fl = early.Begin(chunk3ds::kFaceList);
  early.U16(1);
  for (uint16_t i : {0, 1, 2, 0}) early.U16(i);
  early.End(fl);
  early.End(mesh);
  triangleObject(early, "obj", 0, "none");
  ok &= save(dir + "/faces_before_vertices.3ds", wrapped(early));

  ShippedModel house;
  MakeShippedModel("house", &house);
  Bytes houseBytes;
  std::string error;
  ok &= Write3ds(house.model, &houseBytes, &error) && save(dir + "/house.3ds", houseBytes);
  return ok;
}

bool writeTextures(const std::string& dir) {
  RgbaImage img(5, 3);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++) img.set(x, y, static_cast<uint8_t>(50 * x), static_cast<uint8_t>(80 * y), 9, 128);
  std::string error;
  bool ok = WriteBmp(dir + "/rgb24.bmp", img, 24, &error) && WriteBmp(dir + "/rgba32.bmp", img, 32, &error) &&
            WritePng(dir + "/grey.png", img, 1, &error) && WritePng(dir + "/rgba.png", img, 4, &error);
  ok = ok && stbi_write_jpg((dir + "/rgb.jpg").c_str(), img.width, img.height, 4, img.pixels.data(), 80) != 0;
  ok = ok && stbi_write_tga((dir + "/rgb.tga").c_str(), img.width, img.height, 3, img.pixels.data()) != 0;
  if (!ok) std::fprintf(stderr, "model_fuzz_corpus: cannot write pictures into %s %s\n", dir.c_str(), error.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: model_fuzz_corpus OUT_FOLDER\n");
    return 2;
  }
  const std::string out = argv[1];
  return writeModels(out + "/model") && writeTextures(out + "/texture") ? 0 : 1;
}
