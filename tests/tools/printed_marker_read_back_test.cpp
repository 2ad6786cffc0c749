// A printed marker read back by armkpatt matches its pattern, in every orientation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "detect/pattern_file.h"
#include "tests/test_files.h"
#include "tests/tools/tool_run.h"
#include "tools/patterns/pattern_designs.h"

namespace {

TEST(PrintedMarkerReadBack, ArmarkerThenArmkpattMatchesTheShippedPatternInTheMatcher) {
  TempDir dir;
  for (const std::string& name : patternDesignNames()) {
    const std::string original = "Data/patterns/" + name + ".patt";
    const std::string marker = dir.file(name + ".png"), back = dir.file(name + ".patt");
    ASSERT_EQ(runPatternTool("armarker", "--dpi 200 " + original + " " + marker).status, 0);
    ASSERT_EQ(runPatternTool("armkpatt", marker + " " + back).status, 0);
    std::vector<int> values, originalValues;
    std::string error;
    ASSERT_EQ(arReadPatternValues(back, &values, &error), ArPatternFileStatus::Ok) << error;
    ASSERT_EQ(arReadPatternValues(original, &originalValues, &error), ArPatternFileStatus::Ok) << error;
    // Every orientation of the read-back pattern, taken as a sampled interior, matches the same
    // orientation of the original best.
    for (int o = 0; o < 4; ++o) {
      int best = -1;
      double cf = -1;
      for (int b = 0; b < 4; ++b) {
        const double c = arPatternCorrelation(values, o, originalValues, b);
        if (c > cf) cf = c, best = b;
      }
      EXPECT_EQ(best, o) << name;
      EXPECT_GT(cf, 0.95) << name;
    }
  }
}

}  // namespace
