#include "detect/contours.h"

#include <gtest/gtest.h>

#include <cmath>

#include "detect/square_fit.h"
#include "detect_test_support.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const SquareCandidate* findSquares(const TestFrame& frame, int32_t* count, int32_t maxArea = 100000,
                                   int32_t minArea = 70) {
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  EXPECT_NE(labels, nullptr);
  if (!labels) return nullptr;
  return arFindSquares(labels, maxArea, minArea, 1.0, count);
}

double distance(const SquareCandidate& c, int index, const Point2& p) {
  return std::hypot(c.contourX[index] - p[0], c.contourY[index] - p[1]);
}

TEST(TraceContour, SmallSquareIsTracedClockwiseAndRotatedToTheFarthestPoint) {
  useTestCamera(16, 16);
  TestFrame frame(16, 16);
  frame.fillRect(5, 5, 7, 7, 0);
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  static SquareCandidate c;
  ASSERT_EQ(arTraceContour(labels, 1, labels->labelClip[0], &c), 0);
  const int want[][2] = {{7, 7}, {6, 7}, {5, 7}, {5, 6}, {5, 5}, {6, 5}, {7, 5}, {7, 6}, {7, 7}};
  ASSERT_EQ(c.pointCount, 9);
  for (int i = 0; i < 9; i++) {
    EXPECT_EQ(c.contourX[i], want[i][0]) << i;
    EXPECT_EQ(c.contourY[i], want[i][1]) << i;
  }
}

TEST(TraceContour, OnePixelWideLineIsWalkedOutAndBackAndCloses) {
  useTestCamera(24, 10);
  TestFrame frame(24, 10);
  frame.fillRect(5, 5, 15, 5, 0);
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  static SquareCandidate c;
  ASSERT_EQ(arTraceContour(labels, 1, labels->labelClip[0], &c), 0);
  ASSERT_EQ(c.pointCount, 11 + 9 + 1);
  // Rotated to start at the far end; each inner pixel appears once going and once coming back.
  EXPECT_EQ(c.contourX[0], 15);
  EXPECT_EQ(c.contourX[c.pointCount - 1], 15);
  EXPECT_EQ(c.contourY[c.pointCount - 1], 5);
  int seen[24] = {};
  for (int i = 0; i < c.pointCount - 1; i++) seen[c.contourX[i]]++;
  for (int x = 6; x <= 14; x++) EXPECT_EQ(seen[x], 2) << x;
  EXPECT_EQ(seen[5], 1);
  EXPECT_EQ(seen[15], 1);
}

TEST(TraceContour, LongestContourFitsAndOneLongerFailsWithItsMessage) {
  // A one-pixel line of L pixels has 2L - 2 distinct contour points; 9998 is the most.
  useTestCamera(5010, 6);
  TestFrame ok(5010, 6);
  ok.fillRect(2, 2, 5001, 2, 0);  // 5000 pixels
  const LabelSet* labels = arLabelImage(ok.data(), 100);
  ASSERT_NE(labels, nullptr);
  static SquareCandidate c;
  ASSERT_EQ(arTraceContour(labels, 1, labels->labelClip[0], &c), 0);
  EXPECT_EQ(c.pointCount, 9999);

  TestFrame tooLong(5010, 6);
  tooLong.fillRect(2, 2, 5002, 2, 0);  // 5001 pixels
  labels = arLabelImage(tooLong.data(), 100);
  ASSERT_NE(labels, nullptr);
  CaptureStdout();
  EXPECT_EQ(arTraceContour(labels, 1, labels->labelClip[0], &c), -1);
  EXPECT_EQ(GetCapturedStdout(), "??? 3\n");
}

