// Model files with chunks that are skipped or damaged: each problem is reported once, by kind, at
// its chunk; the model keeps what was read soundly; nothing outside the file is read.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

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

TEST(ModelChunks, EachFileKeepsWhatIsSoundAndReportsEachProblemByKind) {
  const std::string longName(256, 'x');
  const uint8_t specular[3] = {1, 254, 77};
  // Each file: its content inside main and editor chunks, the damage kinds in the order reported,
  // the face count of each group, and what else to check.
  const struct {
    const char* name; std::function<void(ChunkWriter&)> write; std::vector<K> kinds; std::vector<uint32_t> faces;
    std::function<void(const C3DSMaxModel&)> check;
  } cases[] = {
      // Materials are found by name, case-sensitively, the first of equal names and only those
      // before; colours come from bytes, a missing one stays white.
      {"material lookup",
       [&](ChunkWriter& w) {
         testfiles::material(w, "Red", nullptr, specular), testfiles::material(w, "Red"), testfiles::material(w, "red");
         testfiles::object(w, "o", kTriangle, {}, {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}},
                           {{"Red", {0}}, {"red", {1}}, {"late", {2}}});
         testfiles::material(w, "late");
       },
       {K::kUnknownMaterial}, {4},
       [&](const C3DSMaxModel& m) {
         const CFace* f = m.m_groups[0]->m_pFaces;
         EXPECT_TRUE(f[0].pMaterial == m.m_materials[0] && f[1].pMaterial == m.m_materials[2]);
         EXPECT_TRUE(!f[2].pMaterial && !f[3].pMaterial && m.m_materials[0]->m_diffuse[1] == 1.0f);
         EXPECT_EQ(m.m_materials[0]->m_specular[1], float(254 / 255.0));
       }},
      {"length 5", lengthClaiming(5), {K::kLengthBelowHeader}, {1},
       [](const C3DSMaxModel& m) { EXPECT_EQ(m.m_damage[0].values[0], 5u); }},
      {"length past the end", lengthClaiming(100000), {K::kChunkCut}, {1}, nullptr},
      {"lists before any vertex list and damaged face-material chunks",
       [](ChunkWriter& w) {
         chunk(w, chunk3ds::kTriangleMesh, [&] {
           testfiles::floatList(w, chunk3ds::kTexCoords, {0.5f, 0.5f}, 2);
           testfiles::faceList(w, {{0, 1, 2}}, {{"m", {0}}});
           testfiles::floatList(w, chunk3ds::kVertexList, kTriangle);
           testfiles::faceList(w, {{0, 1, 2}});
           chunk(w, chunk3ds::kFaceMaterial, [&] { w.U8('m'); });                // no NUL
           chunk(w, chunk3ds::kFaceMaterial, [&] { w.String("m"), w.U16(1); });  // 1 face, none listed
         });
       },
       {K::kTexCoordsBeforeVertices, K::kFacesBeforeVertices, K::kFaceMaterialBeforeVertices, K::kFaceMaterialUnended,
        K::kFaceMaterialCut},
       {1}, nullptr},
      // Dropping faces keeps the others with their materials; extra texture coordinates are ignored.
      {"indices and counts beyond their lists",
       [](ChunkWriter& w) {
         testfiles::material(w, "m");
         testfiles::object(w, "o", kTriangle, {}, {{0, 1, 3}, {0, 1, 2}, {65535, 0, 1}, {2, 1, 0}}, {{"m", {1, 3}}});
         const std::vector<float> uv = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
         testfiles::object(w, "p", kTriangle, uv, {{0, 1, 2}, {2, 1, 0}}, {{"m", {2, 1, 40000}}});
       },
       {K::kExtraTexCoords, K::kFaceIndexBeyond, K::kFacesDropped}, {2, 2},
       [](const C3DSMaxModel& m) {
         EXPECT_EQ(m.m_damage[1].values[0], 2u);  // face indices 2 and 40000 of 2 faces
         const CFace *f = m.m_groups[0]->m_pFaces, *g = m.m_groups[1]->m_pFaces;
         const CMaterial* mat = m.m_materials[0];
         EXPECT_TRUE(f[0].c == 2 && f[1].a == 2 && f[0].pMaterial == mat && f[1].pMaterial == mat);
         EXPECT_TRUE(!g[0].pMaterial && g[1].pMaterial == mat && m.m_groups[1]->m_pVertices[2].v == 0.6f);
       }},
      // Names cut alike still match; damaged material parts end their material; a list claiming one
      // entry more than its chunk holds stops the walk.
      {"overlong names, damaged material parts, an overclaimed list",
       [&](ChunkWriter& w) {
         testfiles::material(w, longName);
         testfiles::object(w, std::string(20, 'n'), kTriangle, {}, {{0, 1, 2}}, {{longName, {0}}});
         triangleObject(w, std::string(19, 'n'));
         testfiles::material(w, "t", nullptr, nullptr, std::string(249, 'f') + ".bmp");  // path of 256
         chunk(w, chunk3ds::kMaterial, [&] { w.SetLength(chunk(w, chunk3ds::kMaterialName, [] {}), 500); });
         chunk(w, chunk3ds::kMaterial, [&] { chunk(w, chunk3ds::kDiffuse, [&] { w.U8(7); }); });
         chunk(w, chunk3ds::kMaterial, [&] { w.SetLength(chunk(w, chunk3ds::kAmbient, [] {}), 2); });
         chunk(w, chunk3ds::kMaterial, [&] { w.U16(chunk3ds::kMaterialName), w.U16(6), w.U8(0); });  // 5 bytes
         chunk(w, chunk3ds::kVertexList, [&] { w.U16(2), w.F32(1), w.F32(2), w.F32(3); });
       },
       {K::kNameCut, K::kObjectNameTooLong, K::kNameCut, K::kTexturePathTooLong, K::kPartMisfit, K::kColourCut,
        K::kPartMisfit, K::kPartHeaderCut, K::kListOverclaimed},
       {1, 1},
       [](const C3DSMaxModel& m) {
         EXPECT_TRUE(m.m_materials.size() == 6 && std::strlen(m.m_materials[0]->m_name) == 255);
         EXPECT_EQ(m.m_groups[0]->m_pFaces[0].pMaterial, m.m_materials[0]);
       }},
      {"a list too short for its count", [](ChunkWriter& w) { chunk(w, chunk3ds::kFaceList, [&] { w.U8(1); }); },
       {K::kListTooShort}, {}, nullptr},
      {"unended name", [](ChunkWriter& w) { chunk(w, chunk3ds::kObject, [&] { w.U8('n'); }), triangleObject(w); },
       {K::kObjectNameUnended}, {}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ChunkWriter w;
    c.write(w);
    C3DSMaxModel model;
    const testfiles::Loaded loaded = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
    EXPECT_TRUE(loaded.kinds == c.kinds && loaded.faces == c.faces);
    if (c.check && loaded.faces == c.faces) c.check(model);
  }
}

