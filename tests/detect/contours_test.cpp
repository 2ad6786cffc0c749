#include "detect/contours.h"

#include <gtest/gtest.h>

#include <cmath>

#include "detect/labeling.h"
#include "detect/square_fit.h"
#include "detect_test_support.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

int32_t countSquares(const TestFrame& frame, const SquareCandidate** list = nullptr, int32_t maxArea = 100000,
                     int32_t minArea = 70) {
  useTestCamera(frame.width(), frame.height());
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  EXPECT_NE(labels, nullptr);
  int32_t count = -1;
  const SquareCandidate* c = labels ? arFindSquares(labels, maxArea, minArea, 1.0, &count) : nullptr;
  if (list) *list = c;
  return count;
}

// Traces label 1 of the frame; returns arTraceContour's result and what it printed.
int trace(const TestFrame& frame, SquareCandidate* c, std::string* printed = nullptr, int label = 1) {
  useTestCamera(frame.width(), frame.height());
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  EXPECT_NE(labels, nullptr);
  CaptureStdout();
  const int result = arTraceContour(labels, label, labels->labelClip[0], c);
  const std::string out = GetCapturedStdout();
  if (printed) *printed = out;
  return result;
}

SquareCandidate traced;  // too large for the stack

TEST(TraceContour, SquareStartsAtTheFarthestPointAndRunsClockwise) {
  TestFrame frame(16, 16);
  frame.fillRect(5, 5, 7, 7);
  ASSERT_EQ(trace(frame, &traced), 0);
  const int want[][2] = {{7, 7}, {6, 7}, {5, 7}, {5, 6}, {5, 5}, {6, 5}, {7, 5}, {7, 6}, {7, 7}};
  ASSERT_EQ(traced.pointCount, 9);
  for (int i = 0; i < 9; i++) EXPECT_EQ(traced.contourX[i] * 100 + traced.contourY[i], want[i][0] * 100 + want[i][1]) << i;
}

TEST(TraceContour, OnePixelWideLineIsWalkedOutAndBackAndCloses) {
  TestFrame frame(24, 10);
  frame.fillRect(5, 5, 15, 5);
  ASSERT_EQ(trace(frame, &traced), 0);
  ASSERT_EQ(traced.pointCount, 11 + 9 + 1);
  EXPECT_EQ(traced.contourX[0], 15);  // the far end
  EXPECT_EQ(traced.contourX[20], 15);
  EXPECT_EQ(traced.contourY[20], 5);
  int seen[24] = {};
  for (int i = 0; i < 20; i++) seen[traced.contourX[i]]++;
  for (int x = 5; x <= 15; x++) EXPECT_EQ(seen[x], x == 5 || x == 15 ? 1 : 2) << x;
}

TEST(TraceContour, LimitsAndFailuresPrintTheirMessages) {
  // A line of L pixels has 2L - 2 distinct points: 5000 pixels fit, 5001 do not.
  TestFrame longest(5010, 6);
  longest.fillRect(2, 2, 5001, 2);
  ASSERT_EQ(trace(longest, &traced), 0);
  EXPECT_EQ(traced.pointCount, 9999);
  longest.setGrey(5002, 2, 0);
  std::string printed;
  EXPECT_EQ(trace(longest, &traced, &printed), -1);
  EXPECT_EQ(printed, "??? 3\n");

  TestFrame frame(16, 16);
  frame.setGrey(4, 4, 0);
  frame.fillRect(8, 8, 10, 10);
  EXPECT_EQ(trace(frame, &traced, &printed, 2), -1);  // label 2 is not on label 1's top row
  EXPECT_EQ(printed, "??? 1\n");
  EXPECT_EQ(trace(frame, &traced, &printed, 1), -1);  // a lone pixel
  EXPECT_EQ(printed, "??? 2\n");
}

void expectCorners(const SquareCandidate& c, const std::array<Point2, 4>& corners) {
  EXPECT_EQ(c.cornerIndex[0], 0);
  EXPECT_EQ(c.cornerIndex[4], c.pointCount - 1);
  for (int k = 0; k < 4; k++) {
    const int i = c.cornerIndex[k];
    EXPECT_LT(std::hypot(c.contourX[i] - corners[k][0], c.contourY[i] - corners[k][1]), 1.6)
        << "corner " << k << " at (" << c.contourX[i] << ", " << c.contourY[i] << ")";
    EXPECT_LT(c.cornerIndex[k], c.cornerIndex[k + 1]);
  }
}

