#include "detect/pattern_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tests/test_files.h"

namespace {

TEST(PatternFile, WrittenValuesReadBackAndFailedWritesLeaveNothing) {
  TempDir dir;
  std::vector<int> values(kArPatternFileValues), read;
  for (int i = 0; i < kArPatternFileValues; i++) values[i] = (i * 7) % 256;
  std::string error;
  ASSERT_TRUE(arWritePatternValues(dir.file("p.patt"), values, &error)) << error;
  EXPECT_FALSE(std::ifstream(dir.file("p.patt.part")).good());
  const std::vector<unsigned char> bytes = readBytes(dir.file("p.patt"));
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.substr(0, 16), "  0   7  14  21 ");
  ASSERT_EQ(arReadPatternValues(dir.file("p.patt"), &read, &error), ArPatternFileStatus::Ok) << error;
  EXPECT_EQ(read, values);
  // Signs, tabs and the extremes are read; what follows the last value is ignored.
  ASSERT_EQ(arParsePatternValues("-65536 +65536\t" + text + " 12abc words", "t", &read, &error), ArPatternFileStatus::Ok);
  EXPECT_EQ(std::vector<int>(read.begin(), read.begin() + 4), (std::vector<int>{-65536, 65536, 0, 7}));

  EXPECT_FALSE(arWritePatternValues(dir.file("no/such/p.patt"), values, &error));
  EXPECT_NE(error.find("no/such/p.patt\": cannot create"), std::string::npos) << error;
  EXPECT_FALSE(arWritePatternValues(dir.file("q.patt"), std::vector<int>(5), &error));
  EXPECT_FALSE(std::ifstream(dir.file("q.patt")).good());
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
