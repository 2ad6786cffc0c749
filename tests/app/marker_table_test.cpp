#include "app/marker_table.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"

namespace {

MarkerTable readText(const std::string& text) {
  TempDir dir;
  const std::string path = dir.file("markerdata.mkd");
  writeText(path, text);
  MarkerTable t;
  t.count = -1;
  EXPECT_TRUE(readMarkerTableFrom(path.c_str(), t));
  return t;
}

TEST(MarkerTable, FullRow) {
  const MarkerTable t = readText("header\nData/a.3ds,Data/tex/,2.5,Data/a.patt,10,-5,80\n");
  ASSERT_EQ(t.count, 1);
  const MarkerEntry& e = t.entries[0];
  EXPECT_STREQ(e.modelPath, "Data/a.3ds");
  EXPECT_STREQ(e.texturePrefix, "Data/tex/");
  EXPECT_EQ(e.scale, 2.5f);
  EXPECT_STREQ(e.patternFile, "Data/a.patt");
  EXPECT_EQ(e.centerX, 10.0);
  EXPECT_EQ(e.centerY, -5.0);
  EXPECT_EQ(e.width, 80.0f);
}

TEST(MarkerTable, HeaderOnlyAndTrailingNewlines) {
  EXPECT_EQ(readText("whatever,is,here\n").count, 0);
  EXPECT_EQ(readText("header").count, 0);
  EXPECT_EQ(readText("h\na,b,1,p,0,0,80\n").count, 1);
  EXPECT_EQ(readText("h\na,b,1,p,0,0,80").count, 1);
  // An empty last line is a row of empty texts and zeros.
  const MarkerTable t = readText("h\na,b,1,p,0,0,80\n\n");
  ASSERT_EQ(t.count, 2);
  EXPECT_STREQ(t.entries[1].modelPath, "");
  EXPECT_STREQ(t.entries[1].patternFile, "");
  EXPECT_EQ(t.entries[1].width, 0.0f);
}

TEST(MarkerTable, MissingTrailingFieldsRepeatTheLastOne) {
  const MarkerTable t = readText("h\na,b,c\n");
  ASSERT_EQ(t.count, 1);
  EXPECT_STREQ(t.entries[0].modelPath, "a");
  EXPECT_STREQ(t.entries[0].texturePrefix, "b");
  EXPECT_EQ(t.entries[0].scale, 0.0f);  // "c" has no number prefix
  EXPECT_STREQ(t.entries[0].patternFile, "c");
  EXPECT_EQ(t.entries[0].centerX, 0.0);
  EXPECT_EQ(t.entries[0].width, 0.0f);

  const MarkerTable numeric = readText("h\na,b,3.5\n");
  EXPECT_STREQ(numeric.entries[0].patternFile, "3.5");
  EXPECT_EQ(numeric.entries[0].centerX, 3.5);
  EXPECT_EQ(numeric.entries[0].width, 3.5f);
}

TEST(MarkerTable, CommaAtLineEndGivesAnEmptyField) {
  const MarkerTable t = readText("h\na,b,c,\n");
  ASSERT_EQ(t.count, 1);
  EXPECT_STREQ(t.entries[0].patternFile, "");
  EXPECT_EQ(t.entries[0].centerX, 0.0);
  EXPECT_EQ(t.entries[0].width, 0.0f);
}

TEST(MarkerTable, NumbersTakeTheirDecimalPrefix) {
  const MarkerTable t = readText("h\nm,p,  2.5abc,pat,abc,-1e1x,0.1\n");
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.entries[0].scale, 2.5f);
  EXPECT_EQ(t.entries[0].centerX, 0.0);
  EXPECT_EQ(t.entries[0].centerY, -10.0);
  EXPECT_EQ(t.entries[0].width, 0.1f);  // stored in single precision
}

TEST(MarkerTable, TextsAreNotTrimmed) {
  const MarkerTable t = readText("h\nm, Data/,1, p ,0,0,80,extra,fields\n");
  EXPECT_STREQ(t.entries[0].texturePrefix, " Data/");
  EXPECT_STREQ(t.entries[0].patternFile, " p ");
  EXPECT_EQ(t.entries[0].width, 80.0f);
}

TEST(MarkerTable, CarriageReturnBeforeLineFeedIsDropped) {
  const MarkerTable t = readText("h\r\nm,t,1,p,0,0,80\r\nm2,t2,1,p2,0,0,40\r\n");
  ASSERT_EQ(t.count, 2);
  EXPECT_EQ(t.entries[0].width, 80.0f);
  EXPECT_STREQ(t.entries[1].patternFile, "p2");
  const MarkerTable shortRow = readText("h\r\nm,t,p\r\n");
  EXPECT_STREQ(shortRow.entries[0].patternFile, "p");
}

TEST(MarkerTable, OverLongTextKeepsTheFirst255Characters) {
  const std::string longName(300, 'x');
  testing::internal::CaptureStderr();
  const MarkerTable t = readText("h\n" + longName + ",t,1,p,0,0,80\n");
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(std::string(t.entries[0].modelPath), std::string(255, 'x'));
  EXPECT_STREQ(t.entries[0].texturePrefix, "t");
  EXPECT_NE(err.find(":2: model path longer than 255"), std::string::npos) << err;
  EXPECT_EQ(std::string(readText("h\n" + std::string(255, 'y') + ",t\n").entries[0].modelPath).size(), 255u);
}

TEST(MarkerTable, RowsBeyond32AreIgnoredWithOneMessage) {
  std::string text = "h\n";
  for (int i = 0; i < 40; i++) text += "m" + std::to_string(i) + ",t,1,p,0,0,80\n";
  testing::internal::CaptureStderr();
  const MarkerTable t = readText(text);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(t.count, 32);
  EXPECT_STREQ(t.entries[31].modelPath, "m31");
  EXPECT_NE(err.find("ignored the 8 rows"), std::string::npos) << err;
}

TEST(MarkerTable, MissingFileGivesAnEmptyTable) {
  TempDir dir;
  MarkerTable t;
  t.count = 7;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(readMarkerTableFrom(dir.file("nope.mkd").c_str(), t));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(t.count, 0);
  EXPECT_NE(err.find("nope.mkd"), std::string::npos);
}

}  // namespace
