// Refined detection: edge location along one profile, corners refined on rendered frames against
// their truth, sides that must keep their lines, and interiors sampled at the nearest pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "detect/corner_refinement.h"
#include "detect/detection.h"
#include "detect/pattern_sampling.h"
#include "detect_test_support.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/support/marker_scenes.h"

namespace {

// Fraction of a pixel centred at x that lies beyond a straight edge at e, seen through a
// Gaussian blur of sigma pixels.
double lightShare(double x, double e, double sigma) {
  if (sigma == 0) return std::clamp(x + 0.5 - e, 0.0, 1.0);
  double sum = 0;
  for (int k = 0; k < 200; k++) sum += 0.5 * std::erfc(-(x - 0.5 + (k + 0.5) / 200 - e) / (sigma * std::sqrt(2.0)));
  return sum / 200;
}

TEST(LocateEdge, FindsStraightEdgesThroughPixelsAndBlur) {
  const struct { double edge, sigma, step, dark, light, tolerance; } cases[] = {
      {3.0, 0, 1, 0, 128, 1e-6},   {2.3, 0, 1, 20, 200, 1e-6},  {3.8, 0, 1, 0, 128, 1e-6},
      {1.4, 0, 0.5, 0, 90, 1e-6},  {3.0, 1.0, 1, 0, 128, 0.01}, {2.6, 0.7, 1, 30, 160, 0.03},
  };
  for (const auto& c : cases) {
    float samples[7];
    for (int k = 0; k < 7; k++)
      samples[k] = static_cast<float>(c.dark + (c.light - c.dark) * lightShare(k * c.step, c.edge, c.sigma));
    EXPECT_NEAR(arLocateEdge(samples, 7, c.step, 12), c.edge, c.tolerance) << "edge " << c.edge << " sigma " << c.sigma;
  }
  const float faint[7] = {100, 100, 100, 105, 110, 110, 110};
  const float lightToDark[7] = {200, 200, 200, 100, 0, 0, 0};
  EXPECT_EQ(arLocateEdge(faint, 7, 1, 12), -1.0);
  EXPECT_EQ(arLocateEdge(lightToDark, 7, 1, 12), -1.0);
  EXPECT_EQ(arLocateEdge(lightToDark, 4, 1, 12), -1.0);
}

// One rendered marker of the shipped camera (with or without its lens) and its truth.
struct RenderedMarker {
  CameraParam camera;
  std::vector<uint8_t> frame;
  SimMarkerTruth truth;
};

struct MarkerCase {
  std::string name;
  bool lens;
  double side, tilt, spin, u, v;  // pixels seen frontally, degrees, centre pixel
  double noise, blur;       // grey levels, pixels
  double tolerance;         // pixels: refined corners from the true ones
};

void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.name; }

RenderedMarker renderMarker(const MarkerCase& c) {
  RenderedMarker r{shippedCamera(c.lens), std::vector<uint8_t>(640 * 480 * 4), {}};
  arCameraParamSetCurrent(&r.camera);
  SimMarker m;
  const double f = r.camera.projection[0][0], distance = f * 80 / c.side;
  simPoseLookAt(distance, c.tilt, 35, c.spin, (c.u - r.camera.projection[0][2]) * distance / f,
                (c.v - r.camera.projection[1][2]) * distance / f, m.pose);
  SimEffects effects;
  effects.noiseSigma = c.noise;
  effects.blurSigma = c.blur;
  SimRenderer(r.camera, 640, 480).render(SimBackground(), &m, 1, effects, r.frame.data(), &r.truth);
  return r;
}

// Largest distance from a corner to the true corner nearest to it.
double worstCornerError(const double vertex[4][2], const SimMarkerTruth& truth) {
  double worst = 0;
  for (int i = 0; i < 4; i++) {
    double nearest = 1e9;
    for (int k = 0; k < 4; k++)
      nearest = std::min(nearest, std::hypot(vertex[i][0] - truth.ideal[k][0], vertex[i][1] - truth.ideal[k][1]));
    worst = std::max(worst, nearest);
  }
  return worst;
}

// Edge lines through the true corners, in the detector's corner order (clockwise on screen).
void trueLines(const SimMarkerTruth& truth, double line[4][3], double vertex[4][2]) {
  for (int k = 0; k < 4; k++) {
    vertex[k][0] = truth.ideal[3 - k][0];  // model corners run counter-clockwise on screen
    vertex[k][1] = truth.ideal[3 - k][1];
  }
  for (int i = 0; i < 4; i++) {
    const double* s = vertex[i];
    const double* e = vertex[(i + 1) % 4];
    const double length = std::hypot(e[0] - s[0], e[1] - s[1]);
    line[i][0] = (e[1] - s[1]) / length;
    line[i][1] = -(e[0] - s[0]) / length;
    line[i][2] = -(line[i][0] * s[0] + line[i][1] * s[1]);
  }
}

const MarkerCase kMarkers[] = {
    {"Clean", false, 120, 30, 20, 300, 220, 0, 0, 0.06},
    {"ThroughTheLensOffCentre", true, 120, 35, 20, 470, 130, 0, 0, 0.06},
    {"SmallAndSteep", true, 40, 55, 20, 200, 330, 0, 0, 0.15},
    {"NoisySigma8", true, 100, 25, 20, 250, 250, 8, 0, 0.25},
    {"BlurredSigma1", true, 100, 25, 20, 380, 260, 0, 1.0, 0.2},
};

class CornerRefinement : public testing::TestWithParam<MarkerCase> {
 protected:
  void SetUp() override {
    arResetPatternStore();
    arResetMarkerHistory();
  }
};

