// The picture the viewer composes: a synthetic camera frame of a marker at a known pose drawn as
// the background, and a GL quad at the same pose drawn through the camera projection and the
// pose's model-view, as the scene draws its models. The quad must cover the marker shown.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "gl/projection.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/gl/gl_test_helpers.h"

namespace {

using Overlay = BackgroundTest;
constexpr int kWidth = 640, kHeight = 480;

// Wherever masks a and b differ, b has a's value within one pixel: their edges lie at most a
// pixel apart on a's side.
bool edgesWithinOnePixel(const std::vector<bool>& a, const std::vector<bool>& b) {
  for (int y = 0; y < kHeight; y++)
    for (int x = 0; x < kWidth; x++) {
      const bool value = a[y * kWidth + x];
      bool near = value == b[y * kWidth + x];
      for (int dy = -1; dy <= 1 && !near; dy++)
        for (int dx = -1; dx <= 1 && !near; dx++) {
          const int nx = x + dx, ny = y + dy;
          near = nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight && b[ny * kWidth + nx] == value;
        }
      if (!near) return false;
    }
  return true;
}

TEST_F(Overlay, QuadAtTheMarkerPoseCoversTheUndistortedMarker) {
  AR_REQUIRE_GL(ctx_);
  const CameraParam camera = shippedCamera();
  const SimRenderer renderer(camera, kWidth, kHeight);
  ASSERT_TRUE(renderer.valid()) << renderer.error();
  const SimImage blackInterior{1, 1, 1, {0}};  // an all-black marker on the grey background
  const double sceneScale = 0.025;             // marker units -> scene units, as the scene draws
  const struct { const char* name; double distance, tilt, tiltAxis, spin, offsetX, offsetY; } placements[] = {
      {"facing the camera", 400, 0, 0, 10, 0, 0},
      {"tilted", 350, 40, 30, -25, 20, 10},
      {"near the top-left corner, where the lens bends most", 450, 25, 120, 35, -180, -120},
      {"near the bottom-right corner, steeply tilted", 420, 55, 70, 5, 170, 110}};
  for (const auto& p : placements) {
    SCOPED_TRACE(p.name);
    SimMarker marker;
    marker.interior = &blackInterior;
    simPoseLookAt(p.distance, p.tilt, p.tiltAxis, p.spin, p.offsetX, p.offsetY, marker.pose);
    SimMarkerTruth truth;
    std::vector<uint8_t> frame(kWidth * kHeight * 4);
    renderer.render(SimBackground{}, &marker, 1, SimEffects{}, frame.data(), &truth);
    ASSERT_TRUE(truth.fullyVisible);
    const auto background = draw(camera, frame);

    double m[16];
    arglCameraFrustum(&camera, 0.1, 100.0, m);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(m);
    arglPoseToModelView(marker.pose, m, sceneScale);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(m);
    glScaled(sceneScale, sceneScale, sceneScale);
    const double half = marker.width / 2;
    glColor3ub(255, 0, 0);
    glRectd(-half, -half, half, half);
    glColor3ub(255, 255, 255);
    const auto scene = ctx_.readPixels();
    EXPECT_EQ(glErrorString("quad"), "");

    std::vector<bool> shown(kWidth * kHeight), covered(kWidth * kHeight);
    for (size_t i = 0; i < shown.size(); i++) {
      shown[i] = background[i * 4 + 1] < 64;  // darker than half the grey: marker
      covered[i] = scene[i * 4] == 255 && scene[i * 4 + 1] == 0 && scene[i * 4 + 2] == 0;
    }
    EXPECT_TRUE(edgesWithinOnePixel(shown, covered));
    EXPECT_TRUE(edgesWithinOnePixel(covered, shown));
  }
}

}  // namespace
