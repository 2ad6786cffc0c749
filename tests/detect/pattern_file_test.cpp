#include "detect/pattern_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tests/test_files.h"

namespace {

std::vector<int> distinctValues() {
  std::vector<int> v(kArPatternFileValues);
  for (int i = 0; i < kArPatternFileValues; i++) v[i] = (i * 7) % 256;
  return v;
}

TEST(PatternFile, WriteThenReadGivesBackTheValuesAndTrailingTextIsIgnored) {
  TempDir dir;
  const std::vector<int> values = distinctValues();
  std::string error;
  ASSERT_TRUE(arWritePatternValues(dir.file("p.patt"), values, &error)) << error;
  EXPECT_FALSE(std::ifstream(dir.file("p.patt.part")).good());
  const std::vector<unsigned char> bytes = readBytes(dir.file("p.patt"));
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.substr(0, 16), "  0   7  14  21 ");
  std::vector<int> read;
  ASSERT_EQ(arReadPatternValues(dir.file("p.patt"), &read, &error), ArPatternFileStatus::Ok) << error;
  EXPECT_EQ(read, values);
  ASSERT_EQ(arParsePatternValues("-65536 +65536\t" + text + " 12abc words", "t", &read, &error),
            ArPatternFileStatus::Ok);
  EXPECT_EQ(read[0], -65536);
  EXPECT_EQ(read[1], 65536);
  EXPECT_EQ(read[2], 0);
  EXPECT_EQ(read[3], 7);
}

TEST(PatternFile, BadFilesFailWithTheFileNameAndTheCause) {
  TempDir dir;
  std::string numbers;
  for (int i = 0; i < 3071; ++i) numbers += "1 ";
  const struct {
    std::string name, text;
    ArPatternFileStatus status;
    std::string cause;
  } cases[] = {
      {"short.patt", numbers, ArPatternFileStatus::TooFewValues, "only 3071 of 3072 pattern values"},
      {"empty.patt", "", ArPatternFileStatus::TooFewValues, "only 0 of 3072"},
      {"word.patt", "1 2 x3 4", ArPatternFileStatus::NotAnInteger, "value 3 is not an integer"},
      {"glued.patt", "12abc", ArPatternFileStatus::NotAnInteger, "value 2 is not an integer"},
      {"sign.patt", "1 - 2", ArPatternFileStatus::NotAnInteger, "value 2 is not an integer"},
      {"large.patt", "1 65537", ArPatternFileStatus::OutOfRange, "value 2 is beyond +-65536"},
      {"huge.patt", "-99999999999999999999999", ArPatternFileStatus::OutOfRange, "value 1 is beyond"},
      {"missing.patt", "", ArPatternFileStatus::CannotOpen, "cannot open: No such file"},
      {"", "", ArPatternFileStatus::NotAFile, "is a folder"},
  };
  for (const auto& c : cases) {
    if (c.status != ArPatternFileStatus::CannotOpen && !c.name.empty()) writeText(dir.file(c.name), c.text);
    std::vector<int> v = {1};
    std::string error;
    EXPECT_EQ(arReadPatternValues(dir.file(c.name), &v, &error), c.status) << c.name;
    EXPECT_EQ(error.rfind("\"" + dir.file(c.name) + "\": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.cause), std::string::npos) << error;
    EXPECT_TRUE(v.empty()) << c.name;
  }
}

TEST(PatternFile, WritingIntoAMissingFolderFailsAndLeavesNothing) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(arWritePatternValues(dir.file("no/such/p.patt"), distinctValues(), &error));
  EXPECT_NE(error.find("no/such/p.patt\": cannot create"), std::string::npos) << error;
  EXPECT_FALSE(arWritePatternValues(dir.file("p.patt"), std::vector<int>(5), &error));
  EXPECT_FALSE(std::ifstream(dir.file("p.patt")).good());
}

TEST(PatternCorrelation, InvertsRemovesTheTruncatedMeanAndNormalises) {
  // Block 0 of x: one cell darker; block 1 of y the same picture, block 0 its negative.
  std::vector<int> x(kArPatternFileValues, 200), y(kArPatternFileValues, 200);
  x[0] = 0;
  y[kArPatternBlockValues] = 0;
  y[0] = 255;
  for (int i = 1; i < kArPatternBlockValues; i++) y[i] = 0;
  EXPECT_DOUBLE_EQ(arPatternCorrelation(x, 0, y, 1), 1.0);
  // y's block 0 inverted is 0, 255 ... 255: mean 254.66 truncates to 254, centred -254, 1 ... 1.
  EXPECT_DOUBLE_EQ(arPatternCorrelation(x, 0, y, 0), -254.0 / std::sqrt(254.0 * 254.0 + 767.0));
  EXPECT_EQ(arPatternCorrelation(x, 1, y, 1), 0.0);  // block 1 of x is flat
  int block = -1;
  EXPECT_DOUBLE_EQ(arPatternSimilarity(x, y, &block), 1.0);
  EXPECT_EQ(block, 1);
}

}  // namespace
