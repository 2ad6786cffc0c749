#include "detect/marker_pipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "../test_files.h"
#include "detect/edge_lines.h"
#include "detect/marker_history_internal.h"
#include "detect/pattern_internal.h"
#include "detect_test_support.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

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

  int loadPicture(const std::vector<uint8_t>& picture) {
    const std::string path = dir_.file("p" + std::to_string(files_++) + ".patt");
    writeText(path, patternFileText(picture));
    return arReadPatternFile(path.c_str());
  }

  TempDir dir_;
  int files_ = 0;
};

// Model corner index of the topmost image corner (leftmost on a tie).
int topmostCorner(const std::array<Point2, 4>& corners) {
  int top = 0;
  for (int k = 1; k < 4; k++)
    if (corners[k][1] < corners[top][1] || (corners[k][1] == corners[top][1] && corners[k][0] < corners[top][0]))
      top = k;
  return top;
}

TEST_F(MarkerPipelineTest, EmptyFrameAndEmptyHistoryGiveNoMarkers) {
  TestFrame frame(320, 240, 128);
  DetectedMarker* markers = nullptr;
  int count = -1;
  EXPECT_EQ(arFindMarkers(frame.data(), 100, &markers, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_NE(markers, nullptr);
}

TEST_F(MarkerPipelineTest, MarkerTurnedByQuarterTurnsGivesEachDirectionWithTheTopLeftAtVertexFourMinusDir) {
  const std::vector<uint8_t> picture = asymmetricPicture();
  ASSERT_EQ(loadPicture(asymmetricPicture(2)), 0);
  ASSERT_EQ(loadPicture(picture), 1);
  std::vector<int> dirs;
  for (double angle : {8.0, 98.0, 188.0, 278.0}) {
    SCOPED_TRACE(angle);
    arResetMarkerHistory();
    TestFrame frame(320, 240, 128);
    const std::array<Point2, 4> outer = squareCorners(160, 120, 120, angle);
    frame.drawMarker(outer, picture);
    DetectedMarker* markers = nullptr;
    int count = 0;
    ASSERT_EQ(arFindMarkers(frame.data(), 100, &markers, &count), 0);
    ASSERT_EQ(count, 1);
    const DetectedMarker& m = markers[0];
    EXPECT_EQ(m.id, 1);
    EXPECT_GT(m.cf, 0.9);
    EXPECT_EQ(m.dir, (topmostCorner(outer) + 2) % 4);
    dirs.push_back(m.dir);
    // Pose estimation pairs model corner k with vertex (4 + k - dir) % 4.
    for (int k = 0; k < 4; k++) {
      const double* v = m.vertex[(4 + k - m.dir) % 4];
      EXPECT_NEAR(v[0], outer[k][0], 0.8) << k;
      EXPECT_NEAR(v[1], outer[k][1], 0.8) << k;
    }
    EXPECT_NEAR(m.pos[0], 160, 1.0);
    EXPECT_NEAR(m.pos[1], 120, 1.0);
  }
  // Turning the marker a quarter turn clockwise on screen moves dir by one each time.
  for (int i = 1; i < 4; i++) EXPECT_EQ(dirs[i], (dirs[i - 1] + 3) % 4);
}

TEST_F(MarkerPipelineTest, VerticesComeFromFittedLinesNotFromContourPixels) {
  ASSERT_EQ(loadPicture(asymmetricPicture()), 0);
  TestFrame frame(320, 240, 128);
  const std::array<Point2, 4> outer = squareCorners(150.3, 118.7, 100, 21);
  frame.drawMarker(outer, asymmetricPicture());
  DetectedMarker* markers = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(frame.data(), 100, &markers, &count), 0);
  ASSERT_EQ(count, 1);
  bool anyFractional = false;
  for (int i = 0; i < 4; i++) {
    anyFractional = anyFractional || std::fabs(markers[0].vertex[i][0] - std::round(markers[0].vertex[i][0])) > 1e-6;
    double best = 1e9;
    for (const Point2& p : outer) best = std::min(best, std::hypot(markers[0].vertex[i][0] - p[0], markers[0].vertex[i][1] - p[1]));
    EXPECT_LT(best, 0.5) << i;
    // Each vertex lies on the two lines that meet there.
    for (int l : {(i + 3) % 4, i}) {
      const double* line = markers[0].line[l];
      EXPECT_NEAR(line[0] * markers[0].vertex[i][0] + line[1] * markers[0].vertex[i][1] + line[2], 0.0, 1e-9);
      EXPECT_NEAR(line[0] * line[0] + line[1] * line[1], 1.0, 1e-12);
    }
  }
  EXPECT_TRUE(anyFractional);
}

TEST_F(MarkerPipelineTest, UnknownAndUniformMarkersAreReportedUnidentified) {
  ASSERT_EQ(loadPicture(asymmetricPicture()), 0);
  TestFrame frame(320, 240, 128);
  frame.drawMarker(squareCorners(80, 120, 90, 3), std::vector<uint8_t>(256, 240));  // plain white interior
  std::vector<uint8_t> stripes(256);
  for (int i = 0; i < 256; i++) stripes[i] = ((i % 16) / 2) % 2 ? 20 : 235;
  frame.drawMarker(squareCorners(230, 120, 90, 3), stripes);
  DetectedMarker* markers = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(frame.data(), 100, &markers, &count), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(markers[0].id, -1);
  EXPECT_LT(markers[0].cf, 0.5);
  EXPECT_EQ(markers[1].id, -1);
  EXPECT_LT(markers[1].cf, 0.5);
}

TEST_F(MarkerPipelineTest, MarkerMissedForTwoFramesIsBridgedThenForgotten) {
  ASSERT_EQ(loadPicture(asymmetricPicture()), 0);
  TestFrame withMarker(320, 240, 128);
  withMarker.drawMarker(squareCorners(160, 120, 100, 12), asymmetricPicture());
  const TestFrame empty(320, 240, 128);
  DetectedMarker* markers = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(withMarker.data(), 100, &markers, &count), 0);
  ASSERT_EQ(count, 1);
  const DetectedMarker seen = markers[0];
  for (int i = 0; i < 2; i++) {
    ASSERT_EQ(arFindMarkers(empty.data(), 100, &markers, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(markers[0].vertex[2][0], seen.vertex[2][0]);
    EXPECT_EQ(markers[0].id, 0);
  }
  ASSERT_EQ(arFindMarkers(empty.data(), 100, &markers, &count), 0);
  EXPECT_EQ(count, 0);
}

TEST_F(MarkerPipelineTest, TooManyDarkSpotsFailsTheFrameAndLeavesTheHistoryAlone) {
  ASSERT_EQ(loadPicture(asymmetricPicture()), 0);
  // Uniform random bytes: about 7 % of the pixels start a new label, some 75000 of them.
  useTestCamera(1024, 1024);
  TestFrame withMarker(1024, 1024, 128);
  withMarker.drawMarker(squareCorners(320, 240, 100, 12), asymmetricPicture());
  DetectedMarker* markers = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(withMarker.data(), 100, &markers, &count), 0);
  ASSERT_EQ(count, 1);
  const MarkerHistory before = *arMarkerHistoryView();

  std::mt19937 rng(99);
  TestFrame noise(1024, 1024);
  for (int y = 0; y < 1024; y++)
    for (int x = 0; x < 1024; x++) noise.set(x, y, rng() & 255, rng() & 255, rng() & 255);
  count = 5;
  EXPECT_EQ(arFindMarkers(noise.data(), 100, &markers, &count), -1);
  EXPECT_EQ(count, 0);
  const MarkerHistory* after = arMarkerHistoryView();
  ASSERT_EQ(after->count, before.count);
  EXPECT_EQ(after->entries[0].age, before.entries[0].age);
  // The next clean frame still recalls the marker from before.
  const TestFrame empty(1024, 1024, 128);
  ASSERT_EQ(arFindMarkers(empty.data(), 100, &markers, &count), 0);
  EXPECT_EQ(count, 1);
}

TEST_F(MarkerPipelineTest, OversizedOrMissingFrameIsRefusedAndTheHistoryKept) {
  ASSERT_EQ(loadPicture(asymmetricPicture()), 0);
  TestFrame withMarker(320, 240, 128);
  withMarker.drawMarker(squareCorners(160, 120, 100, 12), asymmetricPicture());
  DetectedMarker* markers = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(withMarker.data(), 100, &markers, &count), 0);
  useTestCamera(1280, 1024);
  std::vector<uint8_t> firstRow(1280 * 4, 0);
  CaptureStderr();
  EXPECT_EQ(arFindMarkers(firstRow.data(), 100, &markers, &count), -1);
  const std::string message = GetCapturedStderr();
  EXPECT_NE(message.find("1280 x 1024"), std::string::npos) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
  EXPECT_EQ(count, 0);
  useTestCamera(320, 240);
  EXPECT_EQ(arFindMarkers(nullptr, 100, &markers, &count), -1);  // no frame ready
  EXPECT_EQ(arMarkerHistoryView()->count, 1);
  EXPECT_EQ(arMarkerHistoryView()->entries[0].age, 1);
}

