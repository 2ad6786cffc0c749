// Labelling of dark regions and the square candidates traced from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "detect/contours.h"
#include "detect/labeling.h"
#include "detect/square_fit.h"
#include "detect_test_support.h"

namespace {

TEST(LabelImage, LabelCapacityIsExact) {
  useTestCamera(400, 400);
  for (int dots : {kArMaxLabels, kArMaxLabels + 1}) {
    TestFrame frame(400, 400, 255);  // isolated dots: one label each; label 32768 still reads as labelled
    int placed = 0, last = 0;
    for (int y = 1; y < 399 && placed < dots; y += 2)
      for (int x = 1; x < 399 && placed < dots; x += 2, placed++) frame.setGrey(x, y, 0), last = y * 400 + x;
    ArLabelFailure failure = ArLabelFailure::None;
    const LabelSet* labels = arLabelImage(frame.data(), 100, &failure);
    EXPECT_EQ(failure, dots > kArMaxLabels ? ArLabelFailure::TooManyLabels : ArLabelFailure::None);
    EXPECT_TRUE(dots > kArMaxLabels ? labels == nullptr
                                    : labels->labelCount == kArMaxLabels && labels->labelImage[last] == kArMaxLabels);
  }
}

// The regions found directly: each dark pixel inside the outermost ring flooded with its
// 8-connected neighbours, regions numbered in the raster order of their first pixels. The fast
// labeller must give every pixel the same region and every region the same statistics.
void expectSameRegionsAsFlooding(const TestFrame& frame, int threshold) {
  const int w = frame.width(), h = frame.height();
  useTestCamera(w, h);
  const LabelSet* got = arLabelImage(frame.data(), threshold);
  ASSERT_NE(got, nullptr);
  std::vector<int> region(static_cast<size_t>(w) * h, 0), stack;
  auto dark = [&](int x, int y) {
    const uint8_t* p = frame.data() + (static_cast<size_t>(y) * w + x) * 4;
    return x > 0 && y > 0 && x < w - 1 && y < h - 1 && p[0] + p[1] + p[2] <= 3 * threshold;
  };
  int regions = 0;
  for (int start = 0; start < w * h; start++) {
    if (region[start] || !dark(start % w, start / w)) continue;
    const int r = ++regions;
    int64_t area = 0, sumX = 0, sumY = 0, clip[4] = {w, 0, h, 0};
    for (stack = {start}, region[start] = r; !stack.empty();) {
      const int x = stack.back() % w, y = stack.back() / w;
      stack.pop_back();
      area++, sumX += x, sumY += y;
      clip[0] = std::min<int64_t>(clip[0], x), clip[1] = std::max<int64_t>(clip[1], x);
      clip[2] = std::min<int64_t>(clip[2], y), clip[3] = std::max<int64_t>(clip[3], y);
      for (int n = 0; n < 9; n++) {
        const int nx = x + n % 3 - 1, ny = y + n / 3 - 1;
        if (dark(nx, ny) && !region[ny * w + nx]) region[ny * w + nx] = r, stack.push_back(ny * w + nx);
      }
    }
    ASSERT_LE(r, got->labelCount);
    ASSERT_TRUE(got->labelArea[r - 1] == area && got->labelCentroid[r - 1][0] == static_cast<double>(sumX) / area &&
                got->labelCentroid[r - 1][1] == static_cast<double>(sumY) / area) << r;
    for (int k = 0; k < 4; k++) ASSERT_EQ(got->labelClip[r - 1][k], clip[k]) << r;
  }
  ASSERT_EQ(got->labelCount, regions);
  for (int i = 0; i < w * h; i++) ASSERT_EQ(got->labelImage[i] ? got->labelRemap[got->labelImage[i] - 1] : 0, region[i]) << i;
}

TEST(LabelImage, GivesTheRegionsOfFloodingOnRandomAndNoisyFrames) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 40; round++) {
    SCOPED_TRACE(round);
    const int width = 8 + static_cast<int>(rng() % 180), height = 8 + static_cast<int>(rng() % 140);
    const unsigned darkPerMille = 200 + 6 * (rng() % 100);
    TestFrame frame(width, height);
    for (int i = 0; i < width * height; i++)
      if (round % 2) frame.set(i % width, i / width, rng() & 255, rng() & 255, rng() & 255, rng() & 255);
      else frame.setGrey(i % width, i / width, rng() % 1000 < darkPerMille ? 0 : 255);
    expectSameRegionsAsFlooding(frame, 60 + static_cast<int>(rng() % 90));
  }
  std::normal_distribution<double> noise(0.0, 40.0);
  TestFrame frame(640, 480, 128);  // a full-size frame: turned squares in noise
  for (int k = 0; k < 6; k++) frame.fillPolygon(squareCorners(60 + rng() % 520, 60 + rng() % 360, 40 + rng() % 80, rng() % 90));
  for (int i = 0; i < 640 * 480; i++)
    frame.setGrey(i % 640, i / 640, static_cast<uint8_t>(std::clamp(frame.data()[4 * i] + noise(rng), 0.0, 255.0)));
  expectSameRegionsAsFlooding(frame, 100);
}

