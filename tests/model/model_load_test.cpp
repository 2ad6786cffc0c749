// Loading well-formed model files: what lands where.
#include <gtest/gtest.h>

#include "model/chunk_reader.h"
#include "model/model_3ds.h"
#include "tests/model/model_files.h"
#include "tests/support/gl_test_context.h"
#include "tools/model3ds/image_writer.h"

namespace {

using testfiles::Face;

TEST(ModelLoad, ExampleFileOf183BytesLoadsAsDescribed) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  RgbaImage texture(2, 2);
  std::string error;
  ASSERT_TRUE(WriteBmp(dir.file("t.bmp"), texture, 24, &error)) << error;
  const auto bytes = testfiles::exampleFile();
  ASSERT_EQ(bytes.size(), 183u);

  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, bytes, dir.path() + "/");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.output, "");
  ASSERT_EQ(model.m_nGroups, 1u);
  ASSERT_EQ(model.m_groups.size(), 1u);
  ASSERT_EQ(model.m_materials.size(), 1u);
  const CMaterial* mat = model.m_materials[0];
  EXPECT_STREQ(mat->m_name, "mat");
  EXPECT_NE(mat->m_texture.m_id, 0u);

  const CGroup* g = model.m_groups[0];
  ASSERT_EQ(g->m_nVertices, 3u);
  ASSERT_EQ(g->m_nFaces, 1u);
  // The file's second and third coordinates trade places.
  EXPECT_EQ(g->m_pVertices[0].x, 1.0f);
  EXPECT_EQ(g->m_pVertices[0].y, 3.0f);
  EXPECT_EQ(g->m_pVertices[0].z, 2.0f);
  EXPECT_EQ(g->m_pVertices[2].x, 7.0f);
  EXPECT_EQ(g->m_pVertices[2].y, 9.0f);
  EXPECT_EQ(g->m_pVertices[2].z, 8.0f);
  // Texture coordinates as stored, v not flipped.
  EXPECT_EQ(g->m_pVertices[0].u, 0.25f);
  EXPECT_EQ(g->m_pVertices[0].v, 0.75f);
  EXPECT_EQ(g->m_pVertices[1].u, 1.0f);
  EXPECT_EQ(g->m_pVertices[1].v, 0.0f);
  EXPECT_EQ(g->m_pVertices[2].v, 1.0f);

  const CFace& f = g->m_pFaces[0];
  EXPECT_EQ(f.a, 0);
  EXPECT_EQ(f.b, 1);
  EXPECT_EQ(f.c, 2);
  EXPECT_EQ(f.pA, &g->m_pVertices[0]);
  EXPECT_EQ(f.pB, &g->m_pVertices[1]);
  EXPECT_EQ(f.pC, &g->m_pVertices[2]);
  EXPECT_EQ(f.pMaterial, mat);
}

TEST(ModelLoad, ColoursComeFromBytesAndMissingColoursStayWhite) {
  TempDir dir;
  ChunkWriter w;
  const uint8_t diffuse[3] = {255, 0, 128};
  const uint8_t specular[3] = {1, 254, 77};
  testfiles::material(w, "both", diffuse, specular);
  testfiles::material(w, "none");
  C3DSMaxModel model;
  ASSERT_TRUE(testfiles::load(model, dir, testfiles::wrapped(w.bytes())).ok);
  ASSERT_EQ(model.m_materials.size(), 2u);
  const CMaterial* both = model.m_materials[0];
  EXPECT_EQ(both->m_diffuse[0], 1.0f);
  EXPECT_EQ(both->m_diffuse[1], 0.0f);
  EXPECT_EQ(both->m_diffuse[2], static_cast<float>(128 / 255.0));
  EXPECT_EQ(both->m_diffuse[3], 1.0f);
  EXPECT_EQ(both->m_specular[0], static_cast<float>(1 / 255.0));
  EXPECT_EQ(both->m_specular[1], static_cast<float>(254 / 255.0));
  EXPECT_EQ(both->m_specular[2], static_cast<float>(77 / 255.0));
  EXPECT_EQ(both->m_specular[3], 1.0f);
  const CMaterial* none = model.m_materials[1];
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(none->m_diffuse[i], 1.0f);
    EXPECT_EQ(none->m_specular[i], 1.0f);
  }
  EXPECT_EQ(none->m_texture.m_id, 0u);
  EXPECT_EQ(none->m_texture.m_image.m_state, -1);
}

TEST(ModelLoad, EditorChunkWithoutMainChunkLoadsTheSame) {
  TempDir dir;
  const auto full = testfiles::exampleFile();
  const std::vector<uint8_t> editorOnly(full.begin() + 6, full.end());
  C3DSMaxModel a, b;
  ASSERT_TRUE(testfiles::load(a, dir, full, "missing/").ok);
  ASSERT_TRUE(testfiles::load(b, dir, editorOnly, "missing/").ok);
  ASSERT_EQ(b.m_nGroups, 1u);
  ASSERT_EQ(b.m_groups[0]->m_nFaces, 1u);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(a.m_groups[0]->m_pVertices[i].x, b.m_groups[0]->m_pVertices[i].x);
    EXPECT_EQ(a.m_groups[0]->m_pVertices[i].y, b.m_groups[0]->m_pVertices[i].y);
  }
  EXPECT_STREQ(b.m_groups[0]->m_pFaces[0].pMaterial->m_name, "mat");
}