TEST(TraceContour, MissingStartPixelAndIsolatedPixelPrintTheirMessages) {
  useTestCamera(16, 16);
  TestFrame frame(16, 16);
  frame.setGrey(4, 4, 0);
  frame.fillRect(8, 8, 10, 10, 0);
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  static SquareCandidate c;
  CaptureStdout();
  EXPECT_EQ(arTraceContour(labels, 2, labels->labelClip[0], &c), -1);  // label 2 is not on label 1's top row
  EXPECT_EQ(arTraceContour(labels, 1, labels->labelClip[0], &c), -1);  // a lone pixel has no neighbour
  EXPECT_EQ(GetCapturedStdout(), "??? 1\n??? 2\n");
}

// Expects corner indices [0..3] at the given polygon corners, within tol pixels.
void expectCorners(const SquareCandidate& c, const std::array<Point2, 4>& corners, double tol) {
  EXPECT_EQ(c.cornerIndex[0], 0);
  EXPECT_EQ(c.cornerIndex[4], c.pointCount - 1);
  for (int k = 0; k < 4; k++) {
    EXPECT_LT(distance(c, c.cornerIndex[k], corners[k]), tol)
        << "corner " << k << " at (" << c.contourX[c.cornerIndex[k]] << ", " << c.contourY[c.cornerIndex[k]]
        << "), want (" << corners[k][0] << ", " << corners[k][1] << ")";
  }
  for (int k = 0; k < 4; k++) EXPECT_LT(c.cornerIndex[k], c.cornerIndex[k + 1]);
}

TEST(FindSquares, CornersOfTurnedSquaresStartOppositeTheTopCornerAndRunClockwise) {
  useTestCamera(200, 200);
  for (double angle : {0.0, 10.0, 25.0, 40.0, 55.0, 70.0, 85.0, 100.0, 190.0, 280.0}) {
    SCOPED_TRACE(angle);
    TestFrame frame(200, 200);
    const std::array<Point2, 4> sq = squareCorners(100, 100, 80, angle);
    frame.fillPolygon({sq.begin(), sq.end()}, 0);
    int32_t count = 0;
    const SquareCandidate* c = findSquares(frame, &count);
    ASSERT_EQ(count, 1);
    // The corner with the smallest y is the topmost (leftmost on a tie); [0] is its opposite,
    // then clockwise on screen.
    int top = 0;
    for (int k = 1; k < 4; k++)
      if (sq[k][1] < sq[top][1] - 1e-9 || (std::fabs(sq[k][1] - sq[top][1]) < 1e-9 && sq[k][0] < sq[top][0]))
        top = k;
    std::array<Point2, 4> want;
    for (int k = 0; k < 4; k++) want[k] = sq[(top + 2 + k) % 4];
    expectCorners(c[0], want, 1.6);
  }
}

TEST(FindSquares, FarthestCornerNextToCornerZeroOnEitherSide) {
  // Quadrilaterals whose farthest corner from corner 0 is a neighbour rather than the opposite
  // corner: the contour span with two corners is split again at its middle.
  useTestCamera(160, 100);
  {
    TestFrame frame(160, 100);
    frame.fillPolygon({{20, 20}, {120, 30}, {110, 60}, {30, 45}}, 0);
    int32_t count = 0;
    const SquareCandidate* c = findSquares(frame, &count);
    ASSERT_EQ(count, 1);
    expectCorners(c[0], {Point2{120, 30}, Point2{110, 60}, Point2{30, 45}, Point2{20, 20}}, 1.6);
  }
  {
    TestFrame frame(160, 100);
    frame.fillPolygon({{120, 20}, {110, 45}, {30, 60}, {20, 30}}, 0);
    int32_t count = 0;
    const SquareCandidate* c = findSquares(frame, &count);
    ASSERT_EQ(count, 1);
    expectCorners(c[0], {Point2{20, 30}, Point2{120, 20}, Point2{110, 45}, Point2{30, 60}}, 1.6);
  }
}

