// Loading model files: the shipped models and texture paths (files that are not there:
// draw_test.cpp).
#include <gtest/gtest.h>

#include "model/model_file.h"
#include "model/model_passes.h"
#include "tests/model/model_files.h"
#include "tests/support/gl_test_context.h"
#include "tools/model3ds/shipped_models.h"

namespace {

// Data/models/ holds exactly what `armodel3ds write NAME Data/models/NAME` writes, and each model
// loads without a word: several groups and materials, textured where it has a picture and in
// plain colours where not, about 2 units (80 mm) tall.
TEST(ShippedModels, AreWhatTheToolWritesAndLoad) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  for (const std::string& name : ShippedModelNames()) {
    ShippedModel shipped;
    TempDir dir;
    std::string error;
    ASSERT_TRUE(MakeShippedModel(name, &shipped) && WriteShippedModel(shipped, dir.path(), &error)) << error;
    const std::string folder = "Data/models/" + name + "/", file = ShippedModelFile(shipped);
    for (const std::string& written : {file, shipped.textureFile})
      EXPECT_TRUE(written.empty() || readBytes(dir.file(written)) == readBytes(folder + written)) << written;
    C3DSMaxModel model;
    CTextureCache textures;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(arLoadModelFile(&model, (folder + file).c_str(), folder.c_str(), &textures)) << name;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
    EXPECT_TRUE(model.m_nGroups > 1 && model.m_materials.size() > 1) << name;
    for (const CMaterial* m : model.m_materials)
      EXPECT_EQ(m->m_texture.m_id != 0, !shipped.textureFile.empty()) << name << ", " << m->m_name;
  }
}

TEST(ModelLoad, TexturePathIsThePrefixFollowedByTheMapFileName) {
  std::string path, p200(200, 'p'), n55(55, 'n');
  EXPECT_TRUE(FormTexturePath("Data/car", "body.bmp", &path) && path == "Data/carbody.bmp");  // no separator added
  EXPECT_TRUE(FormTexturePath(p200.c_str(), n55, &path) && path == p200 + n55);               // 255 characters
  EXPECT_TRUE(!FormTexturePath(p200.c_str(), n55 + "n", &path) && path.empty());
}

}  // namespace
