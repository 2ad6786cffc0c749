// Damaged model files: each problem is reported once, by kind, at its chunk; the model keeps
// what was read soundly; nothing outside the file is read.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "model/model_3ds.h"
#include "tests/model/model_files.h"

namespace {

using K = ModelDamageKind;
using testfiles::chunk;
using testfiles::kTriangle;

void triangleObject(ChunkWriter& w, const std::string& name = "o") {
  testfiles::object(w, name, kTriangle, {}, {{0, 1, 2}});
}

// A good object, a chunk whose header claims `length`, then a second good object.
std::function<void(ChunkWriter&)> lengthClaiming(uint32_t length) {
  return [length](ChunkWriter& w) {
    triangleObject(w, "a");
    w.SetLength(chunk(w, 0x1234, [&] { w.U32(0); }), length);
    triangleObject(w, "b");
  };
}

struct Case {
  const char* name;
  std::function<void(ChunkWriter&)> write;  // the content inside main and editor chunks
  std::vector<K> kinds;                     // in the order reported
  std::vector<uint32_t> faces;              // face count of each group
  std::function<void(const C3DSMaxModel&)> check = nullptr;
};

TEST(ModelDamaged, EachProblemIsReportedByKindAndWhatWasSoundStays) {
  const std::string longName(256, 'x');
  const Case cases[] = {
      {"length 0", lengthClaiming(0), {K::kLengthBelowHeader}, {1}},
      {"length 5", lengthClaiming(5), {K::kLengthBelowHeader}, {1}},
      {"length past the end", lengthClaiming(100000), {K::kChunkCut}, {1}},
      {"lists before any vertex list",
       [](ChunkWriter& w) {
         chunk(w, chunk3ds::kTriangleMesh, [&] {
           testfiles::floatList(w, chunk3ds::kTexCoords, {0.5f, 0.5f}, 2);
           testfiles::faceList(w, {{0, 1, 2}}, {{"m", {0}}});
           testfiles::floatList(w, chunk3ds::kVertexList, kTriangle);
         });
       },
       {K::kTexCoordsBeforeVertices, K::kFacesBeforeVertices, K::kFaceMaterialBeforeVertices},
       {0},
       [](const C3DSMaxModel& m) { EXPECT_EQ(m.m_groups[0]->m_pVertices[0].u, 0.0f); }},
      {"indices and counts beyond their lists",
       [](ChunkWriter& w) {
         testfiles::material(w, "m");
         testfiles::object(w, "o", kTriangle, {}, {{0, 1, 3}, {0, 1, 2}, {65535, 0, 1}, {2, 1, 0}}, {{"m", {1, 3}}});
         testfiles::object(w, "p", kTriangle, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f}, {{0, 1, 2}, {2, 1, 0}},
                           {{"m", {2, 1, 40000}}});
       },
       {K::kExtraTexCoords, K::kFaceIndexBeyond, K::kFacesDropped},
       {2, 2},
       [](const C3DSMaxModel& m) {
         EXPECT_EQ(m.m_damage[1].values[0], 2u);  // face indices 2 and 40000 of 2 faces
         // Dropping faces keeps the others with their materials; extra pairs are ignored.
         const CFace* f = m.m_groups[0]->m_pFaces;
         EXPECT_EQ(f[0].c, 2);
         EXPECT_EQ(f[1].a, 2);
         EXPECT_EQ(f[0].pMaterial, m.m_materials[0]);
         EXPECT_EQ(f[1].pMaterial, m.m_materials[0]);
         EXPECT_EQ(m.m_groups[1]->m_pFaces[0].pMaterial, nullptr);
         EXPECT_EQ(m.m_groups[1]->m_pFaces[1].pMaterial, m.m_materials[0]);
         EXPECT_EQ(m.m_groups[1]->m_pVertices[2].v, 0.6f);
       }},
      {"overlong names",
       [&](ChunkWriter& w) {
         testfiles::material(w, longName);
         testfiles::object(w, std::string(20, 'n'), kTriangle, {}, {{0, 1, 2}}, {{longName, {0}}});
         triangleObject(w, std::string(19, 'n'));
         testfiles::material(w, "t", nullptr, nullptr, std::string(249, 'f') + ".bmp");  // path of 256
       },
       {K::kNameCut, K::kObjectNameTooLong, K::kNameCut, K::kTexturePathTooLong},
       {1, 1},
       [](const C3DSMaxModel& m) {
         EXPECT_EQ(std::strlen(m.m_materials[0]->m_name), 255u);
         EXPECT_EQ(m.m_groups[0]->m_pFaces[0].pMaterial, m.m_materials[0]);  // both cut alike
       }},
      {"damaged material parts and an overcounted list",
       [](ChunkWriter& w) {
         chunk(w, chunk3ds::kMaterial,
               [&] { w.SetLength(chunk(w, chunk3ds::kMaterialName, [&] { w.String("a"); }), 500); });
         chunk(w, chunk3ds::kMaterial, [&] { chunk(w, chunk3ds::kDiffuse, [&] { w.U8(7); }); });
         chunk(w, chunk3ds::kMaterial, [&] { w.SetLength(chunk(w, chunk3ds::kAmbient, [] {}), 2); });
         chunk(w, chunk3ds::kMaterial, [&] { w.U16(chunk3ds::kMaterialName), w.U16(6), w.U8(0); });  // 5 bytes
         triangleObject(w);
         chunk(w, chunk3ds::kVertexList, [&] { w.U16(1000), w.F32(1), w.F32(2), w.F32(3); });  // room for one
       },
       {K::kPartMisfit, K::kColourCut, K::kPartMisfit, K::kPartHeaderCut, K::kListOverclaimed},
       {1},
       [](const C3DSMaxModel& m) {
         ASSERT_EQ(m.m_materials.size(), 4u);
         EXPECT_STREQ(m.m_materials[0]->m_name, "");
         EXPECT_EQ(m.m_materials[1]->m_diffuse[0], 1.0f);
       }},
      {"damaged face-material chunks",
       [](ChunkWriter& w) {
         chunk(w, chunk3ds::kTriangleMesh, [&] {
           testfiles::floatList(w, chunk3ds::kVertexList, kTriangle);
           testfiles::faceList(w, {{0, 1, 2}});
           chunk(w, chunk3ds::kFaceMaterial, [&] { w.U8('m'); });          // no NUL
           chunk(w, chunk3ds::kFaceMaterial, [&] { w.String("m"), w.U16(1); });  // 1 face, none listed
         });
       },
       {K::kFaceMaterialUnended, K::kFaceMaterialCut},
       {1}},
      {"a list too short for its count",
       [](ChunkWriter& w) { chunk(w, chunk3ds::kFaceList, [&] { w.U8(1); }); },
       {K::kListTooShort},
       {}},
      {"an object name without its end",
       [](ChunkWriter& w) { chunk(w, chunk3ds::kObject, [&] { w.U8('n'); }), triangleObject(w); },
       {K::kObjectNameUnended},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ChunkWriter w;
    c.write(w);
    C3DSMaxModel model;
    ASSERT_TRUE(testfiles::load(model, dir, testfiles::wrapped(w.bytes()), "prefix/").ok);
    EXPECT_EQ(testfiles::kinds(model), c.kinds);
    ASSERT_EQ(model.m_nGroups, c.faces.size());
    for (uint32_t j = 0; j < model.m_nGroups; j++) EXPECT_EQ(model.m_groups[j]->m_nFaces, c.faces[j]) << j;
    if (c.check) c.check(model);
  }
}

// Every prefix of a file with materials and two objects loads soundly, and says where it ends.
TEST(ModelDamaged, FileEndingAnywhereKeepsTheCompleteChunksBeforeTheCut) {
  TempDir dir;
  ChunkWriter w;
  const uint8_t red[3] = {255, 0, 0};
  testfiles::material(w, "m", red, red, "missing.bmp");
  testfiles::object(w, "a", kTriangle, {0, 0, 1, 0, 0, 1}, {{0, 1, 2}}, {{"m", {0}}});
  testfiles::object(w, "b", kTriangle, {}, {{0, 1, 2}, {2, 1, 0}}, {{"m", {1}}});
  const auto full = testfiles::wrapped(w.bytes());
  for (size_t cut = 1; cut < full.size(); cut++) {
    C3DSMaxModel model;
    ASSERT_TRUE(testfiles::load(model, dir, {full.begin(), full.begin() + cut}, dir.path() + "/").ok);
    EXPECT_LE(model.m_nGroups, 2u);
    for (uint32_t j = 0; j < model.m_nGroups; j++) {
      const CGroup* g = model.m_groups[j];
      for (uint32_t i = 0; i < g->m_nFaces; i++) EXPECT_EQ(g->m_pFaces[i].pA, &g->m_pVertices[g->m_pFaces[i].a]) << cut;
    }
    int ends = 0;
    for (K k : testfiles::kinds(model))
      ends += k == K::kHeaderCut || k == K::kChunkCut || k == K::kContainerCut || k == K::kObjectNameCut;
    EXPECT_EQ(ends, 1) << cut;
  }
}

// The counting pass sees one file, the filling pass another: nothing is written beyond the
// arrays made from the first, and what the second adds or lacks is reported.
TEST(ModelDamaged, FileThatChangesBetweenThePassesNeverOverrunsTheGroups) {
  ChunkWriter one, two, bigger;
  triangleObject(one, "a");
  triangleObject(two, "a"), triangleObject(two, "b");
  testfiles::object(bigger, "a", {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {}, {{0, 1, 2}, {1, 3, 2}});
  struct ChangeCase {
    const ChunkWriter &first, &second;
    std::vector<uint32_t> faces;
    K kind;
  } cases[] = {{one, two, {1}, K::kNewVertexList}, {two, one, {1, 0}, K::kMeshesLost},
               {one, bigger, {0}, K::kVertexCountChanged}};
  for (const ChangeCase& c : cases) {
    const auto first = testfiles::wrapped(c.first.bytes()), second = testfiles::wrapped(c.second.bytes());
    C3DSMaxModel model;
    testing::internal::CaptureStderr();
    model.ScanCounts(first.data(), first.size(), "f.3ds");
    EXPECT_TRUE(model.AllocateGroups("f.3ds"));
    model.ReadChunks(second.data(), second.size(), "f.3ds", "");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(testfiles::kinds(model), std::vector<K>{c.kind});
    ASSERT_EQ(model.m_nGroups, c.faces.size());
    for (uint32_t j = 0; j < model.m_nGroups; j++) EXPECT_EQ(model.m_groups[j]->m_nFaces, c.faces[j]);
  }
}

TEST(ModelDamaged, FillingPassThatCannotOpenTheFileLeavesAnEmptyModel) {
  TempDir dir;
  const std::string path = dir.file("gone.3ds");
  writeBytes(path, testfiles::exampleFile());
  C3DSMaxModel model;
  ASSERT_TRUE(model.ScanCounts(path.c_str()));
  ASSERT_TRUE(model.AllocateGroups(path.c_str()));
  ASSERT_EQ(model.m_nGroups, 1u);
  std::remove(path.c_str());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(model.ReadChunks(path.c_str(), ""));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(model.m_nGroups, 0u);
  EXPECT_TRUE(model.m_groups.empty());
}

// What loading prints is one line per damage entry, in order, naming the file.
TEST(ModelDamaged, LoadingPrintsEachEntryOnOneLineNamingTheFile) {
  TempDir dir;
  ChunkWriter w;
  testfiles::object(w, std::string(40, 'n'), kTriangle, {}, {{0, 1, 3}});
  w.SetLength(chunk(w, 0x1234, [&] { w.U32(0); }), 5);
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_EQ(model.m_damage.size(), 3u);
  std::string lines;
  for (const ModelDamage& d : model.m_damage)
    lines += "model: " + dir.file("m.3ds") + ": " + DescribeModelDamage(d) + "\n";
  EXPECT_EQ(result.output, lines);
}

}  // namespace
