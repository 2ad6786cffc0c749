#include "app/marker_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/test_files.h"

namespace {

// Each case: the file's text, the rows read, one row as "model|prefix|scale|pattern|x|y|width"
// and what is said on standard error.
TEST(MarkerTable, RowsAreReadFieldByFieldAsWritten) {
  TempDir dir;
  std::string forty = "h\n";
  for (int i = 0; i < 40; i++) forty += "m" + std::to_string(i) + ",t,1,p,0,0,80\n";
  const struct {
    std::string text;
    int count, row;
    std::string fields, said;
  } cases[] = {
      {"h\nData/a.3ds,Data/tex/,2.5,Data/a.patt,10,-5,80\n", 1, 0, "Data/a.3ds|Data/tex/|2.5|Data/a.patt|10|-5|80", ""},
      {"whatever,is,here\n", 0, -1, "", ""},
      {"h\na,b,1,p,0,0,80", 1, 0, "a|b|1|p|0|0|80", ""},
      {"h\na,b,1,p,0,0,80\n\n", 2, 1, "||0||0|0|0", ""},  // an empty last line is a row
      {"h\na,b,c\n", 1, 0, "a|b|0|c|0|0|0", ""},          // missing fields repeat the last one
      {"h\na,b,c,\n", 1, 0, "a|b|0||0|0|0", ""},
      {"h\nm,p,  2.5abc,pat,abc,-1e1x,0.1\n", 1, 0, "m|p|2.5|pat|0|-10|0.1", ""},  // numbers take their prefix
      {"h\nm, Data/,1, p ,0,0,80,extra,fields\n", 1, 0, "m| Data/|1| p |0|0|80", ""},
      {"h\r\nm,t,1,p,0,0,80\r\nm2,t2,1,p2,0,0,40\r\n", 2, 1, "m2|t2|1|p2|0|0|40", ""},
      {"h\r\nm,t,p\r\n", 1, 0, "m|t|0|p|0|0|0", ""},
      {"h\n" + std::string(300, 'x') + ",t,1,p,0,0,80\n", 1, 0, std::string(255, 'x') + "|t|1|p|0|0|80",
       ":2: model path longer than 255 characters; keeping the first 255"},
      {forty, 32, 31, "m31|t|1|p|0|0|80", ": only 32 rows are supported; ignored the 8 rows after them"},
  };
  for (const auto& c : cases) {
    writeText(dir.file("table.mkd"), c.text);
    MarkerTable t;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(readMarkerTableFrom(dir.file("table.mkd").c_str(), t));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(t.count, c.count) << c.text;
    EXPECT_EQ(said.empty(), c.said.empty()) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    if (c.row < 0) continue;
    const MarkerEntry& e = t.entries[c.row];
    std::ostringstream fields;  // numbers with 6 significant digits
    fields << e.modelPath << '|' << e.texturePrefix << '|' << e.scale << '|' << e.patternFile << '|' << e.centerX
           << '|' << e.centerY << '|' << e.width;
    EXPECT_EQ(fields.str(), c.fields) << c.text;
  }
}

TEST(MarkerTable, UnreadableFileGivesAnEmptyTableNamingItAndTheCause) {
  TempDir dir;
  for (auto [path, cause] : {std::pair{dir.file("nope.mkd"), "open the marker table (No such file or directory)"},
                             {dir.path(), "read the marker table (Is a directory)"}}) {
    MarkerTable t = {7, {}};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readMarkerTableFrom(path.c_str(), t));
    EXPECT_EQ(t.count, 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, path + ": cannot " + cause + "; no markers will be tracked\n");
  }
}

}  // namespace
