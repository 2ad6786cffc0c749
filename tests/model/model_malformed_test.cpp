// Damaged model files: every case ends in a sound model, one line naming the file and the
// cause, and no reading outside the file.
#include <gtest/gtest.h>

#include <cstring>

#include "model/chunk_reader.h"
#include "model/model_3ds.h"
#include "tests/model/model_files.h"

namespace {

using testfiles::kTriangle;
using testfiles::mentions;

struct ModelMalformed : testing::Test {
  TempDir dir;
  C3DSMaxModel model;
  std::string out;
  void load(const ChunkWriter& w, const std::string& prefix = "") {
    out = testfiles::load(model, dir, testfiles::wrapped(w.bytes()), prefix).output;
  }
  // Every message is one line naming the file.
  void expectLines(std::initializer_list<std::string> texts) {
    EXPECT_TRUE(mentions(out, "model: " + dir.file("m.3ds") + ": ")) << out;
    for (const std::string& text : texts) EXPECT_TRUE(mentions(out, text)) << out;
  }
};

// One good object, a chunk whose header claims `length`, then a second good object.
TEST_F(ModelMalformed, ChunkLengthBelowItsHeaderOrPastTheEndStopsTheWalkAfterWhatWasRead) {
  for (uint32_t length : {0u, 1u, 5u, 100000u}) {
    ChunkWriter w;
    testfiles::object(w, "a", kTriangle, {}, {{0, 1, 2}});
    w.SetLength(testfiles::chunk(w, 0x1234, [&] { w.U32(0); }), length);
    testfiles::object(w, "b", kTriangle, {}, {{0, 1, 2}});
    model.Clear();
    load(w);
    ASSERT_EQ(model.m_nGroups, 1u) << length;
    EXPECT_EQ(model.m_groups[0]->m_nFaces, 1u);
    expectLines({length < 6 ? "chunk 0x1234 at byte" : "the file ends in the middle of chunk 0x1234"});
    if (length < 6) expectLines({"has length " + std::to_string(length) + ", less than its 6-byte header"});
  }
}

// Every prefix of a file with materials and two objects loads soundly.
TEST_F(ModelMalformed, FileEndingAnywhereKeepsTheCompleteChunksBeforeTheCut) {
  ChunkWriter w;
  const uint8_t red[3] = {255, 0, 0};
  testfiles::material(w, "m", red, red, "missing.bmp");
  testfiles::object(w, "a", kTriangle, {0, 0, 1, 0, 0, 1}, {{0, 1, 2}}, {{"m", {0}}});
  testfiles::object(w, "b", kTriangle, {}, {{0, 1, 2}, {2, 1, 0}}, {{"m", {1}}});
  const auto full = testfiles::wrapped(w.bytes());
  size_t reported = 0;
  for (size_t cut = 0; cut < full.size(); cut++) {
    C3DSMaxModel cutModel;
    const auto result = testfiles::load(cutModel, dir, {full.begin(), full.begin() + cut}, dir.path() + "/");
    EXPECT_TRUE(result.ok);
    EXPECT_LE(cutModel.m_nGroups, 2u);
    for (uint32_t j = 0; j < cutModel.m_nGroups; j++) {
      const CGroup* g = cutModel.m_groups[j];
      for (uint32_t i = 0; i < g->m_nFaces; i++) {
        EXPECT_NE(g->m_pFaces[i].pA, nullptr) << cut;
        EXPECT_LT(g->m_pFaces[i].a, g->m_nVertices) << cut;
      }
    }
    reported += mentions(result.output, "the file ends");
  }
  EXPECT_EQ(reported, full.size() - 1);  // all cuts but the empty file end inside a chunk
}

TEST_F(ModelMalformed, ListsBeforeAnyVertexListAreIgnored) {
  ChunkWriter w;
  testfiles::chunk(w, chunk3ds::kTriangleMesh, [&] {
    testfiles::floatList(w, chunk3ds::kTexCoords, {0.5f, 0.5f}, 2);
    testfiles::faceList(w, {{0, 1, 2}}, {{"m", {0}}});
    testfiles::floatList(w, chunk3ds::kVertexList, kTriangle);
  });
  load(w);
  ASSERT_EQ(model.m_nGroups, 1u);
  EXPECT_EQ(model.m_groups[0]->m_nFaces, 0u);
  EXPECT_EQ(model.m_groups[0]->m_pVertices[0].u, 0.0f);
  expectLines({"the face list at byte", "comes before any vertex list; its 1 faces are ignored",
               "the texture-coordinate list at byte", "face-material chunk \"m\""});
}

TEST_F(ModelMalformed, IndicesAndCountsBeyondTheirListsAreDroppedOrIgnored) {
  ChunkWriter w;
  testfiles::material(w, "m");
  testfiles::object(w, "o", kTriangle, {}, {{0, 1, 3}, {0, 1, 2}, {65535, 0, 1}, {2, 1, 0}}, {{"m", {1, 3}}});
  testfiles::object(w, "p", kTriangle, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f}, {{0, 1, 2}, {2, 1, 0}},
                    {{"m", {2, 1, 40000}}});
  load(w);
  ASSERT_EQ(model.m_nGroups, 2u);
  const CGroup* g = model.m_groups[0];
  ASSERT_EQ(g->m_nFaces, 2u);
  EXPECT_EQ(g->m_pFaces[0].c, 2);
  EXPECT_EQ(g->m_pFaces[1].a, 2);
  EXPECT_EQ(g->m_pFaces[0].pMaterial, model.m_materials[0]);  // materials stay with their faces
  EXPECT_EQ(g->m_pFaces[1].pMaterial, model.m_materials[0]);
  expectLines({"mesh 0 has 2 faces naming vertices at or beyond its vertex count 3"});
  // Face-material entries beyond the face count are ignored.
  EXPECT_EQ(model.m_groups[1]->m_pFaces[0].pMaterial, nullptr);
  EXPECT_EQ(model.m_groups[1]->m_pFaces[1].pMaterial, model.m_materials[0]);
  expectLines({"lists 2 face indices at or beyond the face count 2"});
  // Texture coordinates beyond the vertex count are ignored.
  EXPECT_EQ(model.m_groups[1]->m_pVertices[2].v, 0.6f);
  expectLines({"holds 4 pairs for 3 vertices; the extra pairs are ignored"});
}

