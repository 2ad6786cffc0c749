// Refined detection: edge location along one profile, corners refined on rendered markers against
// their truth, sides that must keep their lines, and interiors sampled at the nearest pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "detect/corner_refinement.h"
#include "detect/pattern_sampling.h"
#include "detect_test_support.h"
#include "camera/camera_param.h"
#include "detect/detection.h"

namespace {

TEST(LocateEdge, FindsStraightEdgesThroughPixelsAndBlur) {
  const struct { double edge, sigma, step, dark, light, tolerance; } cases[] = {
      {3.0, 0, 1, 0, 128, 1e-6},   {2.3, 0, 1, 20, 200, 1e-6},  {3.8, 0, 1, 0, 128, 1e-6},
      {1.4, 0, 0.5, 0, 90, 1e-6},  {3.0, 1.0, 1, 0, 128, 0.01}, {2.6, 0.7, 1, 30, 160, 0.03},
  };
  for (const auto& c : cases) {
    float samples[7];
    for (int k = 0; k < 7; k++) {  // the light share of each pixel, seen through a Gaussian blur
      double light = std::clamp(k * c.step + 0.5 - c.edge, 0.0, 1.0);
      if (c.sigma > 0) {
        light = 0;
        for (int s = 0; s < 200; s++) light += 0.5 * std::erfc(-(k * c.step - 0.5 + (s + 0.5) / 200 - c.edge) / (c.sigma * M_SQRT2)) / 200;
      }
      samples[k] = static_cast<float>(c.dark + (c.light - c.dark) * light);
    }
    EXPECT_NEAR(arLocateEdge(samples, 7, c.step, 12), c.edge, c.tolerance) << "edge " << c.edge << " sigma " << c.sigma;
  }
  const float faint[7] = {100, 100, 100, 105, 110, 110, 110}, lightToDark[7] = {200, 200, 200, 100, 0, 0, 0};
  EXPECT_EQ(arLocateEdge(faint, 7, 1, 12), -1.0);
  EXPECT_EQ(arLocateEdge(lightToDark, 7, 1, 12), -1.0);
  EXPECT_EQ(arLocateEdge(lightToDark, 4, 1, 12), -1.0);
}

TEST(CornerRefinement, SidesWithoutAUsableEdgeKeepTheirLines) {
  useTestCamera(320, 240);
  arResetMarkerHistory();
  TestFrame frame(320, 240);
  frame.drawMarker(2, 100, 3, asymmetricPicture());  // the left side 2 pixels from the frame edge
  DetectedMarker* found = nullptr;
  int count = 0, left = 0;
  ASSERT_EQ(arFindMarkers(frame.data(), 100, &found, &count), 0);
  ASSERT_EQ(count, 1);
  DetectedMarker m = found[0];
  for (int i = 0; i < 4; i++) left = m.vertex[i][0] + m.vertex[(i + 1) % 4][0] < m.vertex[left][0] + m.vertex[(left + 1) % 4][0] ? i : left;
  ArCornerRefinement report;
  EXPECT_EQ(arRefineCorners(frame.data(), 320, 240, arCurrentCamera.distortion, m.line, m.vertex, &report), 3);
  EXPECT_TRUE(!report.sideRefined[left] && report.edgePoints[left] == 0);
  EXPECT_EQ(std::memcmp(m.line[left], found[0].line[left], sizeof m.line[left]), 0);
  EXPECT_GT(std::min(report.cornerShift[left], report.cornerShift[(left + 1) % 4]), 0.0);  // met by refined sides

  const std::vector<uint8_t> grey(320 * 240 * 4, 128);  // no edges: nothing is refined, nothing moves
  m = found[0];
  EXPECT_EQ(arRefineCorners(grey.data(), 320, 240, arCurrentCamera.distortion, m.line, m.vertex, &report), 0);
  EXPECT_EQ(std::memcmp(&m, &found[0], sizeof m), 0);
  EXPECT_EQ(report.maxCornerShift, 0.0);
  arResetMarkerHistory();
}

// A marker whose outer corners lie on pixel boundaries, two pixels to a cell: sampled at the
// nearest pixel, every cell reads its own value, in each of the four corner orders.
TEST(SampleInterior, NearestPixelsReadEveryCellExactly) {
  useTestCamera(160, 120);
  const std::vector<uint8_t> picture = asymmetricPicture();
  TestFrame frame(160, 120);
  frame.drawMarker(40, 20, 2, picture);
  const double corners[4][2] = {{39.5, 19.5}, {103.5, 19.5}, {103.5, 83.5}, {39.5, 83.5}};
  uint8_t grid[kArPatternBlockValues];
  ASSERT_EQ(arSampleInterior(frame.data(), corners, grid), 0);
  for (int i = 0; i < kArPatternBlockValues; i++) ASSERT_EQ(grid[i], picture[i / 3]) << "cell " << i / 3;
  arResetPatternStore();
  ASSERT_EQ(loadPatternText(patternFileText(picture)), 0);
  int32_t id, dir;
  double cf;
  for (int turn = 0; turn < 4; turn++) {
    double turned[4][2];
    for (int k = 0; k < 4; k++) std::memcpy(turned[k], corners[(k + turn) % 4], sizeof turned[k]);
    ASSERT_EQ(arIdentifyInterior(frame.data(), turned, &id, &dir, &cf), 0);
    EXPECT_TRUE(id == 0 && dir == turn && std::fabs(cf - 1.0) < 1e-9) << turn;
  }
  const double degenerate[4][2] = {{40, 20}, {40, 20}, {40, 20}, {40, 20}};
  EXPECT_EQ(arIdentifyInterior(frame.data(), degenerate, &id, &dir, &cf), -1);
  EXPECT_EQ(id, -1);
  arResetPatternStore();
}

}  // namespace
