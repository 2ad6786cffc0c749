// Loading well-formed model files: what lands where.
#include <gtest/gtest.h>

#include "model/model_3ds.h"
#include "model/model_passes.h"
#include "tests/model/model_files.h"
#include "tests/support/gl_test_context.h"
#include "tools/model3ds/image_writer.h"

namespace {

using testfiles::kTriangle;

TEST(ModelLoad, ExampleFileOf183BytesLoadsAsDescribed) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteBmp(dir.file("t.bmp"), RgbaImage(2, 2), 24, &error)) << error;
  const auto bytes = testfiles::exampleFile();
  ASSERT_EQ(bytes.size(), 183u);
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, bytes, dir.path() + "/");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.output, "");
  ASSERT_EQ(model.m_nGroups, 1u);
  ASSERT_EQ(model.m_materials.size(), 1u);
  const CMaterial* mat = model.m_materials[0];
  EXPECT_STREQ(mat->m_name, "mat");
  EXPECT_NE(mat->m_texture.m_id, 0u);
  const CGroup* g = model.m_groups[0];
  ASSERT_EQ(g->m_nVertices, 3u);
  ASSERT_EQ(g->m_nFaces, 1u);
  // (x, y, z, u, v): the file's second and third coordinates trade places; u, v as stored.
  const float want[3][5] = {{1, 3, 2, 0.25f, 0.75f}, {4, 6, 5, 1, 0}, {7, 9, 8, 0, 1}};
  for (int i = 0; i < 3; i++) {
    const CVertex& v = g->m_pVertices[i];
    const float got[5] = {v.x, v.y, v.z, v.u, v.v};
    for (int k = 0; k < 5; k++) EXPECT_EQ(got[k], want[i][k]) << "vertex " << i << " value " << k;
  }
  const CFace& f = g->m_pFaces[0];
  EXPECT_EQ(f.pA, &g->m_pVertices[0]);
  EXPECT_EQ(f.pB, &g->m_pVertices[1]);
  EXPECT_EQ(f.pC, &g->m_pVertices[2]);
  EXPECT_EQ(f.pMaterial, mat);
  const float diffuse[4] = {1, 0, 128 / 255.0f, 1};  // from bytes 255, 0, 128
  for (int k = 0; k < 4; k++) EXPECT_EQ(mat->m_diffuse[k], diffuse[k]) << k;

  // Without its main chunk the editor chunk loads the same. The texture is read from the
  // prefix followed by the name only (here a file that is not there), and the model does not
  // need it.
  C3DSMaxModel editorOnly;
  EXPECT_TRUE(testfiles::load(editorOnly, dir, {bytes.begin() + 6, bytes.end()}, dir.path()).ok);
  ASSERT_EQ(editorOnly.m_nGroups, 1u);
  EXPECT_EQ(editorOnly.m_groups[0]->m_pVertices[2].y, 9.0f);
  EXPECT_STREQ(editorOnly.m_groups[0]->m_pFaces[0].pMaterial->m_name, "mat");
  EXPECT_EQ(editorOnly.m_materials[0]->m_texture.m_id, 0u);
  EXPECT_TRUE(editorOnly.m_damage.empty());
}

// A missing file or a folder fails the load; an empty file loads nothing. Each says so once.
TEST(ModelLoad, MissingEmptyOrFolderGivesOneLineAndAnEmptyModel) {
  TempDir dir;
  writeText(dir.file("empty.3ds"), "");
  const struct {
    std::string path, line;
    bool ok;
  } cases[] = {{dir.file("nothing-here.3ds"),
                "cannot read " + dir.file("nothing-here.3ds") + ": No such file or directory", false},
               {dir.path(), "cannot read " + dir.path() + ": Is a directory", false},
               {dir.file("empty.3ds"), dir.file("empty.3ds") + ": the file is empty; there is nothing to draw", true}};
  for (const auto& c : cases) {
    C3DSMaxModel model;
    testing::internal::CaptureStderr();
    EXPECT_EQ(model.Load(c.path.c_str(), ""), c.ok);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "model: " + c.line + "\n");
    EXPECT_EQ(model.m_nGroups, 0u);
    EXPECT_TRUE(model.m_groups.empty());
    EXPECT_TRUE(model.m_materials.empty());
  }
}

