#include "detect/labeling.h"

#include <gtest/gtest.h>

#include <random>

#include "detect_test_support.h"
#include "labeling_reference.h"

namespace {

int regionOf(const LabelSet* labels, int width, int x, int y) {
  const int c = labels->labelImage[y * width + x];
  return c > 0 ? labels->labelRemap[c - 1] : 0;
}

TEST(LabelImage, AllBrightFrameHasNoRegions) {
  useTestCamera(32, 24);
  TestFrame frame(32, 24, 101);
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->labelCount, 0);
}

TEST(LabelImage, SumExactlyThreeTimesThresholdIsDarkAndOneMoreIsBright) {
  useTestCamera(16, 16);
  TestFrame frame(16, 16, 255);
  frame.set(4, 4, 100, 99, 101);       // 300: dark
  frame.set(10, 10, 100, 100, 101);    // 301: bright
  frame.set(10, 4, 255, 45, 0, 0);     // 300 with alpha 0: dark, alpha plays no part
  frame.set(4, 10, 1, 200, 100, 0);    // 301 with alpha 0: bright
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->labelCount, 2);
  EXPECT_GT(regionOf(labels, 16, 4, 4), 0);
  EXPECT_GT(regionOf(labels, 16, 10, 4), 0);
  EXPECT_EQ(regionOf(labels, 16, 10, 10), 0);
  EXPECT_EQ(regionOf(labels, 16, 4, 10), 0);
}

TEST(LabelImage, DiagonalNeighboursJoinOneRegionBothWays) {
  useTestCamera(16, 16);
  TestFrame frame(16, 16);
  frame.setGrey(3, 3, 0);
  frame.setGrey(4, 4, 0);  // down-right of (3, 3)
  frame.setGrey(10, 3, 0);
  frame.setGrey(9, 4, 0);  // down-left of (10, 3)
  frame.setGrey(3, 10, 0);
  frame.setGrey(5, 10, 0);  // a gap of one pixel: separate
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->labelCount, 4);
  EXPECT_EQ(regionOf(labels, 16, 3, 3), regionOf(labels, 16, 4, 4));
  EXPECT_EQ(regionOf(labels, 16, 10, 3), regionOf(labels, 16, 9, 4));
  EXPECT_NE(regionOf(labels, 16, 3, 10), regionOf(labels, 16, 5, 10));
}

TEST(LabelImage, RegionsAreNumberedByTheirFirstPixelInRasterOrder) {
  useTestCamera(20, 12);
  TestFrame frame(20, 12);
  frame.fillRect(12, 5, 14, 8, 0);  // starts on row 5
  frame.fillRect(2, 6, 4, 9, 0);    // starts on row 6, further left
  frame.fillRect(7, 2, 8, 3, 0);    // topmost
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  ASSERT_EQ(labels->labelCount, 3);
  EXPECT_EQ(regionOf(labels, 20, 7, 2), 1);
  EXPECT_EQ(regionOf(labels, 20, 12, 5), 2);
  EXPECT_EQ(regionOf(labels, 20, 2, 6), 3);
}

TEST(LabelImage, UShapeJoinedBelowIsOneRegionWithAllProvisionalLabelsMapped) {
  // Three arms joined by a bottom bar: three provisional labels merge into one region, and a
  // separate blob after the U keeps the next final label.
  useTestCamera(24, 16);
  TestFrame frame(24, 16);
  frame.fillRect(2, 2, 3, 10, 0);
  frame.fillRect(8, 3, 9, 10, 0);
  frame.fillRect(14, 2, 15, 10, 0);
  frame.fillRect(2, 11, 15, 12, 0);
  frame.fillRect(19, 4, 20, 5, 0);  // separate, first pixel on row 4
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->provisionalCount, 4);
  ASSERT_EQ(labels->labelCount, 2);
  EXPECT_EQ(labels->labelRemap[0], 1);  // left arm
  EXPECT_EQ(labels->labelRemap[1], 1);  // right arm, row 2
  EXPECT_EQ(labels->labelRemap[2], 1);  // middle arm, row 3
  EXPECT_EQ(labels->labelRemap[3], 2);  // blob
  EXPECT_EQ(labels->labelArea[0], 2 * 9 * 3 - 2 + 14 * 2);
  EXPECT_EQ(labels->labelArea[1], 4);
  const int32_t* clip = labels->labelClip[0];
  EXPECT_EQ(clip[0], 2);
  EXPECT_EQ(clip[1], 15);
  EXPECT_EQ(clip[2], 2);
  EXPECT_EQ(clip[3], 12);
}

