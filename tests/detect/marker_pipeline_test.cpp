// The per-frame pipeline: frames it refuses, the edge-line fit, corner refinement and the
// sampling of an interior between corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
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
  // Frame, width of the current camera (4097 x 4096 beyond 400: the frame is not read), settings.
  std::vector<std::tuple<const uint8_t*, int, ArDetectorSettings, P>> cases = {
      {dots.data(), 400, fixed, P::TooManyRegions},     {nullptr, 400, automatic, P::NoFrame},
      {black.data(), 4097, fixed, P::FrameTooLarge},    {black.data(), 4097, automatic, P::FrameTooLarge},
      {black.data(), 4097, adaptive, P::FrameTooLarge}};
  for (const ArDetectorSettings& settings : bad) cases.emplace_back(black.data(), 400, settings, P::InvalidSettings);
  for (const auto& [frame, width, settings, problem] : cases) {
    useTestCamera(width, width > 400 ? 4096 : 400);
    ArDetectionStats stats;
    count = -1;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(arDetectMarkers(frame, settings, &markers, &count, &stats), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr() + testing::internal::GetCapturedStdout(), "");  // the caller says it, once
    EXPECT_TRUE(count == 0 && stats.problem == problem) << arDetectionProblemText(problem);
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
  for (int i = 0; i < 4; i++) EXPECT_LT(std::hypot(vertex[i][0] - start[i][0], vertex[i][1] - start[i][1]), 1e-9) << i;
  EXPECT_NEAR(std::fabs(line[0][1]), 1.0, 1e-12);  // side 0: y = 50
  EXPECT_NEAR(line[0][2] / line[0][1], -50.0, 1e-9);

  const int32_t tooShort[5] = {0, 1, 80, 120, 160};  // side 0 keeps no point after trimming
  EXPECT_EQ(arFitEdgeLines(x.data(), y.data(), tooShort, noDistortion, line, vertex), -1);
  const int32_t xs[] = {0, 10, 20, 30, 40, 30, 20, 10, 0, 0, 0, 0, 0}, ys[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 10, 5, 0};
  const int32_t folded[5] = {0, 4, 8, 10, 12};  // two parallel neighbouring sides
  EXPECT_EQ(arFitEdgeLines(xs, ys, folded, noDistortion, line, vertex), -1);
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
// nearest pixel, every cell reads its own value. Corners that collapse leave it unidentified.
TEST(SampleInterior, NearestPixelsReadEveryCellExactly) {
  useTestCamera(160, 120);
  const std::vector<uint8_t> picture = asymmetricPicture();
  TestFrame frame(160, 120);
  frame.drawMarker(40, 20, 2, picture);
  const double corners[4][2] = {{39.5, 19.5}, {103.5, 19.5}, {103.5, 83.5}, {39.5, 83.5}}, collapsed[4][2] = {};
  uint8_t grid[kArPatternBlockValues];
  ASSERT_EQ(arSampleInterior(frame.data(), corners, grid), 0);
  for (int i = 0; i < kArPatternBlockValues; i++) ASSERT_EQ(grid[i], picture[i / 3]) << "cell " << i / 3;
  int32_t id = 0, dir = 0;
  double cf = 0;
  EXPECT_EQ(arIdentifyInterior(frame.data(), collapsed, &id, &dir, &cf), -1);
  EXPECT_TRUE(id == -1 && dir == -1 && cf == -1.0);
}

}  // namespace