TEST(ModelLoad, FileWithoutVertexListHasNoGroupsAndMissingFileFails) {
  TempDir dir;
  ChunkWriter w;
  testfiles::material(w, "only");
  C3DSMaxModel model;
  ASSERT_TRUE(testfiles::load(model, dir, testfiles::wrapped(w.bytes())).ok);
  EXPECT_EQ(model.m_nGroups, 0u);
  EXPECT_EQ(model.m_materials.size(), 1u);

  C3DSMaxModel missing;
  const std::string path = dir.file("nothing-here.3ds");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(missing.Load(path.c_str(), ""));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(missing.m_nGroups, 0u);
  EXPECT_TRUE(missing.m_groups.empty());
  EXPECT_TRUE(missing.m_materials.empty());
  EXPECT_NE(out.find(path), std::string::npos) << out;
  EXPECT_NE(out.find("No such file"), std::string::npos) << out;

  C3DSMaxModel folder;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(folder.Load(dir.path().c_str(), ""));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "model: cannot read " + dir.path() + ": Is a directory\n");
  EXPECT_EQ(folder.m_nGroups, 0u);
}

TEST(ModelLoad, TwoObjectsGiveTwoGroupsInFileOrderAndFacelessObjectKeepsVertices) {
  TempDir dir;
  ChunkWriter w;
  testfiles::object(w, "first", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {}, {{0, 1, 2}});
  // An object with a vertex list and no face list.
  const size_t o = w.Begin(chunk3ds::kObject);
  w.String("second");
  const size_t m = w.Begin(chunk3ds::kTriangleMesh);
  testfiles::vertexList(w, {5, 6, 7, 8, 9, 10});
  w.End(m);
  w.End(o);
  C3DSMaxModel model;
  ASSERT_TRUE(testfiles::load(model, dir, testfiles::wrapped(w.bytes())).ok);
  ASSERT_EQ(model.m_nGroups, 2u);
  EXPECT_EQ(model.m_groups[0]->m_nVertices, 3u);
  EXPECT_EQ(model.m_groups[0]->m_nFaces, 1u);
  EXPECT_EQ(model.m_groups[1]->m_nVertices, 2u);
  EXPECT_EQ(model.m_groups[1]->m_nFaces, 0u);
  EXPECT_EQ(model.m_groups[1]->m_pVertices[1].x, 8.0f);
  EXPECT_EQ(model.m_groups[1]->m_pVertices[1].y, 10.0f);
}

// Three materials: "Red" twice (first and second) and "red"; the faces name "Red", "red" and
// "late" (defined only after the object).
TEST(ModelLoad, MaterialLookupIsCaseSensitiveTakesTheFirstOfEqualNamesAndSeesOnlyEarlierMaterials) {
  TempDir dir;
  ChunkWriter w;
  const uint8_t first[3] = {10, 0, 0}, second[3] = {20, 0, 0}, lower[3] = {30, 0, 0}, late[3] = {40, 0, 0};
  testfiles::material(w, "Red", first);
  testfiles::material(w, "Red", second);
  testfiles::material(w, "red", lower);
  testfiles::object(w, "o", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {}, {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}},
                    {{"Red", {0}}, {"red", {1}}, {"late", {2}}});
  testfiles::material(w, "late", late);
  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(model.m_materials.size(), 4u);
  const CFace* faces = model.m_groups[0]->m_pFaces;
  EXPECT_EQ(faces[0].pMaterial, model.m_materials[0]);
  EXPECT_EQ(faces[1].pMaterial, model.m_materials[2]);
  EXPECT_EQ(faces[2].pMaterial, nullptr);
  EXPECT_EQ(faces[3].pMaterial, nullptr);  // listed nowhere
  EXPECT_NE(result.output.find("\"late\", which is not defined before it"), std::string::npos) << result.output;
  EXPECT_EQ(model.FindMaterial("Red"), model.m_materials[0]);
  EXPECT_EQ(model.FindMaterial("RED"), nullptr);
  EXPECT_EQ(model.FindMaterial("late"), model.m_materials[3]);
}

