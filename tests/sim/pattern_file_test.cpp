#include "sim/pattern_file.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
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

TEST(PatternFile, BlocksAreTheUprightPictureTurnedCounterClockwise) {
  const SimImage picture = distinctPicture();
  std::vector<int> v;
  ASSERT_TRUE(simPatternValuesFromPicture(picture, &v));
  ASSERT_EQ(v.size(), 3072u);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 16; ++r)
      for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(v[patternValueIndex(0, c, r, s)], upright(picture, r, s, c));
        EXPECT_EQ(v[patternValueIndex(1, c, r, s)], upright(picture, s, 15 - r, c));
        EXPECT_EQ(v[patternValueIndex(2, c, r, s)], upright(picture, 15 - r, 15 - s, c));
        EXPECT_EQ(v[patternValueIndex(3, c, r, s)], upright(picture, 15 - s, r, c));
      }
}

TEST(PatternFile, WriteThenReadGivesBackTheValuesAndThePicture) {
  TempDir dir;
  const SimImage picture = distinctPicture();
  std::string error;
  ASSERT_TRUE(simWritePatternFile(dir.file("p.patt"), picture, &error)) << error;
  std::vector<int> expected, read;
  simPatternValuesFromPicture(picture, &expected);
  ASSERT_TRUE(simReadPatternValues(dir.file("p.patt"), &read, &error)) << error;
  EXPECT_EQ(read, expected);
  SimImage back;
  ASSERT_TRUE(simPictureFromPatternFile(dir.file("p.patt"), &back, &error)) << error;
  EXPECT_EQ(back.pixels, picture.pixels);
  EXPECT_FALSE(std::ifstream(dir.file("p.patt.part")).good());
}

TEST(PatternFile, GreyAndAlphaPicturesFillAllThreePlanes) {
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

TEST(PatternFile, ReadingKeepsOutOfRangeValuesAndIgnoresTrailingText) {
  TempDir dir;
  std::string text = "-5 300";
  for (int i = 2; i < 3072; ++i) text += " 7";
  writeText(dir.file("p.patt"), text + "\n 1 2 trailing words");
  std::vector<int> v;
  std::string error;
  ASSERT_TRUE(simReadPatternValues(dir.file("p.patt"), &v, &error)) << error;
  EXPECT_EQ(v[0], -5);
  EXPECT_EQ(v[1], 300);
  SimImage picture;
  ASSERT_TRUE(simPictureFromPatternValues(v, &picture));
  EXPECT_EQ(picture.pixels[2], 0);    // blue of cell (0, 0) clamped from -5
  EXPECT_EQ(picture.pixels[5], 255);  // blue of cell (0, 1) clamped from 300
}

TEST(PatternFile, BadFilesFailWithTheFileNameAndTheCause) {
  TempDir dir;
  std::string numbers;
  for (int i = 0; i < 3071; ++i) numbers += "1 ";
  writeText(dir.file("short.patt"), numbers);
  writeText(dir.file("word.patt"), "1 2 x3 4");
  writeText(dir.file("glued.patt"), "12abc");
  writeText(dir.file("huge.patt"), "1 99999999999999999999");
  writeText(dir.file("empty.patt"), "");
  const std::array<std::pair<std::string, std::string>, 7> cases = {{
      {"short.patt", "only 3071 of 3072"},
      {"word.patt", "value 3 is not an integer"},
      {"glued.patt", "value 1 is not an integer"},
      {"huge.patt", "value 2 is not an integer"},
      {"empty.patt", "only 0 of 3072"},
      {"missing.patt", "cannot open"},
      {"", "is a folder"},
  }};
  for (const auto& [name, cause] : cases) {
    std::vector<int> v;
    std::string error;
    EXPECT_FALSE(simReadPatternValues(dir.file(name), &v, &error)) << name;
    EXPECT_NE(error.find(dir.file(name)), std::string::npos) << error;
    EXPECT_NE(error.find(cause), std::string::npos) << error;
    EXPECT_TRUE(v.empty());
  }
}

TEST(PatternFile, MangledTextNeverBreaksTheParser) {
  SimImage picture = distinctPicture();
  std::vector<int> values;
  simPatternValuesFromPicture(picture, &values);
  std::string valid;
  for (int v : values) valid += std::to_string(v) + " ";
  std::mt19937 random(12345);
  const std::string alphabet = "0123456789 \n\t+-x\0\xff";
  for (int round = 0; round < 3000; ++round) {
    std::string text = valid.substr(0, random() % (valid.size() + 1));
    for (int edit = random() % 6; edit > 0; --edit) {
      const size_t at = random() % (text.size() + 1);
      const char ch = alphabet[random() % alphabet.size()];
      if (random() % 2) text.insert(at, 1, ch);
      else if (at < text.size()) text[at] = ch;
    }
    std::vector<int> parsed;
    std::string error;
    if (simParsePatternValues(text, "mangled", &parsed, &error)) {
      EXPECT_EQ(parsed.size(), 3072u);
    } else {
      EXPECT_TRUE(parsed.empty());
      EXPECT_EQ(error.rfind("\"mangled\": ", 0), 0u) << error;
    }
  }
}

TEST(PatternFile, WritingIntoAMissingFolderFailsAndLeavesNothing) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(simWritePatternFile(dir.file("no/such/p.patt"), distinctPicture(), &error));
  EXPECT_NE(error.find("no/such/p.patt"), std::string::npos);
  SimImage tooBig = distinctPicture();
  tooBig.width = 32;
  EXPECT_FALSE(simWritePatternFile(dir.file("p.patt"), tooBig, &error));
  EXPECT_FALSE(std::ifstream(dir.file("p.patt")).good());
}

}  // namespace