TEST(LabelImage, ClipAndCentroidOfAnIrregularRegion) {
  // A staircase whose leftmost and rightmost pixels are reached only through merges and
  // up-right/up-left steps, so every extent rule has to contribute.
  useTestCamera(20, 20);
  TestFrame frame(20, 20);
  const int pixels[][2] = {{9, 2}, {8, 3}, {10, 3}, {7, 4}, {11, 4}, {6, 5}, {12, 5}, {7, 6}, {8, 6},
                           {9, 6}, {10, 6}, {11, 6}, {3, 7}, {4, 7}, {5, 7}, {6, 7}, {13, 8}, {12, 7}};
  double sx = 0, sy = 0;
  for (const auto& p : pixels) {
    frame.setGrey(p[0], p[1], 0);
    sx += p[0];
    sy += p[1];
  }
  const int n = static_cast<int>(sizeof(pixels) / sizeof(pixels[0]));
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  ASSERT_EQ(labels->labelCount, 1);
  EXPECT_EQ(labels->labelArea[0], n);
  EXPECT_DOUBLE_EQ(labels->labelCentroid[0][0], sx / n);
  EXPECT_DOUBLE_EQ(labels->labelCentroid[0][1], sy / n);
  EXPECT_EQ(labels->labelClip[0][0], 3);
  EXPECT_EQ(labels->labelClip[0][1], 13);
  EXPECT_EQ(labels->labelClip[0][2], 2);
  EXPECT_EQ(labels->labelClip[0][3], 8);
}

TEST(LabelImage, OutermostRingIsNeverLabelled) {
  useTestCamera(12, 10);
  TestFrame frame(12, 10, 0);  // everything dark
  const LabelSet* labels = arLabelImage(frame.data(), 100);
  ASSERT_NE(labels, nullptr);
  ASSERT_EQ(labels->labelCount, 1);
  for (int x = 0; x < 12; x++) {
    EXPECT_EQ(labels->labelImage[x], 0);
    EXPECT_EQ(labels->labelImage[9 * 12 + x], 0);
  }
  for (int y = 0; y < 10; y++) {
    EXPECT_EQ(labels->labelImage[y * 12], 0);
    EXPECT_EQ(labels->labelImage[y * 12 + 11], 0);
  }
  EXPECT_EQ(labels->labelArea[0], 10 * 8);
  EXPECT_EQ(labels->labelClip[0][0], 1);
  EXPECT_EQ(labels->labelClip[0][1], 10);
  EXPECT_EQ(labels->labelClip[0][2], 1);
  EXPECT_EQ(labels->labelClip[0][3], 8);
}

TEST(LabelImage, BorderRingIsClearedWhenTheFrameSizeChanges) {
  useTestCamera(40, 30);
  TestFrame big(40, 30, 0);
  ASSERT_NE(arLabelImage(big.data(), 100), nullptr);
  useTestCamera(30, 20);
  TestFrame small(30, 20, 255);
  const LabelSet* labels = arLabelImage(small.data(), 100);
  ASSERT_NE(labels, nullptr);
  for (int i = 0; i < 30 * 20; i++) ASSERT_EQ(labels->labelImage[i], 0) << i;
}

// A checkerboard of isolated dark pixels needs one provisional label per dark pixel.
TestFrame isolatedDots(int width, int height, int dots) {
  TestFrame frame(width, height, 255);
  int placed = 0;
  for (int y = 1; y < height - 1 && placed < dots; y += 2)
    for (int x = 1; x < width - 1 && placed < dots; x += 2, placed++) frame.setGrey(x, y, 0);
  return frame;
}

TEST(LabelImage, ExactlyTheLabelCapacitySucceedsAndOneMoreFails) {
  useTestCamera(400, 400);
  TestFrame full = isolatedDots(400, 400, kArMaxLabels);
  const LabelSet* labels = arLabelImage(full.data(), 100);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->labelCount, kArMaxLabels);
  // The last label, 32768, must still read as a labelled cell.
  int lastX = 0, lastY = 0, placed = 0;
  for (int y = 1; y < 399 && placed < kArMaxLabels; y += 2)
    for (int x = 1; x < 399 && placed < kArMaxLabels; x += 2, placed++) lastX = x, lastY = y;
  EXPECT_EQ(labels->labelImage[lastY * 400 + lastX], kArMaxLabels);
  EXPECT_EQ(labels->labelArea[kArMaxLabels - 1], 1);

  TestFrame over = isolatedDots(400, 400, kArMaxLabels + 1);
  EXPECT_EQ(arLabelImage(over.data(), 100), nullptr);
}

