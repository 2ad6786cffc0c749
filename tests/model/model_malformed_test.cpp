// Damaged model files: every case ends in a sound model, one line naming the file and the
// cause, and no reading outside the file.
#include <gtest/gtest.h>

#include <cstring>

#include "model/chunk_reader.h"
#include "model/model_3ds.h"
#include "tests/model/model_files.h"

namespace {

using testfiles::Face;

const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

bool mentions(const std::string& output, const std::string& text) { return output.find(text) != std::string::npos; }

// One good object "a", a chunk whose header says length, then a second good object "b".
std::vector<uint8_t> objectsAroundChunkOfLength(uint32_t length) {
  ChunkWriter w;
  testfiles::object(w, "a", kTriangle, {}, {{0, 1, 2}});
  const size_t bad = w.Begin(0x1234);
  w.U32(0);
  w.End(bad);
  w.SetLength(bad, length);
  testfiles::object(w, "b", kTriangle, {}, {{0, 1, 2}});
  return testfiles::wrapped(w.bytes());
}

TEST(ModelMalformed, ChunkLengthBelowItsHeaderStopsTheWalkAfterWhatWasRead) {
  for (uint32_t length : {0u, 1u, 5u}) {
    TempDir dir;
    C3DSMaxModel model;
    const auto result = testfiles::load(model, dir, objectsAroundChunkOfLength(length));
    EXPECT_TRUE(result.ok);
    ASSERT_EQ(model.m_nGroups, 1u) << length;
    EXPECT_EQ(model.m_groups[0]->m_nFaces, 1u);
    EXPECT_TRUE(mentions(result.output, dir.file("m.3ds") + ": chunk 0x1234 at byte")) << result.output;
    EXPECT_TRUE(mentions(result.output, "has length " + std::to_string(length) + ", less than its 6-byte header"))
        << result.output;
  }
}

TEST(ModelMalformed, ChunkReachingPastTheEndOfTheFileStopsTheWalk) {
  TempDir dir;
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, objectsAroundChunkOfLength(100000));
  ASSERT_EQ(model.m_nGroups, 1u);
  EXPECT_TRUE(mentions(result.output, "the file ends in the middle of chunk 0x1234")) << result.output;
}

// Every prefix of a file with two objects and materials loads soundly, keeping whole objects.
TEST(ModelMalformed, FileEndingAnywhereKeepsTheCompleteChunksBeforeTheCut) {
  ChunkWriter w;
  const uint8_t red[3] = {255, 0, 0};
  testfiles::material(w, "m", red, red, "missing.bmp");
  testfiles::object(w, "a", kTriangle, {0, 0, 1, 0, 0, 1}, {{0, 1, 2}}, {{"m", {0}}});
  testfiles::object(w, "b", kTriangle, {}, {{0, 1, 2}, {2, 1, 0}}, {{"m", {1}}});
  const auto full = testfiles::wrapped(w.bytes());
  TempDir dir;
  size_t reported = 0;
  for (size_t cut = 0; cut < full.size(); cut++) {
    C3DSMaxModel model;
    const auto result = testfiles::load(model, dir, std::vector<uint8_t>(full.begin(), full.begin() + cut),
                                        dir.path() + "/");
    EXPECT_TRUE(result.ok);
    EXPECT_LE(model.m_nGroups, 2u);
    for (uint32_t j = 0; j < model.m_nGroups; j++) {
      const CGroup* g = model.m_groups[j];
      for (uint32_t i = 0; i < g->m_nFaces; i++) {
        EXPECT_NE(g->m_pFaces[i].pA, nullptr);
        EXPECT_LT(g->m_pFaces[i].a, g->m_nVertices);
      }
    }
    reported += mentions(result.output, "the file ends");
  }
  // All cuts but the empty file end inside a chunk.
  EXPECT_EQ(reported, full.size() - 1);
}

TEST(ModelMalformed, ListsBeforeAnyVertexListAreIgnored) {
  TempDir dir;
  ChunkWriter w;
  const size_t mesh = w.Begin(chunk3ds::kTriangleMesh);
  testfiles::texCoordList(w, {0.5f, 0.5f});
  testfiles::faceList(w, {{0, 1, 2}}, {{"m", {0}}});
  testfiles::vertexList(w, kTriangle);
  w.End(mesh);
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_EQ(model.m_nGroups, 1u);
  EXPECT_EQ(model.m_groups[0]->m_nFaces, 0u);
  EXPECT_EQ(model.m_groups[0]->m_pVertices[0].u, 0.0f);
  EXPECT_TRUE(mentions(result.output, "the face list at byte")) << result.output;
  EXPECT_TRUE(mentions(result.output, "comes before any vertex list; its 1 faces are ignored")) << result.output;
  EXPECT_TRUE(mentions(result.output, "the texture-coordinate list at byte")) << result.output;
  EXPECT_TRUE(mentions(result.output, "face-material chunk \"m\"")) << result.output;
}

