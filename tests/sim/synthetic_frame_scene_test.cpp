// Whole scenes: effects, determinism, drawing order, invisible markers and bad arguments.
#include "sim/synthetic_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sim/sim_pose.h"
#include "sim/synthetic_frame_internal.h"
#include "tests/sim/sim_test_scene.h"

namespace {

SimImage solidPicture(int r, int g, int b) {
  return makePicture([=](int, int) { return std::array<int, 3>{r, g, b}; });
}

// Four markers: overlapping, tilted, partly outside the frame, and one crossing behind the camera.
struct BusyScene {
  SimImage red = solidPicture(255, 0, 0), blue = solidPicture(0, 0, 255);
  SimMarker markers[4];
  BusyScene() {
    simPoseLookAt(500, 0, 0, 0, 0, 0, markers[0].pose);
    markers[0].width = 160;
    markers[0].interior = &red;
    simPoseLookAt(450, 30, 45, 25, 20, 10, markers[1].pose);
    markers[1].interior = &blue;
    simPoseLookAt(400, 50, 0, 70, -300, -200, markers[2].pose);
    // Tilted nearly 90 degrees about its x axis with its centre close in front: one half of the
    // marker lies behind the camera.
    simPoseLookAt(30, 89, 0, 0, 200, 0, markers[3].pose);
    markers[3].width = 400;
  }
};

TEST(SyntheticFrameScene, SameSeedGivesTheSameBytesAndAnotherSeedDoesNot) {
  const SimRenderer renderer(shippedCamera(), 640, 480);
  BusyScene scene;
  SimBackground background;
  background.kind = SimBackgroundKind::Gradient;
  SimEffects effects;
  effects.noiseSigma = 4;
  effects.blurSigma = 0.8;
  effects.brightnessGradient = 0.3;
  effects.seed = 7;
  Frame a(640, 480), b(640, 480), c(640, 480);
  renderer.render(background, scene.markers, 4, effects, a.bgra.data(), nullptr);
  renderer.render(background, scene.markers, 4, effects, b.bgra.data(), nullptr);
  effects.seed = 8;
  renderer.render(background, scene.markers, 4, effects, c.bgra.data(), nullptr);
  EXPECT_EQ(a.bgra, b.bgra);
  EXPECT_NE(a.bgra, c.bgra);
}

TEST(SyntheticFrameScene, NoiseHasTheRequestedSpreadAroundTheCleanFrame) {
  const SimRenderer renderer(pinholeCamera(), 64, 48);
  SimBackground background;
  SimEffects effects;
  Frame clean(64, 48), noisy(64, 48);
  renderer.render(background, nullptr, 0, effects, clean.bgra.data(), nullptr);
  effects.noiseSigma = 5;
  renderer.render(background, nullptr, 0, effects, noisy.bgra.data(), nullptr);
  double sum = 0, squares = 0;
  int n = 0;
  for (size_t i = 0; i < clean.bgra.size(); ++i) {
    if (i % 4 == 3) {
      EXPECT_EQ(noisy.bgra[i], 255);
      continue;
    }
    const double d = noisy.bgra[i] - clean.bgra[i];
    sum += d, squares += d * d, ++n;
  }
  EXPECT_NEAR(sum / n, 0, 0.3);
  EXPECT_NEAR(std::sqrt(squares / n), 5, 0.3);
}

TEST(SyntheticFrameScene, BoundingBoxesChangeNothingComparedWithTestingEveryPixel) {
  const SimRenderer renderer(shippedCamera(), 640, 480);
  BusyScene scene;
  SimBackground background;
  SimEffects effects;
  Frame bounded(640, 480), everywhere(640, 480);
  SimMarkerTruth truth[4];
  renderer.render(background, scene.markers, 4, effects, bounded.bgra.data(), truth);
  SimRendererInternals::renderEveryPixel(renderer, background, scene.markers, 4, effects,
                                         everywhere.bgra.data(), nullptr);
  EXPECT_EQ(bounded.bgra, everywhere.bgra);
  EXPECT_TRUE(truth[0].fullyVisible);
  EXPECT_TRUE(truth[1].fullyVisible);
  EXPECT_FALSE(truth[2].fullyVisible);  // runs off the top left of the frame
  EXPECT_FALSE(truth[3].fullyVisible);
  EXPECT_EQ(truth[3].expectedDir, -1);  // two corners behind the camera
}

TEST(SyntheticFrameScene, LaterMarkersCoverEarlierOnes) {
  const SimRenderer renderer(pinholeCamera(), 640, 480);
  BusyScene scene;
  SimBackground background;
  SimEffects effects;
  Frame frame(640, 480);
  SimMarkerTruth truth[2];
  // The small blue marker sits over the centre of the big red one.
  renderer.render(background, scene.markers, 2, effects, frame.bgra.data(), truth);
  const int cx = static_cast<int>(std::lround((truth[1].observed[0][0] + truth[1].observed[2][0]) / 2));
  const int cy = static_cast<int>(std::lround((truth[1].observed[0][1] + truth[1].observed[2][1]) / 2));
  EXPECT_EQ(frame.at(cx, cy, 0), 255);
  EXPECT_EQ(frame.at(cx, cy, 2), 0);
  // Swapped, the big red marker hides the small one completely.
  std::swap(scene.markers[0], scene.markers[1]);
  renderer.render(background, scene.markers, 2, effects, frame.bgra.data(), nullptr);
  EXPECT_EQ(frame.at(cx, cy, 0), 0);
  EXPECT_EQ(frame.at(cx, cy, 2), 255);
}

TEST(SyntheticFrameScene, MarkersBehindTheCameraAreNeverDrawn) {
  const SimRenderer renderer(shippedCamera(), 320, 240);
  SimMarker marker;
  // Mirror image of a visible marker through the camera centre.
  simPoseLookAt(-300, 0, 0, 0, 0, 0, marker.pose);
  SimBackground background;
  SimEffects effects;
  Frame frame(320, 240), empty(320, 240);
  SimMarkerTruth truth;
  renderer.render(background, &marker, 1, effects, frame.bgra.data(), &truth);
  renderer.render(background, nullptr, 0, effects, empty.bgra.data(), nullptr);
  EXPECT_EQ(frame.bgra, empty.bgra);
  EXPECT_EQ(truth.expectedDir, -1);
  EXPECT_FALSE(truth.fullyVisible);
  EXPECT_TRUE(std::isnan(truth.ideal[0][0]));
}

TEST(SyntheticFrameScene, BackgroundsAndBrightnessGradient) {
  const SimRenderer renderer(pinholeCamera(), 100, 50);
  SimEffects effects;
  Frame frame(100, 50);
  SimBackground background;
  background.kind = SimBackgroundKind::Gradient;
  background.grey = 10;
  background.grey2 = 250;
  renderer.render(background, nullptr, 0, effects, frame.bgra.data(), nullptr);
  EXPECT_EQ(frame.at(0, 20), 10);
  EXPECT_EQ(frame.at(99, 20), 250);
  EXPECT_EQ(frame.at(50, 0, 2), frame.at(50, 49, 1));

  // A 2 x 1 texture, black then white, stretched over the frame.
  SimImage texture;
  texture.width = 2;
  texture.height = 1;
  texture.channels = 1;
  texture.pixels = {0, 255};
  background.kind = SimBackgroundKind::Texture;
  background.texture = &texture;
  renderer.render(background, nullptr, 0, effects, frame.bgra.data(), nullptr);
  EXPECT_EQ(frame.at(5, 10), 0);
  EXPECT_EQ(frame.at(94, 10), 255);
  EXPECT_EQ(frame.at(49, 10) + frame.at(50, 10), 255);

  background.kind = SimBackgroundKind::Flat;
  background.grey = 100;
  effects.brightnessGradient = 0.5;
  renderer.render(background, nullptr, 0, effects, frame.bgra.data(), nullptr);
  EXPECT_EQ(frame.at(0, 0), 75);     // 100 * (1 - 0.25)
  EXPECT_EQ(frame.at(99, 49), 125);  // 100 * (1 + 0.25)
}

TEST(SyntheticFrameScene, BadSizesGiveAnInvalidRendererThatDrawsNothing) {
  for (const auto& [w, h] : {std::pair{0, 10}, {10, -1}, {4097, 10}, {10, 4097}}) {
    const SimRenderer renderer(pinholeCamera(), w, h);
    EXPECT_FALSE(renderer.valid()) << w << "x" << h;
    EXPECT_NE(renderer.error().find("outside 1..4096"), std::string::npos);
    std::vector<uint8_t> untouched(16, 7);
    SimMarker marker;
    simPoseLookAt(500, 0, 0, 0, 0, 0, marker.pose);
    SimMarkerTruth truth;
    renderer.render(SimBackground(), &marker, 1, SimEffects(), untouched.data(), &truth);
    EXPECT_EQ(untouched, std::vector<uint8_t>(16, 7));
    EXPECT_EQ(truth.expectedDir, -1);
  }
  CameraParam broken = pinholeCamera();
  broken.distortion[3] = 0;
  EXPECT_FALSE(SimRenderer(broken, 64, 64).valid());
  broken = pinholeCamera();
  broken.projection[0][0] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(SimRenderer(broken, 64, 64).valid());
  EXPECT_FALSE(SimRenderer(pinholeCamera(), 64, 64, 9).valid());
}

TEST(SyntheticFrameScene, ExtremeSizesAndOddArgumentsStillRender) {
  const SimRenderer tiny(pinholeCamera(), 1, 1);
  ASSERT_TRUE(tiny.valid());
  Frame one(1, 1);
  SimEffects hugeBlur;
  hugeBlur.blurSigma = 1e9;  // capped; a 1 x 1 frame keeps its value
  tiny.render(SimBackground(), nullptr, 0, hugeBlur, one.bgra.data(), nullptr);
  EXPECT_EQ(one.at(0, 0), 128);
  EXPECT_EQ(one.at(0, 0, 3), 255);

  const SimRenderer large(shippedCamera(), 1024, 1024, 1);
  ASSERT_TRUE(large.valid());
  SimMarker markers[3];
  simPoseLookAt(500, 0, 0, 0, 0, 0, markers[0].pose);
  simPoseLookAt(500, 0, 0, 0, 0, 0, markers[1].pose);
  markers[1].width = -3;  // not drawn
  simPoseLookAt(500, 0, 0, 0, 0, 0, markers[2].pose);
  markers[2].pose[0][3] = std::numeric_limits<double>::infinity();
  SimImage empty;  // unusable interior: drawn white
  markers[0].interior = &empty;
  SimEffects effects;
  effects.supersample = 99;   // clamped to 8
  effects.brightnessGradient = std::numeric_limits<double>::quiet_NaN();  // ignored
  Frame frame(1024, 1024);
  SimMarkerTruth truth[3];
  large.render(SimBackground(), markers, 3, effects, frame.bgra.data(), truth);
  EXPECT_EQ(truth[0].expectedDir, 2);
  EXPECT_EQ(truth[1].expectedDir, -1);
  EXPECT_EQ(truth[2].expectedDir, -1);
  large.render(SimBackground(), markers, -5, SimEffects(), nullptr, nullptr);  // nothing to do
}

}  // namespace
