#include "detect/labeling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "detect_test_support.h"

namespace {

int regionOf(const LabelSet* labels, int width, int x, int y) {
  const int c = labels->labelImage[y * width + x];
  return c > 0 ? labels->labelRemap[c - 1] : 0;
}

TEST(LabelImage, ThresholdIsInclusiveAndAlphaIgnored) {
  useTestCamera(16, 16);
  TestFrame frame(16, 16, 255);
  frame.set(4, 4, 100, 99, 101);     // 300: dark
  frame.set(10, 10, 100, 100, 101);  // 301: bright
  frame.set(10, 4, 255, 45, 0, 0);   // 300, alpha 0: dark
  frame.set(4, 10, 1, 200, 100, 0);  // 301, alpha 0: bright
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->labelCount, 2);
  EXPECT_GT(regionOf(labels, 16, 4, 4), 0);
  EXPECT_GT(regionOf(labels, 16, 10, 4), 0);
}

TEST(LabelImage, DiagonalNeighboursJoinAndRegionsAreNumberedInRasterOrder) {
  useTestCamera(20, 16);
  TestFrame frame(20, 16);
  frame.setGrey(12, 3, 0), frame.setGrey(11, 4, 0);  // down-left touch; first region
  frame.setGrey(3, 5, 0), frame.setGrey(4, 6, 0);    // down-right touch; second
  frame.setGrey(3, 10, 0), frame.setGrey(5, 10, 0);  // one-pixel gap: third and fourth
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->labelCount, 4);
  EXPECT_EQ(regionOf(labels, 20, 12, 3), 1);
  EXPECT_EQ(regionOf(labels, 20, 11, 4), 1);
  EXPECT_EQ(regionOf(labels, 20, 3, 5), 2);
  EXPECT_EQ(regionOf(labels, 20, 4, 6), 2);
  EXPECT_EQ(regionOf(labels, 20, 3, 10), 3);
  EXPECT_EQ(regionOf(labels, 20, 5, 10), 4);
}

TEST(LabelImage, UShapeMergesItsArmsIntoOneRegion) {
  useTestCamera(24, 16);
  TestFrame frame(24, 16);
  frame.fillRect(2, 2, 3, 10);
  frame.fillRect(8, 3, 9, 10);
  frame.fillRect(14, 2, 15, 10);
  frame.fillRect(2, 11, 15, 12);
  frame.fillRect(19, 4, 20, 5);  // separate blob
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->provisionalCount, 4);
  ASSERT_EQ(labels->labelCount, 2);
  const int32_t remap[4] = {1, 1, 1, 2};  // left arm, right arm (row 2), middle arm (row 3), blob
  for (int i = 0; i < 4; i++) EXPECT_EQ(labels->labelRemap[i], remap[i]) << i;
  EXPECT_EQ(labels->labelArea[0], 2 * 9 * 3 - 2 + 14 * 2);
  EXPECT_EQ(labels->labelArea[1], 4);
}

TEST(LabelImage, ClipAndCentroidOfAStaircase) {
  // Extremes reached only through merges and diagonal steps: every extent rule contributes.
  useTestCamera(20, 20);
  TestFrame frame(20, 20);
  const int pixels[][2] = {{9, 2}, {8, 3}, {10, 3}, {7, 4}, {11, 4}, {6, 5}, {12, 5}, {7, 6}, {8, 6},
                           {9, 6}, {10, 6}, {11, 6}, {3, 7}, {4, 7}, {5, 7}, {6, 7}, {13, 8}, {12, 7}};
  double sx = 0, sy = 0;
  for (const auto& p : pixels) frame.setGrey(p[0], p[1], 0), sx += p[0], sy += p[1];
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  ASSERT_EQ(labels->labelCount, 1);
  EXPECT_EQ(labels->labelArea[0], 18);
  EXPECT_DOUBLE_EQ(labels->labelCentroid[0][0], sx / 18);
  EXPECT_DOUBLE_EQ(labels->labelCentroid[0][1], sy / 18);
  const int32_t clip[4] = {3, 13, 2, 8};
  for (int k = 0; k < 4; k++) EXPECT_EQ(labels->labelClip[0][k], clip[k]) << k;
}

TEST(LabelImage, OutermostRingIsNeverLabelledEvenAfterASizeChange) {
  useTestCamera(40, 30);
  TestFrame big(40, 30, 0);
  ASSERT_NE(arLabelImage(big.data(), 100), nullptr);
  useTestCamera(12, 10);
  const LabelSet* labels = arLabelImage(TestFrame(12, 10, 0).data(), 100);
  ASSERT_NE(labels, nullptr);
  ASSERT_EQ(labels->labelCount, 1);
  for (int y = 0; y < 10; y++)
    for (int x = 0; x < 12; x++)
      EXPECT_EQ(labels->labelImage[y * 12 + x] > 0, x > 0 && x < 11 && y > 0 && y < 9) << x << "," << y;
  EXPECT_EQ(labels->labelArea[0], 10 * 8);
  const int32_t clip[4] = {1, 10, 1, 8};
  for (int k = 0; k < 4; k++) EXPECT_EQ(labels->labelClip[0][k], clip[k]) << k;
}