TEST(ModelMalformed, FacesNamingVerticesBeyondTheCountAreDropped) {
  TempDir dir;
  ChunkWriter w;
  testfiles::material(w, "m");
  testfiles::object(w, "o", kTriangle, {}, {{0, 1, 3}, {0, 1, 2}, {65535, 0, 1}, {2, 1, 0}}, {{"m", {1, 3}}});
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  const CGroup* g = model.m_groups[0];
  ASSERT_EQ(g->m_nFaces, 2u);
  EXPECT_EQ(g->m_pFaces[0].c, 2);
  EXPECT_EQ(g->m_pFaces[1].a, 2);
  EXPECT_EQ(g->m_pFaces[0].pMaterial, model.m_materials[0]);  // materials stay with their faces
  EXPECT_EQ(g->m_pFaces[1].pMaterial, model.m_materials[0]);
  EXPECT_TRUE(mentions(result.output, "mesh 0 has 2 faces naming vertices at or beyond its vertex count 3"))
      << result.output;
}

TEST(ModelMalformed, FaceMaterialEntriesBeyondTheFaceCountAreIgnored) {
  TempDir dir;
  ChunkWriter w;
  testfiles::material(w, "m");
  testfiles::object(w, "o", kTriangle, {}, {{0, 1, 2}, {2, 1, 0}}, {{"m", {2, 1, 40000}}});
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  const CGroup* g = model.m_groups[0];
  EXPECT_EQ(g->m_pFaces[0].pMaterial, nullptr);
  EXPECT_EQ(g->m_pFaces[1].pMaterial, model.m_materials[0]);
  EXPECT_TRUE(mentions(result.output, "lists 2 face indices at or beyond the face count 2")) << result.output;
}

TEST(ModelMalformed, TextureCoordinatesBeyondTheVertexCountAreIgnored) {
  TempDir dir;
  ChunkWriter w;
  testfiles::object(w, "o", kTriangle, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f}, {{0, 1, 2}});
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  const CGroup* g = model.m_groups[0];
  EXPECT_EQ(g->m_pVertices[2].u, 0.5f);
  EXPECT_EQ(g->m_pVertices[2].v, 0.6f);
  EXPECT_TRUE(mentions(result.output, "holds 4 pairs for 3 vertices; the extra pairs are ignored")) << result.output;
}

TEST(ModelMalformed, OverlongNamesAreHandledWithoutLosingTheObject) {
  TempDir dir;
  ChunkWriter w;
  const std::string longMaterial(300, 'x');
  testfiles::material(w, longMaterial);
  testfiles::object(w, std::string(40, 'n'), kTriangle, {}, {{0, 1, 2}}, {{longMaterial, {0}}});
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_EQ(model.m_nGroups, 1u);
  ASSERT_EQ(model.m_groups[0]->m_nFaces, 1u);
  EXPECT_EQ(std::strlen(model.m_materials[0]->m_name), 255u);
  EXPECT_EQ(model.m_groups[0]->m_pFaces[0].pMaterial, model.m_materials[0]);  // both cut alike
  EXPECT_TRUE(mentions(result.output, "is 40 bytes long, more than 19; it is skipped whole")) << result.output;
  EXPECT_TRUE(mentions(result.output, "the material name at byte")) << result.output;
  EXPECT_TRUE(mentions(result.output, "is 300 bytes long; only its first 255 bytes are kept")) << result.output;
}

TEST(ModelMalformed, TexturePathLongerThan255CharactersIsNotLoaded) {
  TempDir dir;
  ChunkWriter w;
  testfiles::material(w, "m", nullptr, nullptr, std::string(250, 'f') + ".bmp");
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()), "prefix/");
  EXPECT_EQ(model.m_materials[0]->m_texture.m_id, 0u);
  EXPECT_TRUE(mentions(result.output, "(254 bytes) with the prefix \"prefix/\" makes a path longer than 255"))
      << result.output;
  EXPECT_FALSE(mentions(result.output, "texture: cannot read")) << result.output;  // no attempt made
}