// "Red" twice and "red"; the faces name "Red", "red" and "late" (defined after the object).
TEST(ModelLoad, MaterialLookupIsCaseSensitiveTakesTheFirstOfEqualNamesAndSeesOnlyEarlierMaterials) {
  TempDir dir;
  ChunkWriter w;
  const uint8_t specular[3] = {1, 254, 77};
  testfiles::material(w, "Red", nullptr, specular);
  testfiles::material(w, "Red");
  testfiles::material(w, "red");
  testfiles::object(w, "o", kTriangle, {}, {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}},
                    {{"Red", {0}}, {"red", {1}}, {"late", {2}}});
  testfiles::material(w, "late");
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(model.m_materials.size(), 4u);
  const CFace* faces = model.m_groups[0]->m_pFaces;
  EXPECT_EQ(faces[0].pMaterial, model.m_materials[0]);
  EXPECT_EQ(faces[1].pMaterial, model.m_materials[2]);
  EXPECT_EQ(faces[2].pMaterial, nullptr);
  EXPECT_EQ(faces[3].pMaterial, nullptr);  // listed nowhere
  EXPECT_EQ(testfiles::kinds(model), std::vector<ModelDamageKind>{ModelDamageKind::kUnknownMaterial});
  EXPECT_EQ(model.FindMaterial("RED"), nullptr);
  // Colours from bytes; a missing colour stays white, alpha 1.
  const CMaterial* red = model.m_materials[0];
  for (int k = 0; k < 4; k++) {
    EXPECT_EQ(red->m_specular[k], k < 3 ? static_cast<float>(specular[k] / 255.0) : 1.0f) << k;
    EXPECT_EQ(red->m_diffuse[k], 1.0f) << k;
  }
}

// Unread chunks are skipped by their length even when their bytes look like chunks that are
// read: an ambient colour and shininess in the material, a light in the object, smoothing
// groups after the faces, a keyframer chunk. Then an object with vertices and no faces.
TEST(ModelLoad, UnreadChunksAreSkippedByLengthAndObjectsBecomeGroupsInFileOrder) {
  TempDir dir;
  using testfiles::chunk;
  using testfiles::floatList;
  ChunkWriter w;
  chunk(w, chunk3ds::kMaterial, [&] {
    chunk(w, chunk3ds::kAmbient, [&] { chunk(w, chunk3ds::kColor24, [&] { w.U8(1), w.U8(2), w.U8(3); }); });
    chunk(w, chunk3ds::kMaterialName, [&] { w.String("m"); });
    chunk(w, 0xA040, [&] { floatList(w, chunk3ds::kVertexList, {9, 9, 9}); });  // shininess
  });
  chunk(w, chunk3ds::kObject, [&] {
    w.String("o");
    chunk(w, 0x4600, [&] { floatList(w, chunk3ds::kVertexList, {7, 7, 7}); });  // a light
    chunk(w, chunk3ds::kTriangleMesh, [&] {
      floatList(w, chunk3ds::kVertexList, kTriangle);
      chunk(w, chunk3ds::kFaceList, [&] {
        w.U16(1), w.U16(0), w.U16(1), w.U16(2), w.U16(0);
        chunk(w, chunk3ds::kSmoothing, [&] { w.U32(1); });
        testfiles::faceMaterial(w, "m", {0});
      });
    });
  });
  chunk(w, chunk3ds::kKeyframer, [&] { floatList(w, chunk3ds::kVertexList, {5, 5, 5}); });
  chunk(w, chunk3ds::kObject, [&] {
    w.String("faceless");
    chunk(w, chunk3ds::kTriangleMesh, [&] { floatList(w, chunk3ds::kVertexList, {5, 6, 7, 8, 9, 10}); });
  });
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.output, "");
  ASSERT_EQ(model.m_nGroups, 2u);
  EXPECT_EQ(model.m_groups[0]->m_nVertices, 3u);
  ASSERT_EQ(model.m_groups[0]->m_nFaces, 1u);
  EXPECT_EQ(model.m_groups[1]->m_nVertices, 2u);
  EXPECT_EQ(model.m_groups[1]->m_nFaces, 0u);
  EXPECT_EQ(model.m_groups[1]->m_pVertices[1].y, 10.0f);
  ASSERT_EQ(model.m_materials.size(), 1u);
  EXPECT_EQ(model.m_materials[0]->m_diffuse[0], 1.0f);  // ambient is not diffuse
  EXPECT_EQ(model.m_groups[0]->m_pFaces[0].pMaterial, model.m_materials[0]);
}

TEST(ModelLoad, TexturePathIsThePrefixFollowedByTheMapFileName) {
  const std::string p200(200, 'p');
  struct Case {
    const char* prefix;
    std::string name, want;
    bool ok;
  } cases[] = {{"Data/car/", "body.bmp", "Data/car/body.bmp", true},
               {"", "body.bmp", "body.bmp", true},
               {"Data/car", "body.bmp", "Data/carbody.bmp", true},  // no separator is added
               {p200.c_str(), std::string(55, 'n'), p200 + std::string(55, 'n'), true},
               {p200.c_str(), std::string(56, 'n'), "", false}};
  for (const Case& c : cases) {
    std::string path = "old";
    EXPECT_EQ(FormTexturePath(c.prefix, c.name, &path), c.ok) << c.prefix << c.name;
    EXPECT_EQ(path, c.want);
  }
}

}  // namespace