TEST(FindSquares, TrianglesPentagonsAndHexagonsAreNotSquares) {
  useTestCamera(200, 200);
  std::vector<std::vector<Point2>> shapes = {
      {{100, 30}, {170, 160}, {30, 150}},                     // triangle
      {{40, 40}, {160, 50}, {60, 150}},                       // obtuse triangle
  };
  for (int sides : {5, 6}) {
    std::vector<Point2> polygon;
    for (int k = 0; k < sides; k++) {
      const double a = 2 * M_PI * k / sides + 0.3;
      polygon.push_back({100 + 70 * std::cos(a), 100 + 70 * std::sin(a)});
    }
    shapes.push_back(polygon);
  }
  for (size_t i = 0; i < shapes.size(); i++) {
    SCOPED_TRACE(i);
    TestFrame frame(200, 200);
    frame.fillPolygon(shapes[i], 0);
    int32_t count = -1;
    findSquares(frame, &count);
    EXPECT_EQ(count, 0);
  }
  // The same frame size and a square: found, so the shapes above failed on their own account.
  TestFrame frame(200, 200);
  frame.fillPolygon({{40, 40}, {160, 40}, {160, 160}, {40, 160}}, 0);
  int32_t count = 0;
  findSquares(frame, &count);
  EXPECT_EQ(count, 1);
}

