// The 3DS and glTF writers and the shipped models they make.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/model_3ds.h"
#include "model/model_file.h"
#include "model/texture_cache.h"
#include "tests/support/gl_test_context.h"
#include "tests/test_files.h"
#include "tools/model3ds/model_writer.h"
#include "tools/model3ds/shipped_models.h"

namespace {

// Data/models/ holds exactly what `armodel3ds write NAME Data/models/NAME` writes today, and
// each model loads without a word with several groups and materials, textured where it has a
// picture and in plain colours where not, and stands about 80 mm tall.
TEST(ShippedModels, AreWhatTheToolWritesAndLoad) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  for (const std::string& name : ShippedModelNames()) {
    ShippedModel shippedModel;
    ASSERT_TRUE(MakeShippedModel(name, &shippedModel));
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteShippedModel(shippedModel, dir.path(), &error)) << error;
    const std::string folder = "Data/models/" + name + "/", file = ShippedModelFile(shippedModel);
    for (const std::string& written : {file, shippedModel.textureFile})
      EXPECT_TRUE(written.empty() || readBytes(dir.file(written)) == readBytes(folder + written)) << written;

    C3DSMaxModel model;
    CTextureCache textures;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(arLoadModelFile(&model, (folder + file).c_str(), folder.c_str(), &textures)) << name;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
    EXPECT_GT(model.m_nGroups, 1u) << name;
    EXPECT_GT(model.m_materials.size(), 1u) << name;
    for (const CMaterial* m : model.m_materials)
      EXPECT_EQ(m->m_texture.m_id != 0, !shippedModel.textureFile.empty()) << name << " " << m->m_name;
    EXPECT_NE(model.m_materials[0]->m_diffuse[2], model.m_materials[1]->m_diffuse[2]) << name;
    float top = 0;  // y points up; about 2 units stand 80 mm tall at scale 1
    for (uint32_t j = 0; j < model.m_nGroups; j++)
      for (uint32_t i = 0; i < model.m_groups[j]->m_nVertices; i++)
        top = std::max(top, model.m_groups[j]->m_pVertices[i].y);
    EXPECT_GT(top, 1.5f) << name;
    EXPECT_LT(top, 2.6f) << name;
  }
}

TEST(ModelWriter, RefusesWhatTheFormatCannotHold) {
  std::vector<uint8_t> bytes;
  std::string error;
  ModelDesc model;
  model.meshes.resize(1);
  MeshDesc& mesh = model.meshes[0];
  mesh.name = "tri";
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 3}};
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  EXPECT_EQ(error, "mesh \"tri\": a face names a vertex that does not exist");
  mesh.faces = {{0, 1, 2}};
  mesh.name = std::string(20, 'n');
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  mesh.name = "tri";
  mesh.vertices.resize(65536);
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  EXPECT_EQ(error, "mesh \"tri\": more than 65535 vertices");
  mesh.vertices.resize(3);
  model.materials.resize(1);
  model.materials[0].name = std::string(256, 'm');
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  model.materials[0].name = "ok";
  EXPECT_TRUE(Write3ds(model, &bytes, &error)) << error;
}

}  // namespace