// From the fitted lines, which sit about half a pixel inside, onto the true corners.
TEST_P(CornerRefinement, MovesFittedCornersOntoTheTrueOnes) {
  const RenderedMarker r = renderMarker(GetParam());
  DetectedMarker* found = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(r.frame.data(), 100, &found, &count), 0);
  ASSERT_EQ(count, 1);
  DetectedMarker refined = found[0];
  ArCornerRefinement report;
  EXPECT_EQ(arRefineCorners(r.frame.data(), 640, 480, r.camera.distortion, refined.line, refined.vertex, &report), 4);
  const double before = worstCornerError(found[0].vertex, r.truth);
  const double after = worstCornerError(refined.vertex, r.truth);
  EXPECT_LE(after, GetParam().tolerance) << "fitted corners were off by " << before;
  for (int i = 0; i < 4; i++) {
    EXPECT_GE(report.edgePoints[i], 5);
    EXPECT_NEAR(report.cornerShift[i], std::hypot(refined.vertex[i][0] - found[0].vertex[i][0],
                                                  refined.vertex[i][1] - found[0].vertex[i][1]), 1e-12);
  }
  EXPECT_GT(report.maxCornerShift, 0.1);
}

// Corners that are right already stay where they are (within what noise moves them).
TEST_P(CornerRefinement, LeavesTrueCornersInPlace) {
  const RenderedMarker r = renderMarker(GetParam());
  double line[4][3], vertex[4][2];
  trueLines(r.truth, line, vertex);
  ArCornerRefinement report;
  EXPECT_EQ(arRefineCorners(r.frame.data(), 640, 480, r.camera.distortion, line, vertex, &report), 4);
  EXPECT_LT(report.maxCornerShift, GetParam().tolerance / 2);
}

INSTANTIATE_TEST_SUITE_P(Markers, CornerRefinement, testing::ValuesIn(kMarkers),
                         [](const testing::TestParamInfo<MarkerCase>& info) { return info.param.name; });

TEST(CornerRefinementFallback, SidesWithoutAUsableEdgeKeepTheirLines) {
  // The left side 2 pixels from the frame edge: its profiles would leave the frame.
  const RenderedMarker r = renderMarker({"", false, 100, 0, 0, 52, 240, 0, 0, 0});
  double line[4][3], vertex[4][2];
  trueLines(r.truth, line, vertex);
  int left = 0;
  for (int i = 0; i < 4; i++)
    if (std::abs(vertex[i][0] + vertex[(i + 1) % 4][0]) / 2 < std::abs(vertex[left][0] + vertex[(left + 1) % 4][0]) / 2)
      left = i;
  ASSERT_LT(std::min(vertex[left][0], vertex[(left + 1) % 4][0]), 3.0);
  double refined[4][3], corners[4][2];
  std::memcpy(refined, line, sizeof line);
  std::memcpy(corners, vertex, sizeof vertex);
  ArCornerRefinement report;
  EXPECT_EQ(arRefineCorners(r.frame.data(), 640, 480, r.camera.distortion, refined, corners, &report), 3);
  EXPECT_FALSE(report.sideRefined[left]);
  EXPECT_EQ(report.edgePoints[left], 0);
  EXPECT_EQ(std::memcmp(refined[left], line[left], sizeof line[left]), 0);

  // A frame without edges: nothing is refined, nothing moves.
  const std::vector<uint8_t> grey(640 * 480 * 4, 128);
  std::memcpy(refined, line, sizeof line);
  std::memcpy(corners, vertex, sizeof vertex);
  EXPECT_EQ(arRefineCorners(grey.data(), 640, 480, r.camera.distortion, refined, corners, &report), 0);
  EXPECT_EQ(std::memcmp(refined, line, sizeof line), 0);
  EXPECT_EQ(std::memcmp(corners, vertex, sizeof vertex), 0);
  EXPECT_EQ(report.maxCornerShift, 0.0);
}

// A marker whose outer corners lie on pixel boundaries, two pixels to a cell: sampled at the
// nearest pixel, every cell reads its own value, in each of the four corner orders.
TEST(SampleInterior, NearestPixelsReadEveryCellExactly) {
  useTestCamera(160, 120);
  const std::vector<uint8_t> picture = asymmetricPicture();
  TestFrame frame(160, 120);
  frame.drawMarker({Point2{39.5, 19.5}, Point2{103.5, 19.5}, Point2{103.5, 83.5}, Point2{39.5, 83.5}}, picture);
  const double corners[4][2] = {{39.5, 19.5}, {103.5, 19.5}, {103.5, 83.5}, {39.5, 83.5}};
  uint8_t grid[kArPatternBlockValues];
  ASSERT_EQ(arSampleInterior(frame.data(), corners, grid), 0);
  for (int i = 0; i < 256; i++)
    for (int c = 0; c < 3; c++) ASSERT_EQ(grid[i * 3 + c], picture[i]) << "cell " << i;

  arResetPatternStore();
  ASSERT_EQ(loadPatternText(patternFileText(picture)), 0);
  for (int turn = 0; turn < 4; turn++) {
    double turned[4][2];
    for (int k = 0; k < 4; k++) std::memcpy(turned[k], corners[(k + turn) % 4], sizeof turned[k]);
    int32_t id, dir;
    double cf;
    ASSERT_EQ(arIdentifyInterior(frame.data(), turned, &id, &dir, &cf), 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(dir, turn);
    EXPECT_NEAR(cf, 1.0, 1e-9);
  }
  const double degenerate[4][2] = {{40, 20}, {40, 20}, {40, 20}, {40, 20}};
  int32_t id, dir;
  double cf;
  EXPECT_EQ(arIdentifyInterior(frame.data(), degenerate, &id, &dir, &cf), -1);
  EXPECT_EQ(id, -1);
  arResetPatternStore();
}

}  // namespace