TEST(LabelImage, FrameLargerThanTheLabelImageIsRefused) {
  useTestCamera(1025, 1024);
  std::vector<uint8_t> frame(4 * 1024, 0);  // only the first row exists: must not be read further
  EXPECT_EQ(arLabelImage(frame.data(), 100), nullptr);
}

void expectSameAsReference(const TestFrame& frame, int threshold, const std::string& what) {
  SCOPED_TRACE(what);
  const ReferenceLabels want = referenceLabelImage(frame.data(), frame.width(), frame.height(), threshold);
  const LabelSet* got = arLabelImage(frame.data(), threshold);
  ASSERT_EQ(got != nullptr, want.ok);
  if (!want.ok) return;
  ASSERT_EQ(got->provisionalCount, want.provisionalCount);
  ASSERT_EQ(got->labelCount, want.labelCount);
  const size_t cells = static_cast<size_t>(frame.width()) * frame.height();
  for (size_t i = 0; i < cells; i++) ASSERT_EQ(got->labelImage[i], want.image[i]) << "cell " << i;
  for (int32_t i = 0; i < want.provisionalCount; i++) ASSERT_EQ(got->labelRemap[i], want.remap[i]) << i;
  for (int32_t f = 0; f < want.labelCount; f++) {
    ASSERT_EQ(got->labelArea[f], want.area[f]) << f;
    ASSERT_EQ(got->labelCentroid[f][0], want.centroid[2 * f]) << f;
    ASSERT_EQ(got->labelCentroid[f][1], want.centroid[2 * f + 1]) << f;
    for (int k = 0; k < 4; k++) ASSERT_EQ(got->labelClip[f][k], want.clip[4 * f + k]) << f;
  }
}

TEST(LabelImage, MatchesTheDirectAlgorithmOnRandomAndNoisyFrames) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 40; round++) {
    const int width = 8 + static_cast<int>(rng() % 180);
    const int height = 8 + static_cast<int>(rng() % 140);
    useTestCamera(width, height);
    TestFrame frame(width, height, 128);
    const int kind = round % 4;
    std::uniform_int_distribution<int> byte(0, 255);
    std::normal_distribution<double> noise(0.0, 40.0);
    const double darkShare = 0.2 + 0.6 * (rng() % 100) / 100.0;
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        if (kind == 0) {  // uniform random bytes
          frame.set(x, y, byte(rng), byte(rng), byte(rng), byte(rng));
        } else if (kind == 1) {  // random binary with a varying share of dark pixels
          frame.setGrey(x, y, (rng() % 1000) < darkShare * 1000 ? 0 : 255);
        } else {  // blobs and stripes with Gaussian noise
          double v = 160;
          if (((x / 7) + (y / 5)) % 3 == 0) v = 60;
          if (kind == 3 && (x * x + y * 3) % 23 < 9) v = 40;
          v += noise(rng);
          frame.setGrey(x, y, static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)));
        }
      }
    }
    expectSameAsReference(frame, 60 + static_cast<int>(rng() % 90), "round " + std::to_string(round));
  }
}

TEST(LabelImage, MatchesTheDirectAlgorithmOnFullSizeNoisyFrames) {
  std::mt19937 rng(777);
  std::normal_distribution<double> noise(0.0, 25.0);
  useTestCamera(640, 480);
  for (int round = 0; round < 3; round++) {
    TestFrame frame(640, 480, 128);
    for (int k = 0; k < 6; k++) {
      const double cx = 60 + rng() % 520, cy = 60 + rng() % 360;
      frame.drawMarker(squareCorners(cx, cy, 40 + rng() % 80, rng() % 90), asymmetricPicture(k));
    }
    for (int y = 0; y < 480; y++) {
      for (int x = 0; x < 640; x++) {
        const uint8_t* p = frame.data() + (y * 640 + x) * 4;
        frame.setGrey(x, y, static_cast<uint8_t>(std::clamp(p[0] + noise(rng) * (round + 1), 0.0, 255.0)));
      }
    }
    expectSameAsReference(frame, 100, "round " + std::to_string(round));
  }
}

}  // namespace
