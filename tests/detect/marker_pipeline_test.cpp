// The per-frame pipeline: frames it refuses, the edge-line fit, corner refinement and the
// sampling of an interior between corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "camera/camera_param.h"
#include "detect/corner_refinement.h"
#include "detect/edge_lines.h"
#include "detect/marker_pipeline.h"
#include "detect/pattern_sampling.h"
#include "detect_test_support.h"

namespace {

TEST(MarkerPipeline, FramesThatFailSayWhyAndLeaveTheHistoryAlone) {
  arResetPatternStore();
  arResetMarkerHistory();
  ASSERT_EQ(loadPatternText(patternFileText(asymmetricPicture())), 0);
  useTestCamera(400, 400);
  TestFrame withMarker(400, 400, 128), dots(400, 400, 255), black(400, 400, 0);
  withMarker.drawMarker(100, 100, 3, asymmetricPicture());
  for (int i = 0; i < 199 * 199; i++) dots.setGrey(1 + 2 * (i % 199), 1 + 2 * (i / 199), 0);  // 39601 dark spots
  DetectedMarker* markers = nullptr;
  int count = -1;
  ASSERT_EQ(arFindMarkers(withMarker.data(), 100, &markers, &count), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(markers[0].id, 0);

  ArDetectorSettings fixed, automatic, adaptive, bad[6];
  automatic.thresholdMode = ArThresholdMode::Auto, adaptive.thresholdMode = ArThresholdMode::Adaptive;
  bad[0].threshold = 256, bad[1].maxCandidates = 0, bad[2].maxCandidates = kArMaxCandidatesLimit + 1;
  bad[3].adaptiveRadius = 0, bad[4].adaptiveLevel = 100, bad[5].thresholdMode = static_cast<ArThresholdMode>(7);
  using P = ArDetectionProblem;
  const struct {
    const uint8_t* frame;
    int width;  // of the current camera, 4097 x 4096 beyond 400
    ArDetectorSettings settings;
    P problem;
  } cases[] = {{dots.data(), 400, fixed, P::TooManyRegions},       {nullptr, 400, automatic, P::NoFrame},
               {black.data(), 4097, fixed, P::FrameTooLarge},      {black.data(), 4097, automatic, P::FrameTooLarge},
               {black.data(), 4097, adaptive, P::FrameTooLarge},   {black.data(), 400, bad[0], P::InvalidSettings},
               {black.data(), 400, bad[1], P::InvalidSettings},    {black.data(), 400, bad[2], P::InvalidSettings},
               {black.data(), 400, bad[3], P::InvalidSettings},    {black.data(), 400, bad[4], P::InvalidSettings},
               {black.data(), 400, bad[5], P::InvalidSettings}};
  for (const auto& c : cases) {
    SCOPED_TRACE(arDetectionProblemText(c.problem));
    useTestCamera(c.width, c.width > 400 ? 4096 : 400);
    ArDetectionStats stats;
    count = -1;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(arDetectMarkers(c.frame, c.settings, &markers, &count, &stats), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr() + testing::internal::GetCapturedStdout(), "");  // the caller says it, once
    EXPECT_EQ(count, 0);
    EXPECT_EQ(stats.problem, c.problem);
  }
  EXPECT_NE(std::string(arDetectionProblemText(ArDetectionProblem::FrameTooLarge)).find("16777216"), std::string::npos);
  useTestCamera(400, 400);
  for (int recalled : {1, 1, 0}) {  // bridged for two frames, then forgotten
    ASSERT_EQ(arFindMarkers(black.data(), 100, &markers, &count), 0);
    EXPECT_EQ(count, recalled);
  }
  arResetPatternStore();
}

TEST(FitEdgeLines, SquareContourGivesItsSidesAndCorners) {
  // A 41 x 41 square contour clockwise from (50, 50), one point next to corner 0 bent: the
  // trimmed ends keep it out of the fit.
  std::vector<int32_t> x, y;
  const int start[4][4] = {{50, 50, -1, 0}, {10, 50, 0, -1}, {10, 10, 1, 0}, {50, 10, 0, 1}};
  for (const auto& s : start)
    for (int i = 0; i < 40; i++) x.push_back(s[0] + s[2] * i), y.push_back(s[1] + s[3] * i);
  x.push_back(50), y.push_back(50);
  y[1] -= 2;
  const int32_t corner[5] = {0, 40, 80, 120, 160};
  const double noDistortion[4] = {0, 0, 0, 1};
  double line[4][3], vertex[4][2];
  ASSERT_EQ(arFitEdgeLines(x.data(), y.data(), corner, noDistortion, line, vertex), 0);
  for (int i = 0; i < 4; i++) {
    EXPECT_NEAR(vertex[i][0], start[i][0], 1e-9) << i;
    EXPECT_NEAR(vertex[i][1], start[i][1], 1e-9) << i;
  }
  EXPECT_NEAR(std::fabs(line[0][1]), 1.0, 1e-12);  // side 0: y = 50
  EXPECT_NEAR(line[0][2] / line[0][1], -50.0, 1e-9);

  const int32_t tooShort[5] = {0, 1, 80, 120, 160};  // side 0 keeps no point after trimming
  EXPECT_EQ(arFitEdgeLines(x.data(), y.data(), tooShort, noDistortion, line, vertex), -1);
  const int32_t xs[] = {0, 10, 20, 30, 40, 30, 20, 10, 0, 0, 0, 0, 0}, ys[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 10, 5, 0};
  const int32_t folded[5] = {0, 4, 8, 10, 12};  // two parallel neighbouring sides
  EXPECT_EQ(arFitEdgeLines(xs, ys, folded, noDistortion, line, vertex), -1);
}

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