// Chunks that are not read are skipped by their length, even when their bytes would look like
// chunks that are read: a keyframer chunk holding a vertex list, smoothing groups after the
// faces, a light inside the object, an ambient colour and shininess inside the material.
TEST(ModelLoad, UnreadChunksAreSkippedByLength) {
  TempDir dir;
  ChunkWriter w;
  const size_t m = w.Begin(chunk3ds::kMaterial);
  const size_t ambient = w.Begin(chunk3ds::kAmbient);
  const size_t inner = w.Begin(chunk3ds::kColor24);
  w.U8(1), w.U8(2), w.U8(3);
  w.End(inner);
  w.End(ambient);
  const size_t name = w.Begin(chunk3ds::kMaterialName);
  w.String("m");
  w.End(name);
  const size_t shininess = w.Begin(0xA040);
  testfiles::vertexList(w, {9, 9, 9});  // bytes that must not be read as a material part
  w.End(shininess);
  w.End(m);

  const size_t o = w.Begin(chunk3ds::kObject);
  w.String("o");
  const size_t light = w.Begin(0x4600);
  testfiles::vertexList(w, {7, 7, 7});
  w.End(light);
  const size_t mesh = w.Begin(chunk3ds::kTriangleMesh);
  testfiles::vertexList(w, {0, 0, 0, 1, 0, 0, 0, 1, 0});
  const size_t faces = w.Begin(chunk3ds::kFaceList);
  w.U16(1);
  w.U16(0), w.U16(1), w.U16(2), w.U16(0);
  const size_t smoothing = w.Begin(chunk3ds::kSmoothing);
  w.U32(1);
  w.End(smoothing);
  testfiles::faceMaterial(w, "m", {0});
  w.End(faces);
  w.End(mesh);
  w.End(o);
  const size_t keyframer = w.Begin(chunk3ds::kKeyframer);
  testfiles::vertexList(w, {5, 5, 5});
  w.End(keyframer);

  C3DSMaxModel model;
  const auto result = testfiles::load(model, dir, testfiles::wrapped(w.bytes()));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.output, "");
  ASSERT_EQ(model.m_nGroups, 1u);
  EXPECT_EQ(model.m_groups[0]->m_nVertices, 3u);
  ASSERT_EQ(model.m_groups[0]->m_nFaces, 1u);
  ASSERT_EQ(model.m_materials.size(), 1u);
  EXPECT_STREQ(model.m_materials[0]->m_name, "m");
  EXPECT_EQ(model.m_materials[0]->m_diffuse[0], 1.0f);  // ambient is not diffuse
  EXPECT_EQ(model.m_groups[0]->m_pFaces[0].pMaterial, model.m_materials[0]);
}

TEST(ModelLoad, TexturePathIsThePrefixFollowedByTheMapFileName) {
  std::string path;
  ASSERT_TRUE(FormTexturePath("Data/car/", "body.bmp", &path));
  EXPECT_EQ(path, "Data/car/body.bmp");
  ASSERT_TRUE(FormTexturePath("", "body.bmp", &path));
  EXPECT_EQ(path, "body.bmp");
  ASSERT_TRUE(FormTexturePath("Data/car", "body.bmp", &path));
  EXPECT_EQ(path, "Data/carbody.bmp");  // no separator is added
  ASSERT_TRUE(FormTexturePath("Data/Car/", "Body.BMP", &path));
  EXPECT_EQ(path, "Data/Car/Body.BMP");
  EXPECT_TRUE(FormTexturePath(std::string(200, 'p').c_str(), std::string(55, 'n'), &path));
  EXPECT_EQ(path.size(), 255u);
  EXPECT_FALSE(FormTexturePath(std::string(200, 'p').c_str(), std::string(56, 'n'), &path));
  EXPECT_EQ(path, "");
}

TEST(ModelLoad, TextureIsReadFromThePrefixedPathOnly) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteBmp(dir.file("t.bmp"), RgbaImage(4, 4), 24, &error)) << error;
  C3DSMaxModel withSlash, withoutSlash;
  testfiles::load(withSlash, dir, testfiles::exampleFile(), dir.path() + "/");
  const auto result = testfiles::load(withoutSlash, dir, testfiles::exampleFile(), dir.path());
  EXPECT_NE(withSlash.m_materials[0]->m_texture.m_id, 0u);
  EXPECT_EQ(withoutSlash.m_materials[0]->m_texture.m_id, 0u);
  EXPECT_NE(result.output.find("texture: cannot read " + dir.path() + "t.bmp"), std::string::npos) << result.output;
  // The model itself is not affected by a missing texture.
  EXPECT_EQ(withoutSlash.m_groups[0]->m_nFaces, 1u);
}

TEST(ModelLoad, ShippedModelsLoadWithSeveralGroupsMaterialsAndTextures) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  for (const char* name : {"house", "rocket"}) {
    const std::string folder = std::string("Data/models/") + name + "/";
    C3DSMaxModel model;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(model.Load((folder + name + ".3ds").c_str(), folder.c_str())) << name;
    testing::internal::GetCapturedStdout();
    EXPECT_GT(model.m_nGroups, 1u) << name;
    EXPECT_GT(model.m_materials.size(), 1u) << name;
    int textured = 0;
    for (const CMaterial* m : model.m_materials) textured += m->m_texture.m_id != 0;
    EXPECT_GE(textured, 1) << name;
    float top = 0;  // the model's y points up; about 2 units stand 80 mm tall at scale 1
    for (uint32_t j = 0; j < model.m_nGroups; j++)
      for (uint32_t i = 0; i < model.m_groups[j]->m_nVertices; i++)
        top = std::max(top, model.m_groups[j]->m_pVertices[i].y);
    EXPECT_GT(top, 1.5f) << name;
    EXPECT_LT(top, 2.6f) << name;
  }
}

}  // namespace
