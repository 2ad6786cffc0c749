#include "detect/labeling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "detect_test_support.h"

namespace {

TEST(LabelImage, LabelCapacityAndFrameSizeLimits) {
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
  useTestCamera(4097, 4096);
  std::vector<uint8_t> firstRow(4 * 4097, 0);  // must not be read at all
  ArLabelFailure failure = ArLabelFailure::None;
  EXPECT_EQ(arLabelImage(firstRow.data(), 100, &failure), nullptr);
  EXPECT_EQ(failure, ArLabelFailure::FrameTooLarge);
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

}  // namespace
