// The 3DS writer and the shipped models it makes.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/model_3ds.h"
#include "tests/support/gl_test_context.h"
#include "tests/test_files.h"
#include "tools/model3ds/model_writer.h"
#include "tools/model3ds/shipped_models.h"

namespace {

// Data/models/ holds exactly what `armodel3ds write NAME Data/models/NAME` writes today, and
// each model loads with several groups, materials, a texture, and stands about 80 mm tall.
TEST(ShippedModels, AreWhatTheToolWritesAndLoad) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  for (const std::string& name : ShippedModelNames()) {
    ShippedModel shippedModel;
    ASSERT_TRUE(MakeShippedModel(name, &shippedModel));
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteShippedModel(shippedModel, dir.path(), &error)) << error;
    const std::string folder = "Data/models/" + name + "/";
    EXPECT_EQ(readBytes(dir.file(name + ".3ds")), readBytes(folder + name + ".3ds")) << name;
    EXPECT_EQ(readBytes(dir.file(shippedModel.textureFile)), readBytes(folder + shippedModel.textureFile)) << name;

    C3DSMaxModel model;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(model.Load((folder + name + ".3ds").c_str(), folder.c_str())) << name;
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("model:"), std::string::npos) << name;  // no damage
    EXPECT_GT(model.m_nGroups, 1u) << name;
    EXPECT_GT(model.m_materials.size(), 1u) << name;
    EXPECT_TRUE(std::any_of(model.m_materials.begin(), model.m_materials.end(),
                            [](const CMaterial* m) { return m->m_texture.m_id != 0; }))
        << name;
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