TEST(FindSquares, AreaBoundsAreInclusive) {
  useTestCamera(60, 60);
  TestFrame small(60, 60);
  small.fillRect(5, 5, 7, 27, 0);     // 3 x 23 = 69
  small.fillRect(20, 5, 26, 14, 0);   // 7 x 10 = 70
  int32_t count = 0;
  const SquareCandidate* c = findSquares(small, &count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(c[0].area, 70);
  findSquares(small, &count, 100000, 69);
  EXPECT_EQ(count, 2);  // the 69-pixel rectangle is a square candidate in its own right

  useTestCamera(1000, 1000);
  TestFrame large(1000, 1000);
  large.fillRect(10, 10, 259, 409, 0);    // 250 x 400 = 100000
  large.fillRect(500, 10, 749, 409, 0);   // 100000 and one pixel below its edge
  large.setGrey(600, 410, 0);
  c = findSquares(large, &count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(c[0].area, 100000);
  EXPECT_NEAR(c[0].centre[0], 134.5, 1e-9);
  findSquares(large, &count, 100001, 70);
  EXPECT_EQ(count, 2);
}

TEST(FindSquares, RegionsTouchingTheInnerBorderRingAreRejected) {
  useTestCamera(100, 80);
  const int rects[][4] = {{1, 20, 30, 49}, {69, 20, 98, 49}, {30, 1, 59, 30}, {30, 49, 59, 78}};
  for (const auto& r : rects) {
    TestFrame frame(100, 80);
    frame.fillRect(r[0], r[1], r[2], r[3], 0);
    int32_t count = -1;
    findSquares(frame, &count);
    EXPECT_EQ(count, 0) << r[0] << "," << r[1];
    // One pixel further in, the same square is a candidate.
    TestFrame inside(100, 80);
    const int dx = r[0] == 1 ? 1 : (r[2] == 98 ? -1 : 0);
    const int dy = r[1] == 1 ? 1 : (r[3] == 78 ? -1 : 0);
    inside.fillRect(r[0] + dx, r[1] + dy, r[2] + dx, r[3] + dy, 0);
    findSquares(inside, &count);
    EXPECT_EQ(count, 1) << r[0] << "," << r[1];
  }
}

void drawRing(TestFrame& frame, int x0, int y0, int side, int thickness) {
  frame.fillRect(x0, y0, x0 + side - 1, y0 + side - 1, 0);
  frame.fillRect(x0 + thickness, y0 + thickness, x0 + side - 1 - thickness, y0 + side - 1 - thickness, 255);
}

TEST(FindSquares, ThreeNestedCandidatesLeaveOnlyTheOutermostBesideAnUnrelatedOne) {
  useTestCamera(200, 200);
  TestFrame frame(200, 200, 255);
  drawRing(frame, 40, 40, 120, 10);  // 120^2 - 100^2 = 4400
  drawRing(frame, 60, 60, 80, 10);   // 80^2 - 60^2 = 2800
  frame.fillRect(90, 90, 109, 109, 0);  // 400
  frame.fillRect(170, 45, 185, 60, 0);  // 256, apart; listed between the outer and middle rings
  int32_t count = 0;
  const SquareCandidate* c = findSquares(frame, &count);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(c[0].area, 4400);
  EXPECT_EQ(c[1].area, 256);
  // Each alone is a candidate.
  TestFrame middle(200, 200, 255);
  drawRing(middle, 60, 60, 80, 10);
  middle.fillRect(90, 90, 109, 109, 0);
  c = findSquares(middle, &count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(c[0].area, 2800);
}

TEST(FindSquares, OnEqualAreasTheEarlierCandidateIsRemoved) {
  useTestCamera(100, 100);
  TestFrame frame(100, 100, 255);
  drawRing(frame, 37, 37, 26, 1);       // 26^2 - 24^2 = 100, listed first
  frame.fillRect(45, 45, 54, 54, 0);    // 10 x 10 = 100, same centre
  int32_t count = 0;
  const SquareCandidate* c = findSquares(frame, &count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(c[0].area, 100);
  EXPECT_EQ(c[0].pointCount, 4 * 9 + 1);  // the filled square's contour, not the ring's
}

TEST(FindSquares, DistantCandidatesAreKeptInLabelOrder) {
  useTestCamera(300, 200);
  TestFrame frame(300, 200);
  frame.fillRect(200, 20, 249, 69, 0);
  frame.fillRect(20, 40, 79, 99, 0);
  frame.fillRect(120, 120, 139, 139, 0);
  int32_t count = 0;
  const SquareCandidate* c = findSquares(frame, &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(c[0].area, 2500);
  EXPECT_EQ(c[1].area, 3600);
  EXPECT_EQ(c[2].area, 400);
  EXPECT_DOUBLE_EQ(c[1].centre[0], 49.5);
  EXPECT_DOUBLE_EQ(c[1].centre[1], 69.5);
}

TEST(FindSquares, ListStopsAtThirtyCandidates) {
  useTestCamera(400, 300);
  TestFrame frame(400, 300);
  for (int i = 0; i < 36; i++) frame.fillRect(10 + (i % 9) * 40, 10 + (i / 9) * 40, 29 + (i % 9) * 40, 29 + (i / 9) * 40, 0);
  int32_t count = 0;
  const SquareCandidate* c = findSquares(frame, &count);
  ASSERT_EQ(count, kArMaxSquareCandidates);
  EXPECT_EQ(c[29].contourY[0], 10 + 3 * 40 + 19);  // the 30th square, the third of the fourth row
}

TEST(SplitAtFarthest, StraightSpanAndSpanWithCoincidentEndsAreNotSplit) {
  const int32_t x[] = {0, 1, 2, 3, 4, 5};
  const int32_t y[] = {0, 0, 1, 0, 0, 0};
  int32_t list[6];
  int32_t count = 0;
  EXPECT_EQ(arSplitAtFarthest(x, y, 0, 5, 1.0, list, &count), 0);  // deviation 1 is not > 1
  EXPECT_EQ(count, 0);
  EXPECT_EQ(arSplitAtFarthest(x, y, 0, 5, 0.99, list, &count), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(list[0], 2);
  const int32_t loopX[] = {0, 3, 6, 3, 0};
  const int32_t loopY[] = {0, 5, 0, -5, 0};
  count = 0;
  EXPECT_EQ(arSplitAtFarthest(loopX, loopY, 0, 4, 0.5, list, &count), 0);
  EXPECT_EQ(count, 0);
}

TEST(SplitAtFarthest, SeventhSplitPointFails) {
  // A zigzag with many sharp teeth keeps splitting until the list overflows.
  int32_t x[40], y[40];
  for (int i = 0; i < 40; i++) {
    x[i] = i * 4;
    y[i] = (i % 2) * 30;
  }
  int32_t list[6];
  int32_t count = 0;
  EXPECT_EQ(arSplitAtFarthest(x, y, 0, 39, 1.0, list, &count), -1);
  EXPECT_LE(count, 6);
}

}  // namespace
