// The whole picture the viewer composes: a synthetic camera frame of a marker at a known pose
// drawn as the background, and a GL quad drawn at the same pose through the camera projection
// and the pose's model-view, as the scene draws its models. Where the undistorted background
// shows the marker, the quad must cover it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "camera/camera_param.h"
#include "gl/background.h"
#include "gl/projection.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/gl/gl_pixels.h"
#include "tests/support/gl_test_context.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr double kMarkerWidth = 80.0;   // marker units, border included
constexpr double kSceneScale = 0.025;   // marker units -> scene units, as the scene draws
const double kNearPlane = static_cast<double>(0.1f), kFarPlane = 100.0;

using Mask = std::vector<uint8_t>;  // one byte per window pixel, rows top to bottom

// Pixels of the marker in a window showing it on the flat grey background: everything the grey
// around it cannot reach without crossing the marker's dark border (darker than half the grey).
Mask markerMask(const std::vector<uint8_t>& rgba) {
  Mask outside(kWidth * kHeight, 0);
  std::vector<int> stack;
  auto push = [&](int x, int y) {
    const size_t i = static_cast<size_t>(y) * kWidth + x;
    if (outside[i] || rgba[i * 4 + 1] < 64) return;
    outside[i] = 1;
    stack.push_back(static_cast<int>(i));
  };
  for (int x = 0; x < kWidth; x++) push(x, 0), push(x, kHeight - 1);
  for (int y = 0; y < kHeight; y++) push(0, y), push(kWidth - 1, y);
  while (!stack.empty()) {
    const int i = stack.back();
    stack.pop_back();
    const int x = i % kWidth, y = i / kWidth;
    if (x > 0) push(x - 1, y);
    if (x + 1 < kWidth) push(x + 1, y);
    if (y > 0) push(x, y - 1);
    if (y + 1 < kHeight) push(x, y + 1);
  }
  Mask marker(outside.size());
  for (size_t i = 0; i < marker.size(); i++) marker[i] = !outside[i];
  return marker;
}

// Pixels of the given pure colour.
Mask colourMask(const std::vector<uint8_t>& rgba, uint8_t r, uint8_t g, uint8_t b) {
  Mask mask(kWidth * kHeight);
  for (size_t i = 0; i < mask.size(); i++)
    mask[i] = rgba[i * 4] == r && rgba[i * 4 + 1] == g && rgba[i * 4 + 2] == b;
  return mask;
}

// Largest distance (in pixels, Chebyshev) from a pixel where the masks disagree to the nearest
// pixel where mask b takes the value mask a has there: how far a's edge lies outside b's edge.
int edgeDistance(const Mask& a, const Mask& b) {
  int worst = 0;
  for (int y = 0; y < kHeight; y++)
    for (int x = 0; x < kWidth; x++) {
      const size_t i = static_cast<size_t>(y) * kWidth + x;
      if (a[i] == b[i]) continue;
      int r = 1;
      for (bool found = false; !found && r < 50; r += found ? 0 : 1)
        for (int dy = -r; dy <= r && !found; dy++)
          for (int dx = -r; dx <= r && !found; dx++) {
            const int nx = x + dx, ny = y + dy;
            found = nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight &&
                    b[static_cast<size_t>(ny) * kWidth + nx] == a[i];
          }
      worst = std::max(worst, r);
    }
  return worst;
}

// Loads the camera projection and the marker's model-view as the viewer does, with marker units
// scaled into scene units like the translation.
void loadSceneMatrices(const CameraParam& camera, const double pose[3][4]) {
  double m[16];
  arglCameraFrustum(&camera, kNearPlane, kFarPlane, m);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(m);
  arglPoseToModelView(pose, m, kSceneScale);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(m);
  glScaled(kSceneScale, kSceneScale, kSceneScale);
}

// Marker corners in model corner order: top-left, top-right, bottom-right, bottom-left (y up).
const double kCorners[4][2] = {{-kMarkerWidth / 2, kMarkerWidth / 2},
                               {kMarkerWidth / 2, kMarkerWidth / 2},
                               {kMarkerWidth / 2, -kMarkerWidth / 2},
                               {-kMarkerWidth / 2, -kMarkerWidth / 2}};