TEST_F(MarkerPipelineTest, AllDarkAllBrightAndLargestFramesRunCleanly) {
  for (int size : {320, 1024}) {
    useTestCamera(size, size == 320 ? 240 : 1024);
    const int h = size == 320 ? 240 : 1024;
    for (uint8_t grey : {0, 255}) {
      TestFrame frame(size, h, grey);
      DetectedMarker* markers = nullptr;
      int count = -1;
      EXPECT_EQ(arFindMarkers(frame.data(), 100, &markers, &count), 0);
      EXPECT_EQ(count, 0);
    }
  }
  useTestCamera(1024, 1024);
  ASSERT_EQ(loadPicture(asymmetricPicture()), 0);
  TestFrame frame(1024, 1024, 128);
  frame.drawMarker(squareCorners(700, 600, 300, 30), asymmetricPicture());
  std::vector<uint8_t> stripes(256);
  for (int i = 0; i < 256; i++) stripes[i] = ((i % 16) / 2) % 2 ? 20 : 235;
  frame.drawMarker(squareCorners(200, 200, 150, 60), stripes);
  DetectedMarker* markers = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(frame.data(), 100, &markers, &count), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(markers[0].id, -1);  // stripes are not loaded: below the floor
  EXPECT_EQ(markers[1].id, 0);
}

