// The scene on a real GL context: the shipped models loaded by table row and drawn on a marker,
// lit from the camera.
#include "app/scene.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "model/model_3ds.h"
#include "sim/sim_pose.h"
#include "tests/support/gl_test_context.h"

namespace {

// The tree (plain colours) twice its size on a marker 16 scene units away, tilted back by 40
// degrees and turned by 30, so that its faces meet the light at different angles.
TEST(Scene, ModelsLoadByRowAndAreLitFromTheCamera) {
  GlTestContext ctx(96, 96);
  AR_REQUIRE_GL(ctx);
  const MarkerTable table = {2, {{"Data/models/house/house.3ds", "Data/models/house/", 1, "", 0, 0, 80},
                                 {"Data/models/tree/tree.gltf", "", 1, "", 0, 0, 80}}};
  SceneState scene{};
  scene.userScale = 1.0f;
  testing::internal::CaptureStderr();
  loadModels(scene, table, 0.0);  // past the time limit at once: a progress line per model
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("arviewer: loading models: 1 of 2 done after "), std::string::npos) << err;
  EXPECT_NE(err.find("arviewer: loading models: 2 of 2 done after "), std::string::npos) << err;
  EXPECT_EQ(scene.textures.FileCount(), 1u) << "the house's picture, found through the row's prefix";

  VisibleMarker tree{1, {}, 2.0f};
  simPoseLookAt(16 / kPoseTranslationScale, 40, 0, 30, 0, 0, tree.transform);
  scene.visible = {tree};
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
  int green = 0, darkest = 255, brightest = 0;
  for (size_t i = 0; i < px.size(); i += 4) {
    if (px[i + 1] < px[i] + 20 || px[i + 1] < px[i + 2] + 20) continue;
    green++;
    darkest = std::min<int>(darkest, px[i + 1]), brightest = std::max<int>(brightest, px[i + 1]);
  }
  // Faces at different angles to the light in different shades; the one facing it in about its
  // full colour, with a faint highlight (173 when drawn upright with normalised normals).
  EXPECT_GT(green, 900) << "half the size would give a quarter of the pixels";
  EXPECT_GT(brightest - darkest, 30) << darkest << " .. " << brightest;
  EXPECT_NEAR(brightest, 173, 25);
  releaseModels(scene);
}

}  // namespace