TEST(Overlay, QuadAtThePoseCoversTheUndistortedMarker) {
  const auto ctx = openGlTestContext(kWidth, kHeight);
  AR_REQUIRE_GL(*ctx);
  CameraParam camera;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &camera), 0);
  const SimRenderer renderer(camera, kWidth, kHeight);
  ASSERT_TRUE(renderer.valid()) << renderer.error();
  BackgroundSettings* settings = arglCreateBackground();
  ASSERT_NE(settings, nullptr);

  struct Placement {
    const char* name;
    double distance, tilt, tiltAxis, spin, offsetX, offsetY;
  } placements[] = {
      {"facing the camera", 400, 0, 0, 10, 0, 0},
      {"tilted", 350, 40, 30, -25, 20, 10},
      {"near the top-left corner, where the lens bends most", 450, 25, 120, 35, -180, -120},
      {"near the bottom-right corner, steeply tilted", 420, 55, 70, 5, 170, 110},
  };
  double worstCornerOffset = 0, worstLensShift = 0;
  int worstEdge = 0;
  for (const Placement& p : placements) {
    SCOPED_TRACE(p.name);
    SimMarker marker;
    marker.width = kMarkerWidth;
    simPoseLookAt(p.distance, p.tilt, p.tiltAxis, p.spin, p.offsetX, p.offsetY, marker.pose);
    SimMarkerTruth truth;
    std::vector<uint8_t> frame(kWidth * kHeight * 4);
    renderer.render(SimBackground{}, &marker, 1, SimEffects{}, frame.data(), &truth);
    ASSERT_TRUE(truth.fullyVisible);

    clearWindow();
    arglDrawBackground(frame.data(), &camera, 1.0, settings);
    const Mask shown = markerMask(ctx->readPixels());

    loadSceneMatrices(camera, marker.pose);
    glColor3ub(255, 0, 0);
    glBegin(GL_QUADS);
    for (const auto& c : kCorners) glVertex3d(c[0], c[1], 0.0);
    glEnd();
    const Mask quad = colourMask(ctx->readPixels(), 255, 0, 0);
    glColor3ub(0, 255, 0);
    glPointSize(1.0f);
    glBegin(GL_POINTS);
    for (const auto& c : kCorners) glVertex3d(c[0], c[1], 0.0);
    glEnd();
    const Mask corners = colourMask(ctx->readPixels(), 0, 255, 0);
    glColor3ub(255, 255, 255);
    EXPECT_EQ(glErrorString("overlay"), "");

    // Each corner's pixel against the corner the undistorted background shows (the ideal
    // corner; integer coordinates are pixel centres).
    for (int k = 0; k < 4; k++) {
      const double u = truth.ideal[k][0], v = truth.ideal[k][1];
      worstLensShift =
          std::max(worstLensShift, std::hypot(truth.observed[k][0] - u, truth.observed[k][1] - v));
      double nearest = 1e9;
      int foundX = -1, foundY = -1;
      for (int y = std::max(0, int(v) - 5); y <= std::min(kHeight - 1, int(v) + 5); y++)
        for (int x = std::max(0, int(u) - 5); x <= std::min(kWidth - 1, int(u) + 5); x++)
          if (corners[static_cast<size_t>(y) * kWidth + x] && std::hypot(x - u, y - v) < nearest) {
            nearest = std::hypot(x - u, y - v);
            foundX = x;
            foundY = y;
          }
      ASSERT_GE(foundX, 0) << "corner " << k << " not drawn near (" << u << ", " << v << ")";
      const double offset = std::max(std::fabs(foundX - u), std::fabs(foundY - v));
      worstCornerOffset = std::max(worstCornerOffset, offset);
      EXPECT_LE(offset, 1.0) << "corner " << k << " at (" << foundX << ", " << foundY << "), ideal (" << u
                             << ", " << v << ")";
    }

    int disagreeing = 0, quadPixels = 0;
    for (size_t i = 0; i < quad.size(); i++) {
      quadPixels += quad[i];
      disagreeing += quad[i] != shown[i];
    }
    // Both ways: each mask's edge lies within the distance of the other's.
    const int edge = std::max(edgeDistance(shown, quad), edgeDistance(quad, shown));
    std::printf("%s: quad %d pixels, %d pixels differ from the shown marker, edges at most %d px apart\n",
                p.name, quadPixels, disagreeing, edge);
    EXPECT_GT(quadPixels, 1000);
    EXPECT_LE(edge, 1);
    worstEdge = std::max(worstEdge, edge);
  }
  std::printf("worst: corner pixel vs ideal corner %.2f px, quad edge vs shown marker edge %d px "
              "(the lens moves these corners by up to %.2f px)\n",
              worstCornerOffset, worstEdge, worstLensShift);
  arglDestroyBackground(settings);
}

}  // namespace