TEST(LabelImage, LabelCapacityAndFrameSizeLimits) {
  useTestCamera(400, 400);
  for (int dots : {kArMaxLabels, kArMaxLabels + 1}) {
    TestFrame frame(400, 400, 255);  // isolated dots: one provisional label each
    int placed = 0, last = 0;
    for (int y = 1; y < 399 && placed < dots; y += 2)
      for (int x = 1; x < 399 && placed < dots; x += 2, placed++) frame.setGrey(x, y, 0), last = y * 400 + x;
    const LabelSet* labels = arLabelImage(frame.data(), 100);
    if (dots > kArMaxLabels) {
      EXPECT_EQ(labels, nullptr);
      continue;
    }
    ASSERT_NE(labels, nullptr);
    EXPECT_EQ(labels->labelCount, kArMaxLabels);
    EXPECT_EQ(labels->labelImage[last], kArMaxLabels);  // label 32768 still reads as labelled
  }
  useTestCamera(4097, 4096);
  std::vector<uint8_t> firstRow(4 * 4097, 0);  // must not be read at all
  ArLabelFailure failure = ArLabelFailure::None;
  EXPECT_EQ(arLabelImage(firstRow.data(), 100, &failure), nullptr);
  EXPECT_EQ(failure, ArLabelFailure::FrameTooLarge);
}

// The labelling algorithm transcribed directly, with a linear rewrite of the equivalence table
// on every merge; the fast labeller must agree with it cell for cell.
struct Reference {
  bool ok = false;
  std::vector<int32_t> image, eq, area, clip;
  std::vector<double> centroid;
  int32_t n = 0, labelCount = 0;
};

Reference referenceLabels(const uint8_t* frame, int width, int height, int threshold) {
  Reference out;
  out.image.assign(static_cast<size_t>(width) * height, 0);
  std::vector<int32_t>& eq = out.eq;
  eq.assign(32769, 0);
  std::vector<int64_t> stats(7 * 32769);  // count, sum x, sum y, min x, max x, min y, max y
  int32_t& n = out.n;
  auto cell = [&](int x, int y) -> int32_t& { return out.image[static_cast<size_t>(y) * width + x]; };
  auto merge = [&](int32_t p, int32_t q) {
    const int32_t lo = std::min(eq[p], eq[q]), hi = std::max(eq[p], eq[q]);
    for (int32_t i = 1; i <= n && lo != hi; i++)
      if (eq[i] == hi) eq[i] = lo;
    return lo;
  };
  for (int y = 1; y < height - 1; y++)
    for (int x = 1; x < width - 1; x++) {
      const uint8_t* p = frame + (static_cast<size_t>(y) * width + x) * 4;
      if (p[0] + p[1] + p[2] > 3 * threshold) continue;
      const int32_t up = cell(x, y - 1), upRight = cell(x + 1, y - 1), upLeft = cell(x - 1, y - 1), left = cell(x - 1, y);
      int32_t label;
      int64_t* s;
      if (up > 0) {
        label = up, s = &stats[7 * label], s[6] = y;
      } else if (upRight > 0 && upLeft > 0) {
        label = merge(upRight, upLeft), s = &stats[7 * label], s[6] = y;
      } else if (upRight > 0 && left > 0) {
        label = merge(upRight, left), s = &stats[7 * label];
      } else if (upRight > 0) {
        label = upRight, s = &stats[7 * label], s[3] = std::min<int64_t>(s[3], x), s[6] = y;
      } else if (upLeft > 0) {
        label = upLeft, s = &stats[7 * label], s[4] = std::max<int64_t>(s[4], x), s[6] = y;
      } else if (left > 0) {
        label = left, s = &stats[7 * label], s[4] = std::max<int64_t>(s[4], x);
      } else {
        if (n == 32768) return out;
        label = ++n, eq[label] = label, s = &stats[7 * label];
        s[3] = s[4] = x, s[5] = s[6] = y;
      }
      s[0]++, s[1] += x, s[2] += y;
      cell(x, y) = label;
    }
  out.ok = true;
  int32_t k = 1;
  for (int32_t i = 1; i <= n; i++) eq[i] = (eq[i] == i) ? k++ : eq[eq[i]];
  out.labelCount = k - 1;
  out.area.assign(out.labelCount, 0);
  out.centroid.assign(2 * out.labelCount, 0.0);
  for (int32_t f = 0; f < out.labelCount; f++) out.clip.insert(out.clip.end(), {width, 0, height, 0});
  for (int32_t i = 1; i <= n; i++) {
    const int32_t f = eq[i] - 1;
    const int64_t* s = &stats[7 * i];
    out.area[f] += static_cast<int32_t>(s[0]);
    out.centroid[2 * f] += static_cast<double>(s[1]);
    out.centroid[2 * f + 1] += static_cast<double>(s[2]);
    out.clip[4 * f] = std::min<int32_t>(out.clip[4 * f], static_cast<int32_t>(s[3]));
    out.clip[4 * f + 1] = std::max<int32_t>(out.clip[4 * f + 1], static_cast<int32_t>(s[4]));
    out.clip[4 * f + 2] = std::min<int32_t>(out.clip[4 * f + 2], static_cast<int32_t>(s[5]));
    out.clip[4 * f + 3] = std::max<int32_t>(out.clip[4 * f + 3], static_cast<int32_t>(s[6]));
  }
  for (int32_t f = 0; f < 2 * out.labelCount; f++) out.centroid[f] /= out.area[f / 2];
  return out;
}