SquareCandidate traced;  // too large for the stack

const SquareCandidate* findSquares(const TestFrame& frame, int32_t* count, int32_t minArea = 70, int32_t maxArea = 100000) {
  useTestCamera(frame.width(), frame.height());
  return arFindSquares(arLabelImage(frame.data(), 100), maxArea, minArea, 1.0, count);
}

// Traces region `label`; returns arTraceContour's result and what it printed.
int trace(const TestFrame& frame, std::string* printed, int label = 1) {
  useTestCamera(frame.width(), frame.height());
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  testing::internal::CaptureStdout();
  const int result = arTraceContour(labels, label, labels->labelClip[0], &traced);
  *printed = testing::internal::GetCapturedStdout();
  return result;
}

TEST(TraceContour, LimitsAndFailuresPrintTheirMessages) {
  // A line of L pixels, walked out and back, has 2L - 2 distinct points: 5000 pixels fit, 5001 do not.
  TestFrame longest(5010, 6), frame(16, 16);
  longest.fillRect(2, 2, 5001, 2);
  std::string printed;
  ASSERT_EQ(trace(longest, &printed), 0);
  EXPECT_TRUE(traced.pointCount == 9999 && traced.contourX[0] == 5001);  // starting at the far end
  longest.setGrey(5002, 2, 0);
  EXPECT_EQ(trace(longest, &printed), -1);
  EXPECT_EQ(printed, "??? 3\n");
  frame.setGrey(4, 4, 0);
  frame.fillRect(8, 8, 10, 10);
  EXPECT_EQ(trace(frame, &printed, 2), -1);  // label 2 is not on label 1's top row
  EXPECT_EQ(printed, "??? 1\n");
  EXPECT_EQ(trace(frame, &printed, 1), -1);  // a lone pixel
  EXPECT_EQ(printed, "??? 2\n");
}

// Corner 0 is the contour point farthest from the topmost (then leftmost) pixel, the others
// follow clockwise on screen; shapes of more or fewer sides are no squares.
TEST(FindSquares, CornersOfFourSidedShapesStartFarthestFromTheTopAndRunClockwise) {
  std::vector<std::vector<Point2>> shapes = {{{20, 20}, {120, 30}, {110, 60}, {30, 45}},  // corner 0 next to the top one
                                             {{120, 20}, {110, 45}, {30, 60}, {20, 30}}, {{100, 30}, {170, 160}, {30, 150}}};
  for (double angle : {0.0, 10.0, 25.0, 40.0, 55.0, 70.0, 85.0, 100.0, 190.0, 280.0}) shapes.push_back(squareCorners(100, 100, 80, angle));
  for (int sides : {5, 6}) {
    shapes.emplace_back();
    for (int k = 0; k < sides; k++) shapes.back().push_back({100 + 70 * std::cos(2 * M_PI * k / sides + 0.3), 100 + 70 * std::sin(2 * M_PI * k / sides + 0.3)});
  }
  for (const auto& shape : shapes) {
    SCOPED_TRACE(testing::Message() << shape[0][0] << ", " << shape[0][1] << ": " << shape.size() << " corners");
    TestFrame frame(200, 200);
    frame.fillPolygon(shape);
    int32_t count = -1;
    const SquareCandidate* c = findSquares(frame, &count);
    ASSERT_EQ(count, shape.size() == 4 ? 1 : 0);
    if (count == 0) continue;
    int top = 0, first = 0;
    for (int k = 1; k < 4; k++) top = std::make_pair(shape[k][1], shape[k][0]) < std::make_pair(shape[top][1], shape[top][0]) ? k : top;
    auto d2 = [&](int k) { return std::hypot(shape[k][0] - shape[top][0], shape[k][1] - shape[top][1]); };
    for (int k = 1; k < 4; k++) first = d2(k) > d2(first) ? k : first;
    EXPECT_TRUE(c->cornerIndex[0] == 0 && c->cornerIndex[4] == c->pointCount - 1);
    for (int k = 0; k < 4; k++) {
      const int i = c->cornerIndex[k];
      const Point2& want = shape[(first + k) % 4];
      EXPECT_LT(std::hypot(c->contourX[i] - want[0], c->contourY[i] - want[1]), 1.6) << "corner " << k;
      EXPECT_LT(i, c->cornerIndex[k + 1]);
    }
  }
}