TEST(FitEdgeLines, SquareContourGivesItsSidesAndCorners) {
  // A 41 x 41 axis-aligned square contour from (10, 10) clockwise, with the corner points bent
  // inwards: the trimmed ends keep them out of the fit.
  std::vector<int32_t> x, y;
  auto side = [&](int x0, int y0, int dx, int dy) {
    for (int i = 0; i < 40; i++) {
      x.push_back(x0 + dx * i);
      y.push_back(y0 + dy * i);
    }
  };
  side(50, 50, -1, 0);
  side(10, 50, 0, -1);
  side(10, 10, 1, 0);
  side(50, 10, 0, 1);
  x.push_back(50);
  y.push_back(50);
  x[1] += 0, y[1] -= 2;  // a bent point next to corner 0
  const int32_t corner[5] = {0, 40, 80, 120, 160};
  const double noDistortion[4] = {0, 0, 0, 1};
  double line[4][3], vertex[4][2];
  ASSERT_EQ(arFitEdgeLines(x.data(), y.data(), corner, noDistortion, line, vertex), 0);
  const double want[4][2] = {{50, 50}, {10, 50}, {10, 10}, {50, 10}};
  for (int i = 0; i < 4; i++) {
    EXPECT_NEAR(vertex[i][0], want[i][0], 1e-9) << i;
    EXPECT_NEAR(vertex[i][1], want[i][1], 1e-9) << i;
  }
  EXPECT_NEAR(std::fabs(line[0][1]), 1.0, 1e-12);  // side 0 is horizontal: y = 50
  EXPECT_NEAR(line[0][2] / line[0][1], -50.0, 1e-9);

  const int32_t tooShort[5] = {0, 1, 80, 120, 160};  // side 0 keeps no point after trimming
  EXPECT_EQ(arFitEdgeLines(x.data(), y.data(), tooShort, noDistortion, line, vertex), -1);
  // Two parallel neighbours: corners 0..1 along y = 50 and 1..2 folded back along it.
  const int32_t xs[] = {0, 10, 20, 30, 40, 30, 20, 10, 0, 0, 0, 0, 0};
  const int32_t ys[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 10, 5, 0};
  const int32_t folded[5] = {0, 4, 8, 10, 12};
  EXPECT_EQ(arFitEdgeLines(xs, ys, folded, noDistortion, line, vertex), -1);
}

}  // namespace
