// The 3DS writer and the shipped models it makes.
#include <gtest/gtest.h>

#include "tests/test_files.h"
#include "tools/model3ds/model_writer.h"
#include "tools/model3ds/shipped_models.h"

namespace {

// Data/models/ holds exactly what `armodel3ds write NAME Data/models/NAME` writes today.
TEST(ModelWriter, ShippedModelFilesAreWhatTheToolWrites) {
  for (const std::string& name : ShippedModelNames()) {
    ShippedModel model;
    ASSERT_TRUE(MakeShippedModel(name, &model));
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteShippedModel(model, dir.path(), &error)) << error;
    const std::string shipped = "Data/models/" + name + "/";
    EXPECT_EQ(readBytes(dir.file(name + ".3ds")), readBytes(shipped + name + ".3ds")) << name;
    EXPECT_EQ(readBytes(dir.file(model.textureFile)), readBytes(shipped + model.textureFile)) << name;
  }
}

TEST(ModelWriter, RefusesWhatTheFormatCannotHold) {
  std::vector<uint8_t> bytes;
  std::string error;
  MeshDesc mesh;
  mesh.name = "tri";
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 3}};
  ModelDesc model;
  model.meshes = {mesh};
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  EXPECT_EQ(error, "mesh \"tri\": a face names a vertex that does not exist");
  model.meshes[0].faces = {{0, 1, 2}};
  model.meshes[0].name = std::string(20, 'n');
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  model.meshes[0].name = "tri";
  model.meshes[0].vertices.resize(65536);
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  EXPECT_EQ(error, "mesh \"tri\": more than 65535 vertices");
  model.meshes[0].vertices.resize(3);
  model.materials.resize(1);
  model.materials[0].name = std::string(256, 'm');
  EXPECT_FALSE(Write3ds(model, &bytes, &error));
  model.materials[0].name = "ok";
  EXPECT_TRUE(Write3ds(model, &bytes, &error)) << error;
}

}  // namespace
