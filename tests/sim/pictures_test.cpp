// Interior pictures: pattern values from and to pictures, and PNG files.
#include <gtest/gtest.h>

#include <string>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tests/test_files.h"

namespace {

// A 16 x 16 RGB picture whose every cell and channel differs, so any misplaced value shows.
SimImage distinctPicture() {
  SimImage image{16, 16, 3, {}};
  for (int i = 0; i < 256; ++i)
    image.pixels.insert(image.pixels.end(), {uint8_t(i), uint8_t(255 - i), uint8_t((i / 16 * 7 + i % 16 * 3) % 256)});
  return image;
}

TEST(PatternPicture, BlocksAreTheUprightPictureTurnedCounterClockwise) {
  const SimImage picture = distinctPicture();
  const auto at = [&](int r, int s, int plane) { return picture.pixels[(r * 16 + s) * 3 + (2 - plane)]; };
  std::vector<int> v;
  ASSERT_TRUE(simPatternValuesFromPicture(picture, &v));
  ASSERT_EQ(v.size(), 3072u);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 16; ++r)
      for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(v[arPatternValueIndex(0, c, r, s)], at(r, s, c));
        EXPECT_EQ(v[arPatternValueIndex(1, c, r, s)], at(s, 15 - r, c));
        EXPECT_EQ(v[arPatternValueIndex(2, c, r, s)], at(15 - r, 15 - s, c));
        EXPECT_EQ(v[arPatternValueIndex(3, c, r, s)], at(15 - s, r, c));
      }
  const SimImage grey{16, 16, 1, std::vector<uint8_t>(256, 40)}, clear{16, 16, 4, std::vector<uint8_t>(1024, 0)};
  ASSERT_TRUE(simPatternValuesFromPicture(grey, &v));
  EXPECT_EQ(v, std::vector<int>(3072, 40));  // grey fills all three planes
  ASSERT_TRUE(simPatternValuesFromPicture(clear, &v));
  EXPECT_EQ(v, std::vector<int>(3072, 255));  // transparent black is white paper
}

// Written as a pattern file, a picture reads back as itself; values beyond a byte are clamped.
TEST(PatternPicture, PatternFilesReadBackAsTheirPicture) {
  TempDir dir;
  std::string error;
  SimImage back, picture = distinctPicture();
  ASSERT_TRUE(simWritePatternFile(dir.file("p.patt"), picture, &error)) << error;
  ASSERT_TRUE(simPictureFromPatternFile(dir.file("p.patt"), &back, &error)) << error;
  EXPECT_EQ(back.pixels, picture.pixels);
  picture.width = 32;
  EXPECT_FALSE(simWritePatternFile(dir.file("big.patt"), picture, &error));
  EXPECT_EQ(error, "\"" + dir.file("big.patt") + "\": the picture must be 16 x 16 pixels");
  std::vector<int> values(3072, 7);
  values[0] = -5, values[1] = 300;
  ASSERT_TRUE(simPictureFromPatternValues(values, &back));
  EXPECT_TRUE(back.pixels[2] == 0 && back.pixels[5] == 255);  // blue of cells (0, 0) and (0, 1)
}

// The physical-size chunk comes right after the header: 11811 pixels per metre (300 dpi) on both
// axes. Unreadable and unwritable files fail with a message naming them.
TEST(SimImage, PngFilesReadBackExactlyAndBadFilesAreNamed) {
  TempDir dir;
  SimImage image{7, 5, 3, {}}, back;
  for (int i = 0; i < 7 * 5 * 3; ++i) image.pixels.push_back(static_cast<uint8_t>(i * 37));
  std::string error;
  ASSERT_TRUE(simWritePng(dir.file("a.png"), image, &error, 11811)) << error;
  ASSERT_TRUE(simLoadImage(dir.file("a.png"), &back, &error)) << error;
  EXPECT_TRUE(back.width == 7 && back.height == 5 && back.channels == 3 && back.pixels == image.pixels);
  const std::vector<unsigned char> bytes = readBytes(dir.file("a.png"));
  ASSERT_GT(bytes.size(), 54u);
  EXPECT_TRUE(std::string(bytes.begin() + 37, bytes.begin() + 41) == "pHYs" && bytes[49] == 1);  // unit: metre
  EXPECT_EQ((bytes[41] << 24) | (bytes[42] << 16) | (bytes[43] << 8) | bytes[44], 11811);
  writeText(dir.file("text.png"), "not an image at all");
  writeBytes(dir.file("cut.png"), {bytes.begin(), bytes.begin() + 40});
  for (const std::string name : {"text.png", "cut.png", "missing.png"}) {
    EXPECT_FALSE(simLoadImage(dir.file(name), &back, &error)) << name;
    EXPECT_TRUE(error.find(dir.file(name)) != std::string::npos && back.pixels.empty() && back.width == 0) << error;
  }
  EXPECT_FALSE(simWritePng(dir.file("none/b.png"), image, &error));
  EXPECT_NE(error.find("none/b.png"), std::string::npos);
  image.pixels.pop_back();
  EXPECT_FALSE(simWritePng(dir.file("b.png"), image, &error));
}

}  // namespace
