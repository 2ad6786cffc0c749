// Synthetic frames: marker poses, where markers land and what they look like, lighting and
// camera effects, and bad arguments.
#include "sim/synthetic_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "camera/distortion.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame_internal.h"
#include "tests/shipped_data.h"

namespace {

// The shipped camera's matrix without lens distortion.
const CameraParam kPinhole = {640, 480, {{554.3, 0, 321, 0}, {0, 554.3, 237.5, 0}, {0, 0, 1, 0}}, {321, 237.5, 0, 1}};

// BGRA bytes of a rendered frame, and byte c (0 blue, 1 green, 2 red) of the pixel nearest (x, y).
struct Frame {
  int width, height;
  std::vector<uint8_t> bgra = std::vector<uint8_t>(static_cast<size_t>(width) * height * 4);
  int at(double x, double y, int c = 0) const { return bgra[(std::lround(y) * width + std::lround(x)) * 4 + c]; }
};

Frame render(const SimRenderer& renderer, const std::vector<SimMarker>& markers, SimMarkerTruth* truth = nullptr,
             const SimEffects& effects = {}, const SimBackground& background = {}) {
  Frame frame{renderer.width(), renderer.height()};
  renderer.render(background, markers.data(), static_cast<int>(markers.size()), effects, frame.bgra.data(), truth);
  return frame;
}

SimMarker marker(double distance, double tilt, double axis, double spin, double x, double y, double width = 80,
                 const SimImage* interior = nullptr) {
  SimMarker m;
  simPoseLookAt(distance, tilt, axis, spin, x, y, m.pose);
  m.width = width, m.interior = interior;
  return m;
}

// With no turns the marker stands upright facing the camera (spins: see the expected dir below); a
// tilt about its x axis leans its normal; points behind the camera do not project.
TEST(SimPose, TurnsAndProjection) {
  double pose[3][4], x, y;
  simPoseLookAt(500, 0, 0, 0, 12, -7, pose);
  const double upright[12] = {1, 0, 0, 12, 0, -1, 0, -7, 0, 0, -1, 500};
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(pose[i / 4][i % 4], upright[i], 1e-12) << i;
  simPoseLookAt(500, 30, 0, 0, 0, 0, pose);
  EXPECT_TRUE(std::fabs(-pose[2][2] - std::sqrt(0.75)) < 1e-12 && pose[0][0] == 1);
  const double p[3][4] = {{500, 0, 320, 0}, {0, 500, 240, 0}, {0, 0, 1, 0}};
  simPoseLookAt(100, 0, 0, 0, 0, 0, pose);
  EXPECT_TRUE(simProjectMarkerPoint(pose, p, 10, 10, &x, &y) && x == 370 && y == 190);
  simPoseLookAt(-100, 0, 0, 0, 0, 0, pose);
  EXPECT_FALSE(simProjectMarkerPoint(pose, p, 10, 10, &x, &y));
}

// Truth corners are the model corners (top-left first, clockwise as seen) through camera and
// lens; the black border's edges sit within a fifth of a pixel of where the lens puts the edges'
// midpoints. The distortion map and the mapping computed on the fly render the same bytes.
TEST(SyntheticFrame, CornersAndEdgesLandWhereTheLensPutsThem) {
  const CameraParam camera = shippedCamera();
  const SimRenderer renderer(camera, 640, 480), withoutMap(camera, 640, 480, 1);
  ASSERT_EQ(SimRendererInternals::mapSupersample(renderer), 3);
  const SimBackground grey{SimBackgroundKind::Flat, 200};
  for (const double offset : {0.0, 117.3}) {
    const std::vector<SimMarker> m = {marker(450, 0, 0, 0, offset, offset * 0.6)};
    SimMarkerTruth t;
    const Frame frame = render(renderer, m, &t, {}, grey);
    const int outward[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};  // top edge first, image y down
    for (int k = 0; k < 4; ++k) {
      double ix, iy, ox, oy, bright = 0;
      ASSERT_TRUE(simProjectMarkerPoint(m[0].pose, camera.projection, k % 3 ? 40 : -40, k < 2 ? 40 : -40, &ix, &iy));
      arIdealToObserved(camera.distortion, ix, iy, &ox, &oy);
      EXPECT_TRUE(t.ideal[k][0] == ix && t.ideal[k][1] == iy && t.observed[k][0] == ox && t.observed[k][1] == oy);
      simProjectMarkerPoint(m[0].pose, camera.projection, 40 * outward[k][0], -40 * outward[k][1], &ix, &iy);
      arIdealToObserved(camera.distortion, ix, iy, &ox, &oy);
      const long px = std::lround(ox), py = std::lround(oy);
      for (int n = -5; n <= 6; ++n) bright += frame.at(px + n * outward[k][0], py + n * outward[k][1]) / 200.0;
      EXPECT_NEAR(6.5 - bright, (ox - px) * outward[k][0] + (oy - py) * outward[k][1], 0.2) << k << ", " << offset;
    }
    EXPECT_TRUE(t.fullyVisible);
    EXPECT_EQ(frame.bgra, render(withoutMap, m, nullptr, {}, grey).bgra);
  }
}

// The detector starts at the corner opposite the topmost one. Upright, corners 0 and 1 tie and the
// left one wins (dir 2, ambiguous); each quarter turn counter-clockwise brings the next corner to
// the top left; turned 20 degrees further counter-clockwise, the corner to its right is clearly
// topmost, and 20 degrees clockwise the left one.
TEST(SyntheticFrame, ExpectedDirFollowsTheTopmostCorner) {
  const SimRenderer renderer(kPinhole, 64, 48, 1);  // truth does not need the frame
  for (int turn = 0; turn < 4; ++turn)
    for (int extra : {0, 20, -20}) {
      const SimMarker m = marker(500, 0, 0, 90.0 * turn + extra, 0, 0);
      SimMarkerTruth t;
      renderer.render({}, &m, 1, {}, nullptr, &t);
      EXPECT_EQ(t.expectedDir, (turn + 2 + (extra > 0)) % 4) << turn << ", " << extra;
      EXPECT_EQ(t.dirAmbiguous, extra == 0) << turn << ", " << extra;
    }
}

// Drawing only within each marker's box changes nothing against testing every marker at every
// pixel: for a large marker whose top edge the lens bends most, one partly outside the frame, one
// reaching behind the camera and a tilted one over them all (later markers cover earlier ones),
// whose interior picture, red top-left and blue elsewhere, shows upright.
TEST(SyntheticFrame, BoundingBoxesChangeNothingComparedWithTestingEveryPixel) {
  const CameraParam camera = shippedCamera();
  const SimRenderer renderer(camera, 640, 480, 1);
  const SimImage picture{2, 2, 3, {255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255}};
  const std::vector<SimMarker> m = {marker(500, 0, 0, 0, 0, 75, 560), marker(400, 50, 0, 70, -300, -200),
                                    marker(30, 89, 0, 0, 200, 0, 400), marker(450, 30, 45, 25, 20, 10, 80, &picture)};
  SimEffects effects;
  effects.supersample = 1;
  SimMarkerTruth truth[4];
  const Frame bounded = render(renderer, m, truth, effects);
  Frame everywhere{640, 480};
  SimRendererInternals::renderEveryPixel(renderer, {}, m.data(), 4, effects, everywhere.bgra.data(), nullptr);
  EXPECT_EQ(bounded.bgra, everywhere.bgra);
  EXPECT_TRUE(truth[3].fullyVisible && !truth[1].fullyVisible && !truth[2].fullyVisible);
  EXPECT_EQ(truth[2].expectedDir, -1);  // two corners behind the camera
  for (int k = 0; k < 4; ++k) {  // the centres of the picture's quadrants, top-left first
    double ix, iy, ox, oy;
    simProjectMarkerPoint(m[3].pose, camera.projection, k % 2 ? 10 : -10, k < 2 ? 10 : -10, &ix, &iy);
    arIdealToObserved(camera.distortion, ix, iy, &ox, &oy);
    EXPECT_TRUE(bounded.at(ox, oy, 2) == (k ? 0 : 255) && bounded.at(ox, oy, 0) == (k ? 255 : 0)) << k;
  }
}

// Gradient and texture backgrounds, the brightness gradient across the frame, and noise of the
// requested spread around the clean frame, the same for the same seed, with blur.
TEST(SyntheticFrame, BackgroundsAndEffects) {
  const SimRenderer renderer(kPinhole, 100, 50, 1);
  const SimImage blackWhite{2, 1, 1, {0, 255}};
  const SimBackground gradient{SimBackgroundKind::Gradient, 10, 250}, flat{SimBackgroundKind::Flat, 100},
      texture{SimBackgroundKind::Texture, 0, 0, &blackWhite};
  SimEffects lit, noisy;
  lit.brightnessGradient = 0.5, noisy.noiseSigma = 5;
  const auto f = [&](const SimBackground& b, const SimEffects& e) { return render(renderer, {}, nullptr, e, b); };
  const Frame g = f(gradient, {}), t = f(texture, {}), l = f(flat, lit), n = f(flat, noisy);
  EXPECT_TRUE(g.at(0, 20) == 10 && g.at(99, 20) == 250 && g.at(50, 0, 2) == g.at(50, 49, 1));
  EXPECT_TRUE(t.at(5, 10) == 0 && t.at(94, 10) == 255 && t.at(49, 10) + t.at(50, 10) == 255);
  EXPECT_TRUE(l.at(0, 0) == 75 && l.at(99, 49) == 125);  // 100 * (1 -+ 0.25)
  double sum = 0, squares = 0;  // over the 15000 colour values around the clean level; alpha stays
  for (size_t i = 0; i < n.bgra.size(); ++i) {
    const int d = n.bgra[i] - (i % 4 == 3 ? 255 : 100);
    sum += d, squares += d * d;
  }
  EXPECT_TRUE(std::fabs(sum / 15000) < 0.3 && std::fabs(std::sqrt(squares / 15000) - 5) < 0.3) << sum << " " << squares;
  noisy.blurSigma = 0.8;
  const Frame a = f(gradient, noisy), b = f(gradient, noisy);
  noisy.seed = 8;
  EXPECT_TRUE(a.bgra == b.bgra && a.bgra != f(gradient, noisy).bgra);
}

// Black ink, a grey background and white paper under uniform lighting; the light gradient from 1
// to 0.2 across the frame and a hard shadow edge through the central half, both drawn from the seed.
TEST(SimLighting, InkBackgroundPaperGradientAndShadow) {
  const SimRenderer renderer(kPinhole, 60, 45, 1);
  const auto frame = [&](const SimLighting& lighting, uint8_t level) {
    SimEffects effects;
    SimBackground background;
    effects.lighting = lighting, background.grey = level;
    return render(renderer, {}, nullptr, effects, background).bgra;
  };
  // The darkest and the lightest level of a flat frame, and how many pixels have either.
  const auto range = [&](const SimLighting& lighting, uint8_t level) {
    const std::vector<uint8_t> f = frame(lighting, level);
    int low = 255, high = 0, extremes = 0;
    for (size_t i = 0; i < f.size(); i += 4) low = std::min<int>(low, f[i]), high = std::max<int>(high, f[i]);
    for (size_t i = 0; i < f.size(); i += 4) extremes += f[i] == low || f[i] == high;
    return std::vector<int>{low, high, extremes};
  };
  const struct { SimLighting lighting; int ink, grey, paper; } uniform[] = {  // gain, black, gradient, shadow, exposure
      {{}, 0, 128, 255}, {{0.35}, 0, 45, 89}, {{1, 110}, 110, 183, 255}, {{1, 40, 0, 1, 3}, 120, 255, 255},
      {{2}, 0, 255, 255}};
  for (const auto& u : uniform)
    for (auto [level, want] : {std::pair{0, u.ink}, {128, u.grey}, {255, u.paper}})
      EXPECT_EQ(range(u.lighting, level), (std::vector<int>{want, want, 60 * 45})) << (&u - uniform) << ", " << level;
  EXPECT_EQ(range({1, 0, 0.8}, 255)[0], 51);
  EXPECT_NE(frame({1, 0, 0.8}, 255), frame({1, 0, 0.8, 1, 1, 2}, 255));
  for (uint32_t seed : {1u, 2u, 3u}) {
    const auto shadowed = range({1, 0, 0, 0.5, 1, seed}, 200);
    EXPECT_TRUE(shadowed[0] == 100 && shadowed[1] == 200 && shadowed[2] > 60 * 45 - 2 * (60 + 45)) << seed;
  }
}

// Bad sizes or cameras give an invalid renderer that draws nothing; odd arguments still render:
// a huge blur, supersampling above 8, an unusable interior (drawn white), markers of negative width
// or with a non-finite pose (not drawn), a negative marker count.
TEST(SyntheticFrame, BadArgumentsDrawNothingAndOddOnesStillRender) {
  std::vector<SimMarker> m = {marker(500, 0, 0, 0, 0, 0), marker(500, 0, 0, 0, 0, 0, -3), marker(500, 0, 0, 0, 0, 0)};
  m[2].pose[0][3] = std::numeric_limits<double>::infinity();
  for (auto [width, height] : {std::pair{0, 10}, {10, -1}, {4097, 10}}) {
    const SimRenderer bad(kPinhole, width, height);
    std::vector<uint8_t> untouched(16, 7);
    SimMarkerTruth t;
    bad.render({}, m.data(), 1, {}, untouched.data(), &t);
    EXPECT_TRUE(!bad.valid() && bad.error().find("outside 1..4096") != std::string::npos) << width << " x " << height;
    EXPECT_TRUE(untouched == std::vector<uint8_t>(16, 7) && t.expectedDir == -1);
  }
  CameraParam noScale = kPinhole, nanFocal = kPinhole;
  noScale.distortion[3] = 0, nanFocal.projection[0][0] = std::nan("");
  EXPECT_FALSE(SimRenderer(noScale, 64, 64).valid() || SimRenderer(nanFocal, 64, 64).valid() ||
               SimRenderer(kPinhole, 64, 64, 9).valid());
  const SimRenderer renderer(kPinhole, 64, 48);
  const SimImage empty;
  m[0].interior = &empty;
  SimEffects odd;
  odd.blurSigma = 1e9, odd.supersample = 99, odd.brightnessGradient = std::nan("");
  SimMarkerTruth t[3];
  const Frame f = render(renderer, m, t, odd);
  EXPECT_TRUE(f.at(0, 0) == 128 && f.at(0, 0, 3) == 255 && std::isnan(t[2].ideal[0][0]));
  EXPECT_TRUE(t[0].expectedDir == 2 && t[1].expectedDir == -1 && t[2].expectedDir == -1);
  renderer.render({}, m.data(), -5, odd, nullptr, nullptr);
}

}  // namespace