// Rectangles (x0, y0, x1, y1, grey) drawn in order on a light frame, and the areas of the
// candidates they leave, in label order.
TEST(FindSquares, AreaBoundsBorderRingAndNesting) {
  const struct {
    int width, height, minArea, maxArea;
    std::vector<std::array<int, 5>> rects;
    std::vector<int> areas;
  } cases[] = {
      {60, 60, 70, 100000, {{5, 5, 7, 27, 0}, {20, 5, 26, 14, 0}}, {70}},  // 69 and 70 pixels
      {60, 60, 69, 100000, {{5, 5, 7, 27, 0}, {20, 5, 26, 14, 0}}, {69, 70}},
      {1000, 1000, 70, 100000, {{10, 10, 259, 409, 0}, {500, 10, 749, 410, 0}, {501, 410, 749, 410, 200}}, {100000}},
      {1000, 1000, 70, 100001, {{10, 10, 259, 409, 0}, {500, 10, 749, 410, 0}, {501, 410, 749, 410, 200}}, {100000, 100001}},
      // Regions touching the inner border ring are off; one pixel further in they count.
      {200, 160, 70, 100000, {{1, 60, 30, 89, 0}, {169, 60, 198, 89, 0}, {85, 1, 114, 30, 0}, {85, 129, 114, 158, 0}}, {}},
      {200, 160, 70, 100000, {{2, 60, 31, 89, 0}, {168, 60, 197, 89, 0}, {85, 2, 114, 31, 0}, {85, 128, 114, 157, 0}}, {900, 900, 900, 900}},
      // Nested rings and a square leave the outermost; a square apart, listed between, stays.
      {200, 200, 70, 100000, {{40, 40, 159, 159, 0}, {50, 50, 149, 149, 255}, {60, 60, 139, 139, 0}, {70, 70, 129, 129, 255},
                              {90, 90, 109, 109, 0}, {170, 45, 185, 60, 0}}, {4400, 256}},
      // Of two candidates of equal area with the same centre the earlier goes: the ring.
      {100, 100, 70, 100000, {{37, 37, 62, 62, 0}, {38, 38, 61, 61, 255}, {45, 45, 54, 54, 0}}, {100}},
  };
  for (const auto& c : cases) {
    TestFrame frame(c.width, c.height, 200);
    for (const auto& r : c.rects) frame.fillRect(r[0], r[1], r[2], r[3], static_cast<uint8_t>(r[4]));
    int32_t count = -1;
    const SquareCandidate* list = findSquares(frame, &count, c.minArea, c.maxArea);
    std::vector<int> areas;
    for (int i = 0; i < count; i++) areas.push_back(list[i].area);
    EXPECT_EQ(areas, c.areas) << c.width << " x " << c.height << ", first " << c.rects[0][0] << ", " << c.rects[0][1];
    EXPECT_TRUE(c.areas != std::vector<int>{100} || list[0].pointCount == 4 * 9 + 1);  // the filled square's contour
  }
}

TEST(SplitAtFarthest, SplitsOnlyBeyondTheThresholdAndAtMostSixTimes) {
  const int32_t x[] = {0, 1, 2, 3, 4, 5}, y[] = {0, 0, 1, 0, 0, 0}, loopX[] = {0, 3, 6, 3, 0}, loopY[] = {0, 5, 0, -5, 0};
  int32_t list[6], count = 0, zx[40], zy[40];
  EXPECT_EQ(arSplitAtFarthest(x, y, 0, 5, 1.0, list, &count), 0);  // deviation 1 is not > 1
  EXPECT_EQ(count, 0);
  EXPECT_EQ(arSplitAtFarthest(x, y, 0, 5, 0.99, list, &count), 0);
  EXPECT_TRUE(count == 1 && list[0] == 2);
  count = 0;
  EXPECT_EQ(arSplitAtFarthest(loopX, loopY, 0, 4, 0.5, list, &count), 0);  // coincident ends
  EXPECT_EQ(count, 0);
  for (int i = 0; i < 40; i++) zx[i] = i * 4, zy[i] = (i % 2) * 30;  // a zigzag needs more than six
  EXPECT_EQ(arSplitAtFarthest(zx, zy, 0, 39, 1.0, list, &count), -1);
  EXPECT_LE(count, 6);
}

}  // namespace
