#include "sim/pattern_picture.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"

namespace {

// A picture whose every cell and channel differs, so any misplaced value shows.
SimImage distinctPicture() {
  SimImage image;
  image.width = image.height = 16;
  image.channels = 3;
  for (int r = 0; r < 16; ++r)
    for (int s = 0; s < 16; ++s) {
      image.pixels.push_back(static_cast<uint8_t>(r * 16 + s));         // red
      image.pixels.push_back(static_cast<uint8_t>(255 - (r * 16 + s)));  // green
      image.pixels.push_back(static_cast<uint8_t>((r * 7 + s * 3) % 256));  // blue
    }
  return image;
}

int upright(const SimImage& image, int r, int s, int plane) {
  return image.pixels[(r * 16 + s) * 3 + (2 - plane)];
}

TEST(PatternPicture, BlocksAreTheUprightPictureTurnedCounterClockwise) {
  const SimImage picture = distinctPicture();
  std::vector<int> v;
  ASSERT_TRUE(simPatternValuesFromPicture(picture, &v));
  ASSERT_EQ(v.size(), 3072u);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 16; ++r)
      for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(v[arPatternValueIndex(0, c, r, s)], upright(picture, r, s, c));
        EXPECT_EQ(v[arPatternValueIndex(1, c, r, s)], upright(picture, s, 15 - r, c));
        EXPECT_EQ(v[arPatternValueIndex(2, c, r, s)], upright(picture, 15 - r, 15 - s, c));
        EXPECT_EQ(v[arPatternValueIndex(3, c, r, s)], upright(picture, 15 - s, r, c));
      }
}

TEST(PatternPicture, APictureWrittenAsAPatternReadsBackAsTheSamePicture) {
  TempDir dir;
  const SimImage picture = distinctPicture();
  std::string error;
  ASSERT_TRUE(simWritePatternFile(dir.file("p.patt"), picture, &error)) << error;
  SimImage back;
  ASSERT_TRUE(simPictureFromPatternFile(dir.file("p.patt"), &back, &error)) << error;
  EXPECT_EQ(back.pixels, picture.pixels);
  SimImage tooBig = distinctPicture();
  tooBig.width = 32;
  EXPECT_FALSE(simWritePatternFile(dir.file("big.patt"), tooBig, &error));
  EXPECT_NE(error.find("16 x 16"), std::string::npos) << error;
}

TEST(PatternPicture, GreyAndAlphaPicturesFillAllThreePlanes) {
  SimImage grey;
  grey.width = grey.height = 16;
  grey.channels = 1;
  grey.pixels.assign(256, 40);
  std::vector<int> v;
  ASSERT_TRUE(simPatternValuesFromPicture(grey, &v));
  for (int value : v) EXPECT_EQ(value, 40);
  SimImage rgba = grey;
  rgba.channels = 4;
  rgba.pixels.assign(256 * 4, 0);  // transparent black reads as white paper
  ASSERT_TRUE(simPatternValuesFromPicture(rgba, &v));
  EXPECT_EQ(v[0], 255);
  SimImage wrongSize = grey;
  wrongSize.width = 15;
  EXPECT_FALSE(simPatternValuesFromPicture(wrongSize, &v));
}

TEST(PatternPicture, PictureOfValuesClampsToBytes) {
  std::vector<int> v(3072, 7);
  v[0] = -5;
  v[1] = 300;
  SimImage picture;
  ASSERT_TRUE(simPictureFromPatternValues(v, &picture));
  EXPECT_EQ(picture.pixels[2], 0);    // blue of cell (0, 0) clamped from -5
  EXPECT_EQ(picture.pixels[5], 255);  // blue of cell (0, 1) clamped from 300
}

}  // namespace