TEST(ModelMalformed, DamagedMaterialPartsLeaveTheRestOfTheFileReadable) {
  TempDir dir;
  ChunkWriter w;
  // A material whose name part claims more bytes than the material holds.
  const size_t m = w.Begin(chunk3ds::kMaterial);
  const size_t name = w.Begin(chunk3ds::kMaterialName);
  w.String("a");
  w.End(name);
  w.SetLength(name, 500);
  w.End(m);
  // A material whose diffuse colour is too short to hold one.
  const size_t m2 = w.Begin(chunk3ds::kMaterial);
  const size_t diffuse = w.Begin(chunk3ds::kDiffuse);
  w.U8(7);
  w.End(diffuse);
  w.End(m2);
  // An empty material chunk: no part is read (the next chunk is not one of its parts).
  const size_t m3 = w.Begin(chunk3ds::kMaterial);
  w.End(m3);
  testfiles::object(w, "o", kTriangle, {}, {{0, 1, 2}});
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_EQ(model.m_materials.size(), 3u);
  EXPECT_STREQ(model.m_materials[0]->m_name, "");
  EXPECT_EQ(model.m_materials[1]->m_diffuse[0], 1.0f);
  ASSERT_EQ(model.m_nGroups, 1u);
  EXPECT_EQ(model.m_groups[0]->m_nFaces, 1u);
  EXPECT_TRUE(mentions(result.output, "has length 500, which does not fit the material chunk")) << result.output;
  EXPECT_TRUE(mentions(result.output, "the diffuse colour at byte")) << result.output;
}

TEST(ModelMalformed, CountLargerThanItsChunkStopsTheWalk) {
  TempDir dir;
  ChunkWriter w;
  testfiles::object(w, "a", kTriangle, {}, {{0, 1, 2}});
  const size_t v = w.Begin(chunk3ds::kVertexList);
  w.U16(1000);  // room for one vertex only
  w.F32(1), w.F32(2), w.F32(3);
  w.End(v);
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  EXPECT_EQ(model.m_nGroups, 1u);
  EXPECT_TRUE(mentions(result.output, "claims 1000 entries but its chunk has room for 1")) << result.output;
}

// The counting pass sees one file, the filling pass another: nothing is written beyond the
// arrays made from the first, and what the second adds or lacks is reported.
TEST(ModelMalformed, FileChangingBetweenThePassesNeverOverrunsTheGroups) {
  ChunkWriter one, two, bigger;
  testfiles::object(one, "a", kTriangle, {}, {{0, 1, 2}});
  testfiles::object(two, "a", kTriangle, {}, {{0, 1, 2}});
  testfiles::object(two, "b", kTriangle, {}, {{0, 1, 2}});
  testfiles::object(bigger, "a", {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {}, {{0, 1, 2}, {1, 3, 2}});
  const auto bytesOne = testfiles::wrapped(one.bytes());
  const auto bytesTwo = testfiles::wrapped(two.bytes());
  const auto bytesBigger = testfiles::wrapped(bigger.bytes());
  auto loadTwice = [](const std::vector<uint8_t>& first, const std::vector<uint8_t>& second, C3DSMaxModel& model) {
    testing::internal::CaptureStdout();
    ScanChunkCounts(&model, first.data(), first.size(), "f.3ds");
    EXPECT_TRUE(AllocateGroups(&model, "f.3ds"));
    ReadChunkValues(&model, second.data(), second.size(), "f.3ds", "");
    return testing::internal::GetCapturedStdout();
  };
  {
    C3DSMaxModel model;
    const std::string out = loadTwice(bytesOne, bytesTwo, model);
    EXPECT_EQ(model.m_nGroups, 1u);
    EXPECT_EQ(model.m_groups[0]->m_nFaces, 1u);
    EXPECT_TRUE(mentions(out, "f.3ds: the file changed while it was read: the vertex list at byte")) << out;
  }
  {
    C3DSMaxModel model;
    const std::string out = loadTwice(bytesTwo, bytesOne, model);
    ASSERT_EQ(model.m_nGroups, 2u);
    EXPECT_EQ(model.m_groups[1]->m_nVertices, 0u);
    EXPECT_EQ(model.m_groups[1]->m_nFaces, 0u);
    EXPECT_TRUE(mentions(out, "1 of 2 meshes and 1 faces found before were not found again")) << out;
  }
  {
    C3DSMaxModel model;
    const std::string out = loadTwice(bytesOne, bytesBigger, model);
    EXPECT_EQ(model.m_groups[0]->m_nFaces, 0u);
    EXPECT_TRUE(mentions(out, "holds 4 vertices, not 3 as before")) << out;
  }
}

TEST(ModelMalformed, FillingPassThatCannotOpenTheFileLeavesAnEmptyModel) {
  TempDir dir;
  const std::string path = dir.file("gone.3ds");
  writeBytes(path, testfiles::exampleFile());
  C3DSMaxModel model;
  ASSERT_TRUE(model.ScanCounts(path.c_str()));
  ASSERT_TRUE(AllocateGroups(&model, path.c_str()));
  ASSERT_EQ(model.m_nGroups, 1u);
  std::remove(path.c_str());
  testing::internal::CaptureStdout();
  EXPECT_FALSE(model.ReadChunks(path.c_str(), ""));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(model.m_nGroups, 0u);
  EXPECT_TRUE(model.m_groups.empty());
  EXPECT_TRUE(mentions(out, "cannot read " + path + " a second time")) << out;
}

}  // namespace