// Every prefix of a file loads soundly (faces linked, see testfiles::load) and says where it
// ends. The whole file, also without its main chunk, loads without a word: chunks that are not
// read (here keyframer data) are skipped by their length, even where their bytes look like chunks
// that are.
TEST(ModelChunks, FileEndingAnywhereKeepsTheCompleteChunksBeforeTheCut) {
  TempDir dir;
  ChunkWriter w;
  const uint8_t red[3] = {255, 0, 0};
  testfiles::material(w, "m", red, red);
  testfiles::object(w, "a", kTriangle, {0, 0, 1, 0, 0, 1}, {{0, 1, 2}}, {{"m", {0}}});
  testfiles::object(w, "b", kTriangle, {}, {{0, 1, 2}, {2, 1, 0}}, {{"m", {1}}});
  chunk(w, chunk3ds::kKeyframer, [&] { testfiles::floatList(w, chunk3ds::kVertexList, {5, 5, 5}); });
  const auto full = testfiles::wrapped(w.bytes());
  for (size_t cut = 1; cut <= full.size() + 1; cut++) {  // the last: the whole file without its main chunk
    C3DSMaxModel model;
    const bool whole = cut >= full.size();
    const size_t from = cut > full.size() ? 6 : 0;
    const auto loaded = testfiles::load(model, dir, {full.begin() + from, full.begin() + std::min(cut, full.size())});
    int ends = 0;
    for (K k : loaded.kinds)
      ends += k == K::kHeaderCut || k == K::kChunkCut || k == K::kContainerCut || k == K::kObjectNameCut;
    EXPECT_EQ(ends, whole ? 0 : 1) << cut;
    const std::vector<uint32_t> sound = {1, 2};
    EXPECT_TRUE(whole ? loaded.kinds.empty() && loaded.faces == sound : loaded.faces.size() <= 2) << cut;
  }
}

// The counting pass sees one file, the filling pass another: nothing is written beyond the
// arrays made from the first, and what the second adds or lacks is reported.
TEST(ModelChunks, FileThatChangesBetweenThePassesNeverOverrunsTheGroups) {
  ChunkWriter one, two, bigger;
  triangleObject(one, "a"), triangleObject(two, "a"), triangleObject(two, "b");
  testfiles::object(bigger, "a", {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {}, {{0, 1, 2}, {1, 3, 2}});
  const struct { const ChunkWriter &first, &second; std::vector<uint32_t> faces; K kind; } cases[] = {
      {one, two, {1}, K::kNewVertexList}, {two, one, {1, 0}, K::kMeshesLost},
      {one, bigger, {0}, K::kVertexCountChanged}};
  testing::internal::CaptureStderr();
  for (const auto& c : cases) {
    const auto first = testfiles::wrapped(c.first.bytes()), second = testfiles::wrapped(c.second.bytes());
    C3DSMaxModel model;
    model.ScanCounts(first.data(), first.size(), "f.3ds");
    EXPECT_TRUE(model.AllocateGroups("f.3ds"));
    model.ReadChunks(second.data(), second.size(), "f.3ds", "");
    EXPECT_TRUE(model.m_damage.size() == 1 && model.m_damage[0].kind == c.kind);
    ASSERT_EQ(model.m_nGroups, c.faces.size());
    for (uint32_t j = 0; j < model.m_nGroups; j++) EXPECT_EQ(model.m_groups[j]->m_nFaces, c.faces[j]);
  }
  testing::internal::GetCapturedStderr();
}

}  // namespace
