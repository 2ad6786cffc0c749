// The scene on a real GL context: models loaded by table row, lit from the camera.
#include "app/scene.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "model/model_3ds.h"
#include "tests/support/gl_test_context.h"
#include "tests/test_files.h"
#include "tools/model3ds/image_writer.h"
#include "tools/model3ds/mesh_builder.h"

namespace {

// A brown box standing on the marker, and beside it a flat plate showing a red and green picture.
void writeModel(const TempDir& dir) {
  ModelDesc model;
  model.materials = {{"brown", {140, 80, 35}, {40, 40, 40}, ""}, {"picture", {255, 255, 255}, {0, 0, 0}, "p.bmp"}};
  MeshBuilder box("box"), plate("plate");
  AddBox(box, {-0.9f, -0.5f, 0.0f}, {0.1f, 0.5f, 1.0f}, "brown");
  AddBox(plate, {0.3f, -0.5f, 0.0f}, {1.1f, 0.5f, 0.05f}, "picture");
  model.meshes = {box.Build(), plate.Build()};
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(Write3ds(model, &bytes, &error)) << error;
  writeBytes(dir.file("m.3ds"), bytes);
  RgbaImage picture(8, 8);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) picture.set(x, y, x < 4 ? 220 : 20, x < 4 ? 20 : 200, 20);
  ASSERT_TRUE(WriteBmp(dir.file("p.bmp"), picture, 24, &error)) << error;
}

// The marker 16 scene units in front of the camera, tilted back by 40 degrees about its x axis
// and turned by 30 about the view, so that the box shows faces at different angles to the light;
// the model drawn twice its size.
VisibleMarker tiltedMarker() {
  VisibleMarker v{};
  const double a = 40 * M_PI / 180, b = 30 * M_PI / 180;
  const double tilt[3][3] = {{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}};
  const double turn[3][3] = {{std::cos(b), -std::sin(b), 0}, {std::sin(b), std::cos(b), 0}, {0, 0, 1}};
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++)
      for (int k = 0; k < 3; k++) v.transform[r][c] += turn[r][k] * tilt[k][c];
  v.transform[2][3] = 16 / kPoseTranslationScale;
  v.scale = 2.0f;
  return v;
}

TEST(SceneDraw, ModelsAreLitFromTheCameraInTheirColoursAndPictures) {
  GlTestContext ctx(96, 96);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  writeModel(dir);
  SceneState scene{};
  scene.userScale = 1.0f;
  ASSERT_TRUE(loadModel(scene, 0, dir.file("m.3ds").c_str(), (dir.path() + "/").c_str()));
  scene.visible = {tiltedMarker()};

  glViewport(0, 0, 96, 96);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(25, 1, 1, 100);
  glMatrixMode(GL_MODELVIEW);
  drawScene(scene);
  glFinish();
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  const std::vector<uint8_t> px = ctx.readPixels();

  // Brown pixels (red over green over blue, in the material's proportions), at two or more
  // brightnesses, the face towards the light in nearly the full colour; red and green pixels
  // of the picture.
  int brown = 0, red = 0, green = 0, darkest = 255, brightest = 0;
  for (size_t i = 0; i < px.size(); i += 4) {
    const int r = px[i], g = px[i + 1], b = px[i + 2];
    if (r > 40 && r > g + 15 && g > b + 10 && std::abs(g * 140 - r * 80) < 25 * r) {
      brown++;
      darkest = std::min(darkest, r), brightest = std::max(brightest, r);
    }
    red += r > 150 && g < 60;
    green += g > 140 && r < 60;
  }
  EXPECT_GT(brown, 200);
  EXPECT_GT(brightest - darkest, 30) << darkest << " .. " << brightest;
  EXPECT_GT(brightest, 110);
  EXPECT_GT(red, 30);
  EXPECT_GT(green, 30);
  releaseModels(scene);
}

// Once loading has taken longer than the given time, each model adds a progress line.
TEST(SceneLoad, LoadingModelsPastTheTimeLimitSaysHowFarItGot) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  writeModel(dir);
  MarkerTable table{};
  table.count = 2;
  for (MarkerEntry& e : table.entries) {
    std::snprintf(e.modelPath, sizeof e.modelPath, "%s", dir.file("m.3ds").c_str());
    std::snprintf(e.texturePrefix, sizeof e.texturePrefix, "%s/", dir.path().c_str());
  }
  SceneState scene{};
  testing::internal::CaptureStderr();
  loadModels(scene, table, 0.0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("arviewer: loading models: 1 of 2 done after "), std::string::npos) << err;
  EXPECT_NE(err.find("arviewer: loading models: 2 of 2 done after "), std::string::npos) << err;
  EXPECT_EQ(scene.textures.FileCount(), 1u);
  releaseModels(scene);
}

}  // namespace