TEST(FindSquares, CornersStartOppositeTheTopCornerAndRunClockwiseInEveryRotation) {
  for (double angle : {0.0, 10.0, 25.0, 40.0, 55.0, 70.0, 85.0, 100.0, 190.0, 280.0}) {
    SCOPED_TRACE(angle);
    TestFrame frame(200, 200);
    const std::array<Point2, 4> sq = squareCorners(100, 100, 80, angle);
    frame.fillPolygon({sq.begin(), sq.end()});
    const SquareCandidate* c;
    ASSERT_EQ(countSquares(frame, &c), 1);
    int top = 0;  // topmost corner, leftmost on a tie
    for (int k = 1; k < 4; k++)
      if (sq[k][1] < sq[top][1] - 1e-9 || (std::fabs(sq[k][1] - sq[top][1]) < 1e-9 && sq[k][0] < sq[top][0])) top = k;
    expectCorners(c[0], {sq[(top + 2) % 4], sq[(top + 3) % 4], sq[top], sq[(top + 1) % 4]});
  }
}

TEST(FindSquares, FarthestCornerNextToCornerZeroOnEitherSide) {
  // The span holding two corners is split again at its middle.
  const std::vector<std::vector<Point2>> quads = {{{20, 20}, {120, 30}, {110, 60}, {30, 45}},
                                                  {{120, 20}, {110, 45}, {30, 60}, {20, 30}}};
  const int first[] = {1, 3};
  for (int q = 0; q < 2; q++) {
    TestFrame frame(160, 100);
    frame.fillPolygon(quads[q]);
    const SquareCandidate* c;
    ASSERT_EQ(countSquares(frame, &c), 1);
    std::array<Point2, 4> want;
    for (int k = 0; k < 4; k++) want[k] = quads[q][(first[q] + k) % 4];
    expectCorners(c[0], want);
  }
}

TEST(FindSquares, OnlyFourSidedShapesAreSquares) {
  std::vector<std::vector<Point2>> shapes = {{{100, 30}, {170, 160}, {30, 150}}, {{40, 40}, {160, 50}, {60, 150}}};
  for (int sides : {5, 6}) {
    shapes.emplace_back();
    for (int k = 0; k < sides; k++)
      shapes.back().push_back({100 + 70 * std::cos(2 * M_PI * k / sides + 0.3), 100 + 70 * std::sin(2 * M_PI * k / sides + 0.3)});
  }
  shapes.push_back({{40, 40}, {160, 40}, {160, 160}, {40, 160}});
  for (size_t i = 0; i < shapes.size(); i++) {
    TestFrame frame(200, 200);
    frame.fillPolygon(shapes[i]);
    EXPECT_EQ(countSquares(frame), shapes[i].size() == 4 ? 1 : 0) << shapes[i].size() << " corners";
  }
}

TEST(FindSquares, AreaBoundsAreInclusive) {
  TestFrame small(60, 60);
  small.fillRect(5, 5, 7, 27);    // 69
  small.fillRect(20, 5, 26, 14);  // 70
  const SquareCandidate* c;
  ASSERT_EQ(countSquares(small, &c), 1);
  EXPECT_EQ(c[0].area, 70);
  EXPECT_EQ(countSquares(small, &c, 100000, 69), 2);

  TestFrame large(1000, 1000);
  large.fillRect(10, 10, 259, 409);    // 100000
  large.fillRect(500, 10, 749, 409);   // 100001 with the pixel below
  large.setGrey(600, 410, 0);
  ASSERT_EQ(countSquares(large, &c), 1);
  EXPECT_EQ(c[0].area, 100000);
  EXPECT_NEAR(c[0].centre[0], 134.5, 1e-9);
  EXPECT_EQ(countSquares(large, &c, 100001, 70), 2);
}

