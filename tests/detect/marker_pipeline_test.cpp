#include "detect/marker_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "detect/edge_lines.h"
#include "detect/marker_history_internal.h"
#include "detect/pattern_internal.h"
#include "detect_test_support.h"

namespace {

class MarkerPipelineTest : public testing::Test {
 protected:
  void SetUp() override {
    arResetPatternStore();
    arResetMarkerHistory();
    useTestCamera(320, 240);
  }
  void TearDown() override {
    arResetPatternStore();
    arResetMarkerHistory();
  }
  // Runs one frame; returns arFindMarkers' result.
  int find(const uint8_t* frame) {
    count_ = -1;
    return arFindMarkers(frame, 100, &markers_, &count_);
  }
  DetectedMarker* markers_ = nullptr;
  int count_ = 0;
};

TEST_F(MarkerPipelineTest, FailedFramesLeaveTheHistoryAlone) {
  ASSERT_EQ(loadPatternText(patternFileText(asymmetricPicture())), 0);
  useTestCamera(1024, 1024);
  TestFrame withMarker(1024, 1024, 128);
  withMarker.drawMarker(squareCorners(320, 240, 100, 12), asymmetricPicture());
  ASSERT_EQ(find(withMarker.data()), 0);
  ASSERT_EQ(count_, 1);

  // Random bytes: some 75000 provisional labels, more than there is room for.
  std::mt19937 rng(99);
  TestFrame noise(1024, 1024);
  for (int y = 0; y < 1024; y++)
    for (int x = 0; x < 1024; x++) noise.set(x, y, rng() & 255, rng() & 255, rng() & 255);
  EXPECT_EQ(find(noise.data()), -1);
  EXPECT_EQ(count_, 0);

  useTestCamera(8192, 2049);
  std::vector<uint8_t> firstRow(8192 * 4, 0);  // must not be read at all
  testing::internal::CaptureStderr();
  EXPECT_EQ(find(firstRow.data()), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // the caller reports it, once
  EXPECT_EQ(count_, 0);
  useTestCamera(1024, 1024);
  EXPECT_EQ(find(nullptr), -1);  // no frame ready

  ASSERT_EQ(arMarkerHistoryView()->count, 1);
  EXPECT_EQ(arMarkerHistoryView()->entries[0].age, 1);
  const TestFrame empty(1024, 1024, 128);
  for (int recalled : {1, 1, 0}) {  // bridged for two frames, then forgotten
    ASSERT_EQ(find(empty.data()), 0);
    EXPECT_EQ(count_, recalled);
  }
}

TEST_F(MarkerPipelineTest, FlatAndLargestFramesRunCleanlyAndUnknownMarkersStayUnidentified) {
  for (int size : {320, 1024})
    for (uint8_t grey : {0, 128, 255}) {
      useTestCamera(size, size == 320 ? 240 : 1024);
      EXPECT_EQ(find(TestFrame(size, size == 320 ? 240 : 1024, grey).data()), 0);
      EXPECT_EQ(count_, 0) << size << " " << int(grey);
      EXPECT_NE(markers_, nullptr);
    }
  ASSERT_EQ(loadPatternText(patternFileText(asymmetricPicture())), 0);
  TestFrame frame(1024, 1024, 128);
  frame.drawMarker(squareCorners(200, 200, 150, 60), stripesPicture());
  frame.drawMarker(squareCorners(700, 600, 300, 30), asymmetricPicture());
  frame.drawMarker(squareCorners(800, 150, 150, 3), std::vector<uint8_t>(256, 240));  // plain white
  ASSERT_EQ(find(frame.data()), 0);
  ASSERT_EQ(count_, 3);
  std::sort(markers_, markers_ + 3, [](const DetectedMarker& a, const DetectedMarker& b) { return a.pos[1] + a.pos[0] / 2 < b.pos[1] + b.pos[0] / 2; });
  EXPECT_EQ(markers_[0].id, -1);  // stripes (200, 200)
  EXPECT_LT(markers_[0].cf, 0.5);
  EXPECT_EQ(markers_[1].id, -1);  // white (800, 150)
  EXPECT_LT(markers_[1].cf, 0.5);
  EXPECT_EQ(markers_[2].id, 0);
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

}  // namespace
