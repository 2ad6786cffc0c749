// Where the renderer puts markers: corners, edges, the distortion map and the expected dir.
#include "sim/synthetic_frame.h"

#include <gtest/gtest.h>

#include <cmath>

#include "camera/distortion.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame_internal.h"
#include "tests/sim/sim_test_scene.h"

namespace {

constexpr int kBack = 200;  // flat background level used below

struct Scene {
  SimMarker marker;
  SimMarkerTruth truth;
  Frame frame{640, 480};
};

// Renders one white-interior marker on a flat background with the given camera and pose.
void renderOne(const SimRenderer& renderer, Scene* scene, int supersample = 3) {
  SimBackground background;
  background.grey = kBack;
  SimEffects effects;
  effects.supersample = supersample;
  renderer.render(background, &scene->marker, 1, effects, scene->frame.bgra.data(), &scene->truth);
}

TEST(SyntheticFrameGeometry, TruthCornersAreTheProjectionThroughTheCamera) {
  const CameraParam camera = shippedCamera();
  const SimRenderer renderer(camera, 640, 480);
  Scene scene;
  simPoseLookAt(600, 35, 20, 12, 40, -30, scene.marker.pose);
  renderOne(renderer, &scene);
  const double h = 40;
  const double model[4][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};
  for (int k = 0; k < 4; ++k) {
    double cam[3], img[3];
    for (int r = 0; r < 3; ++r)
      cam[r] = scene.marker.pose[r][0] * model[k][0] + scene.marker.pose[r][1] * model[k][1] +
               scene.marker.pose[r][3];
    for (int r = 0; r < 3; ++r)
      img[r] = camera.projection[r][0] * cam[0] + camera.projection[r][1] * cam[1] +
               camera.projection[r][2] * cam[2] + camera.projection[r][3];
    EXPECT_NEAR(scene.truth.ideal[k][0], img[0] / img[2], 1e-9) << k;
    EXPECT_NEAR(scene.truth.ideal[k][1], img[1] / img[2], 1e-9) << k;
    double ox, oy;
    arIdealToObserved(camera.distortion, img[0] / img[2], img[1] / img[2], &ox, &oy);
    EXPECT_NEAR(scene.truth.observed[k][0], ox, 1e-9) << k;
    EXPECT_NEAR(scene.truth.observed[k][1], oy, 1e-9) << k;
  }
  EXPECT_TRUE(scene.truth.fullyVisible);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(scene.truth.pose[r][c], scene.marker.pose[r][c]);
}

// Position of a dark/bright edge along a run of pixels: each pixel contributes its bright
// fraction, so the sum counts the bright length before (or after) the edge.
double brightLength(const Frame& frame, int x, int y, int dx, int dy, int steps) {
  double sum = 0;
  for (int n = 0; n < steps; ++n) sum += frame.at(x + n * dx, y + n * dy) / static_cast<double>(kBack);
  return sum;
}

TEST(SyntheticFrameGeometry, BlackBorderEdgesSitAtTheTruthWithinAFifthOfAPixel) {
  const CameraParam camera = shippedCamera();
  const SimRenderer renderer(camera, 640, 480);
  for (const double offset : {0.0, 117.3}) {
    Scene scene;
    simPoseLookAt(450, 0, 0, 0, offset, offset * 0.6, scene.marker.pose);
    renderOne(renderer, &scene);
    const auto& o = scene.truth.observed;
    // Observed midpoints of the four edges (through the lens, so not the corner average).
    const double mid[4][2] = {{0, 40}, {40, 0}, {0, -40}, {-40, 0}};
    for (int e = 0; e < 4; ++e) {
      double ix, iy, ox, oy;
      ASSERT_TRUE(simProjectMarkerPoint(scene.marker.pose, camera.projection, mid[e][0], mid[e][1], &ix, &iy));
      arIdealToObserved(camera.distortion, ix, iy, &ox, &oy);
      const int px = static_cast<int>(std::lround(ox)), py = static_cast<int>(std::lround(oy));
      double measured = 0, expected = 0;
      if (e == 0) {  // top edge: background above, border below
        measured = py - 6 - 0.5 + brightLength(scene.frame, px, py - 6, 0, 1, 12);
        expected = oy;
      } else if (e == 2) {  // bottom edge: border above, background below
        measured = py + 6 + 0.5 - brightLength(scene.frame, px, py - 5, 0, 1, 12);
        expected = oy;
      } else if (e == 1) {  // right edge
        measured = px + 6 + 0.5 - brightLength(scene.frame, px - 5, py, 1, 0, 12);
        expected = ox;
      } else {  // left edge
        measured = px - 6 - 0.5 + brightLength(scene.frame, px - 6, py, 1, 0, 12);
        expected = ox;
      }
      EXPECT_NEAR(measured, expected, 0.2) << "edge " << e << " offset " << offset;
    }
    // Diagonally just outside each corner is background, just inside is border.
    const double cx = (o[0][0] + o[2][0]) / 2, cy = (o[0][1] + o[2][1]) / 2;
    for (int k = 0; k < 4; ++k) {
      const double dx = o[k][0] - cx, dy = o[k][1] - cy, len = std::hypot(dx, dy);
      const int inX = static_cast<int>(std::lround(o[k][0] - 2.5 * dx / len));
      const int inY = static_cast<int>(std::lround(o[k][1] - 2.5 * dy / len));
      const int outX = static_cast<int>(std::lround(o[k][0] + 2.5 * dx / len));
      const int outY = static_cast<int>(std::lround(o[k][1] + 2.5 * dy / len));
      EXPECT_EQ(scene.frame.at(inX, inY), 0) << "corner " << k;
      EXPECT_EQ(scene.frame.at(outX, outY), kBack) << "corner " << k;
    }
  }
}

TEST(SyntheticFrameGeometry, DistortionMapAgreesWithIdealToObserved) {
  const CameraParam camera = shippedCamera();
  for (const int mapFactor : {3, 2}) {
    const SimRenderer renderer(camera, 640, 480, mapFactor);
    for (const int s : {3, 1}) {  // from the map (3 with map 3) and computed on the fly
      for (const int y : {0, 1, 137, 240, 479})
        for (const int x : {0, 3, 321, 500, 639})
          for (int j = 0; j < s; ++j)
            for (int i = 0; i < s; ++i) {
              double ix, iy, ox, oy;
              SimRendererInternals::sampleIdeal(renderer, x, y, i, j, s, &ix, &iy);
              arIdealToObserved(camera.distortion, ix, iy, &ox, &oy);
              EXPECT_NEAR(ox, x - 0.5 + (i + 0.5) / s, 1e-4) << x << "," << y;
              EXPECT_NEAR(oy, y - 0.5 + (j + 0.5) / s, 1e-4) << x << "," << y;
            }
    }
  }
}

TEST(SyntheticFrameGeometry, MapAndOnTheFlyMappingRenderIdenticalBytes) {
  const CameraParam camera = shippedCamera();
  const SimRenderer withMap(camera, 640, 480, 3);
  const SimRenderer withoutMap(camera, 640, 480, 1);
  ASSERT_EQ(SimRendererInternals::mapSupersample(withMap), 3);
  Scene a, b;
  simPoseLookAt(500, 40, 60, 33, -60, 20, a.marker.pose);
  b.marker = a.marker;
  renderOne(withMap, &a, 3);
  renderOne(withoutMap, &b, 3);
  EXPECT_EQ(a.frame.bgra, b.frame.bgra);
}

TEST(SyntheticFrameGeometry, ExpectedDirFollowsTheTopmostCorner) {
  const SimRenderer renderer(pinholeCamera(), 640, 480);
  // Upright: corners 0 and 1 tie for topmost, the left one (0) wins, dir 2.
  // Each quarter turn counter-clockwise brings the next corner to the top left.
  const int expected[4] = {2, 3, 0, 1};
  for (int turn = 0; turn < 4; ++turn) {
    Scene scene;
    simPoseLookAt(500, 0, 0, 90.0 * turn, 0, 0, scene.marker.pose);
    renderOne(renderer, &scene, 1);
    EXPECT_EQ(scene.truth.expectedDir, expected[turn]) << "turn " << turn;
    EXPECT_TRUE(scene.truth.dirAmbiguous);
    // Turned 20 degrees further counter-clockwise, the corner to the right has risen clearly.
    simPoseLookAt(500, 0, 0, 90.0 * turn + 20, 0, 0, scene.marker.pose);
    renderOne(renderer, &scene, 1);
    EXPECT_EQ(scene.truth.expectedDir, (expected[turn] + 1) % 4) << "turn " << turn << " + 20";
    EXPECT_FALSE(scene.truth.dirAmbiguous);
    // Turned 20 degrees clockwise, the left corner is clearly topmost.
    simPoseLookAt(500, 0, 0, 90.0 * turn - 20, 0, 0, scene.marker.pose);
    renderOne(renderer, &scene, 1);
    EXPECT_EQ(scene.truth.expectedDir, expected[turn]) << "turn " << turn << " - 20";
    EXPECT_FALSE(scene.truth.dirAmbiguous);
  }
}

TEST(SyntheticFrameGeometry, InteriorPictureAppearsUprightWithRowZeroAtTheTop) {
  const SimRenderer renderer(pinholeCamera(), 640, 480);
  // Red top-left quadrant, blue elsewhere.
  const SimImage picture = makePicture([](int r, int s) {
    return (r < 8 && s < 8) ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{0, 0, 255};
  });
  Scene scene;
  scene.marker.interior = &picture;
  simPoseLookAt(400, 0, 0, 0, 0, 0, scene.marker.pose);
  renderOne(renderer, &scene);
  // The interior spans the central half; sample the centres of its four quadrants.
  const auto& o = scene.truth.observed;
  const double left = o[0][0] + (o[1][0] - o[0][0]) * 0.375, right = o[0][0] + (o[1][0] - o[0][0]) * 0.625;
  const double top = o[0][1] + (o[3][1] - o[0][1]) * 0.375, bottom = o[0][1] + (o[3][1] - o[0][1]) * 0.625;
  auto red = [&](double x, double y) { return scene.frame.at(std::lround(x), std::lround(y), 2); };
  auto blue = [&](double x, double y) { return scene.frame.at(std::lround(x), std::lround(y), 0); };
  EXPECT_EQ(red(left, top), 255);
  EXPECT_EQ(blue(left, top), 0);
  EXPECT_EQ(blue(right, top), 255);
  EXPECT_EQ(blue(left, bottom), 255);
  EXPECT_EQ(blue(right, bottom), 255);
}

}  // namespace