TEST(FindSquares, RegionsTouchingTheInnerBorderRingAreRejected) {
  const int rects[][4] = {{1, 20, 30, 49}, {69, 20, 98, 49}, {30, 1, 59, 30}, {30, 49, 59, 78}};
  for (const auto& r : rects) {
    SCOPED_TRACE(testing::Message() << r[0] << "," << r[1]);
    TestFrame frame(100, 80), inside(100, 80);
    frame.fillRect(r[0], r[1], r[2], r[3]);
    EXPECT_EQ(countSquares(frame), 0);
    const int dx = r[0] == 1 ? 1 : (r[2] == 98 ? -1 : 0), dy = r[1] == 1 ? 1 : (r[3] == 78 ? -1 : 0);
    inside.fillRect(r[0] + dx, r[1] + dy, r[2] + dx, r[3] + dy);
    EXPECT_EQ(countSquares(inside), 1);  // one pixel further in
  }
}

void drawRing(TestFrame& frame, int x0, int y0, int side, int thickness) {
  frame.fillRect(x0, y0, x0 + side - 1, y0 + side - 1, 0);
  frame.fillRect(x0 + thickness, y0 + thickness, x0 + side - 1 - thickness, y0 + side - 1 - thickness, 255);
}

TEST(FindSquares, NestedCandidatesLeaveOnlyTheOutermost) {
  TestFrame frame(200, 200, 255);
  drawRing(frame, 40, 40, 120, 10);  // 4400
  drawRing(frame, 60, 60, 80, 10);   // 2800
  frame.fillRect(90, 90, 109, 109);  // 400
  frame.fillRect(170, 45, 185, 60);  // 256, apart, listed between the outer and middle rings
  const SquareCandidate* c;
  ASSERT_EQ(countSquares(frame, &c), 2);
  EXPECT_EQ(c[0].area, 4400);
  EXPECT_EQ(c[1].area, 256);

  TestFrame equal(100, 100, 255);  // equal areas: the earlier is removed
  drawRing(equal, 37, 37, 26, 1);    // 100, listed first
  equal.fillRect(45, 45, 54, 54);    // 100, same centre
  ASSERT_EQ(countSquares(equal, &c), 1);
  EXPECT_EQ(c[0].pointCount, 4 * 9 + 1);  // the filled square's contour
}

TEST(FindSquares, DistantCandidatesKeepLabelOrderUpToThirty) {
  TestFrame frame(400, 300);
  for (int i = 0; i < 36; i++)  // widths 20 .. 28 along each row
    frame.fillRect(10 + (i % 9) * 40, 10 + (i / 9) * 40, 29 + (i % 9) * 41, 29 + (i / 9) * 40);
  const SquareCandidate* c;
  ASSERT_EQ(countSquares(frame, &c), kArMaxSquareCandidates);
  for (int i = 0; i < kArMaxSquareCandidates; i++) EXPECT_EQ(c[i].area, 20 * (20 + i % 9)) << i;
  EXPECT_DOUBLE_EQ(c[29].centre[0], 100.5);  // third square of the fourth row
  EXPECT_DOUBLE_EQ(c[29].centre[1], 139.5);
}

TEST(SplitAtFarthest, SplitsOnlyBeyondTheThresholdAndAtMostSixTimes) {
  const int32_t x[] = {0, 1, 2, 3, 4, 5}, y[] = {0, 0, 1, 0, 0, 0};
  int32_t list[6], count = 0;
  EXPECT_EQ(arSplitAtFarthest(x, y, 0, 5, 1.0, list, &count), 0);  // deviation 1 is not > 1
  EXPECT_EQ(count, 0);
  EXPECT_EQ(arSplitAtFarthest(x, y, 0, 5, 0.99, list, &count), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(list[0], 2);
  const int32_t loopX[] = {0, 3, 6, 3, 0}, loopY[] = {0, 5, 0, -5, 0};  // coincident ends
  count = 0;
  EXPECT_EQ(arSplitAtFarthest(loopX, loopY, 0, 4, 0.5, list, &count), 0);
  EXPECT_EQ(count, 0);
  int32_t zx[40], zy[40];  // a zigzag needs more than six
  for (int i = 0; i < 40; i++) zx[i] = i * 4, zy[i] = (i % 2) * 30;
  count = 0;
  EXPECT_EQ(arSplitAtFarthest(zx, zy, 0, 39, 1.0, list, &count), -1);
  EXPECT_LE(count, 6);
}

}  // namespace