TEST_F(ModelMalformed, OverlongNamesAreHandledWithoutLosingTheObject) {
  ChunkWriter w;
  const std::string longMaterial(300, 'x');
  testfiles::material(w, longMaterial);
  testfiles::object(w, std::string(40, 'n'), kTriangle, {}, {{0, 1, 2}}, {{longMaterial, {0}}});
  testfiles::material(w, "t", nullptr, nullptr, std::string(250, 'f') + ".bmp");
  load(w, "prefix/");
  ASSERT_EQ(model.m_nGroups, 1u);
  ASSERT_EQ(model.m_groups[0]->m_nFaces, 1u);
  EXPECT_EQ(std::strlen(model.m_materials[0]->m_name), 255u);
  EXPECT_EQ(model.m_groups[0]->m_pFaces[0].pMaterial, model.m_materials[0]);  // both cut alike
  expectLines({"is 40 bytes long, more than 19; it is skipped whole", "the material name at byte",
               "is 300 bytes long; only its first 255 bytes are kept"});
  // A texture path over 255 characters is not even tried.
  EXPECT_EQ(model.m_materials[1]->m_texture.m_id, 0u);
  expectLines({"(254 bytes) with the prefix \"prefix/\" makes a path longer than 255"});
  EXPECT_FALSE(mentions(out, "texture: cannot read")) << out;
}

TEST_F(ModelMalformed, DamagedMaterialPartsAndOvercountedListsLeaveTheRestReadable) {
  ChunkWriter w;
  using testfiles::chunk;
  chunk(w, chunk3ds::kMaterial, [&] {  // name part longer than its material
    w.SetLength(chunk(w, chunk3ds::kMaterialName, [&] { w.String("a"); }), 500);
  });
  chunk(w, chunk3ds::kMaterial, [&] { chunk(w, chunk3ds::kDiffuse, [&] { w.U8(7); }); });  // too short
  chunk(w, chunk3ds::kMaterial, [] {});  // empty: the next chunk is not one of its parts
  testfiles::object(w, "o", kTriangle, {}, {{0, 1, 2}});
  chunk(w, chunk3ds::kVertexList, [&] { w.U16(1000), w.F32(1), w.F32(2), w.F32(3); });  // room for one vertex
  load(w);
  ASSERT_EQ(model.m_materials.size(), 3u);
  EXPECT_STREQ(model.m_materials[0]->m_name, "");
  EXPECT_EQ(model.m_materials[1]->m_diffuse[0], 1.0f);
  ASSERT_EQ(model.m_nGroups, 1u);
  EXPECT_EQ(model.m_groups[0]->m_nFaces, 1u);
  expectLines({"has length 500, which does not fit the material chunk", "the diffuse colour at byte",
               "claims 1000 entries but its chunk has room for 1"});
}

// The counting pass sees one file, the filling pass another: nothing is written beyond the
// arrays made from the first, and what the second adds or lacks is reported.
TEST(ModelChangedFile, NeverOverrunsTheGroups) {
  ChunkWriter one, two, bigger;
  testfiles::object(one, "a", kTriangle, {}, {{0, 1, 2}});
  testfiles::object(two, "a", kTriangle, {}, {{0, 1, 2}});
  testfiles::object(two, "b", kTriangle, {}, {{0, 1, 2}});
  testfiles::object(bigger, "a", {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {}, {{0, 1, 2}, {1, 3, 2}});
  struct Case {
    const ChunkWriter &first, &second;
    uint32_t groups, facesOfLast;
    const char* message;
  } cases[] = {{one, two, 1, 1, "f.3ds: the file changed while it was read: the vertex list at byte"},
               {two, one, 2, 0, "1 of 2 meshes and 1 faces found before were not found again"},
               {one, bigger, 1, 0, "holds 4 vertices, not 3 as before"}};
  for (const Case& c : cases) {
    const auto first = testfiles::wrapped(c.first.bytes()), second = testfiles::wrapped(c.second.bytes());
    C3DSMaxModel model;
    testing::internal::CaptureStdout();
    ScanChunkCounts(&model, first.data(), first.size(), "f.3ds");
    EXPECT_TRUE(AllocateGroups(&model, "f.3ds"));
    ReadChunkValues(&model, second.data(), second.size(), "f.3ds", "");
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(model.m_nGroups, c.groups) << c.message;
    EXPECT_EQ(model.m_groups[c.groups - 1]->m_nFaces, c.facesOfLast) << c.message;
    EXPECT_TRUE(mentions(out, c.message)) << out;
  }
}

TEST(ModelChangedFile, FillingPassThatCannotOpenTheFileLeavesAnEmptyModel) {
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