void expectSameAsReference(const TestFrame& frame, int threshold) {
  useTestCamera(frame.width(), frame.height());
  const Reference want = referenceLabels(frame.data(), frame.width(), frame.height(), threshold);
  const LabelSet* got = arLabelImage(frame.data(), threshold);
  ASSERT_EQ(got != nullptr, want.ok);
  if (!want.ok) return;
  ASSERT_EQ(got->provisionalCount, want.n);
  ASSERT_EQ(got->labelCount, want.labelCount);
  for (size_t i = 0; i < want.image.size(); i++) ASSERT_EQ(got->labelImage[i], want.image[i]) << "cell " << i;
  for (int32_t i = 0; i < want.n; i++) ASSERT_EQ(got->labelRemap[i], want.eq[i + 1]) << i;
  for (int32_t f = 0; f < want.labelCount; f++) {
    ASSERT_EQ(got->labelArea[f], want.area[f]) << f;
    ASSERT_EQ(got->labelCentroid[f][0], want.centroid[2 * f]) << f;
    ASSERT_EQ(got->labelCentroid[f][1], want.centroid[2 * f + 1]) << f;
    for (int k = 0; k < 4; k++) ASSERT_EQ(got->labelClip[f][k], want.clip[4 * f + k]) << f;
  }
}

TEST(LabelImage, MatchesTheDirectAlgorithmOnRandomAndNoisyFrames) {
  std::mt19937 rng(12345);
  std::normal_distribution<double> noise(0.0, 40.0);
  for (int round = 0; round < 40; round++) {
    SCOPED_TRACE(round);
    const int width = 8 + static_cast<int>(rng() % 180), height = 8 + static_cast<int>(rng() % 140);
    TestFrame frame(width, height, 128);
    const int kind = round % 4;
    const unsigned darkPerMille = 200 + 6 * (rng() % 100);
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) {
        if (kind == 0) {  // random bytes
          frame.set(x, y, rng() & 255, rng() & 255, rng() & 255, rng() & 255);
        } else if (kind == 1) {  // random binary
          frame.setGrey(x, y, rng() % 1000 < darkPerMille ? 0 : 255);
        } else {  // blobs and stripes with Gaussian noise
          double v = ((x / 7) + (y / 5)) % 3 == 0 ? 60 : 160;
          if (kind == 3 && (x * x + y * 3) % 23 < 9) v = 40;
          frame.setGrey(x, y, static_cast<uint8_t>(std::clamp(v + noise(rng), 0.0, 255.0)));
        }
      }
    expectSameAsReference(frame, 60 + static_cast<int>(rng() % 90));
  }
  for (int round = 0; round < 3; round++) {  // full-size frames with markers and noise
    SCOPED_TRACE("full size " + std::to_string(round));
    TestFrame frame(640, 480, 128);
    for (int k = 0; k < 6; k++)
      frame.drawMarker(squareCorners(60 + rng() % 520, 60 + rng() % 360, 40 + rng() % 80, rng() % 90), asymmetricPicture(k));
    for (int y = 0; y < 480; y++)
      for (int x = 0; x < 640; x++)
        frame.setGrey(x, y, static_cast<uint8_t>(std::clamp(frame.data()[(y * 640 + x) * 4] + noise(rng) * (round + 1) * 0.6, 0.0, 255.0)));
    expectSameAsReference(frame, 100);
  }
}

}  // namespace
