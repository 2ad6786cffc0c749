// armkpatt, armarker and ardrawpatterns as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tests/test_files.h"
#include "tests/tools/pattern_tools_support.h"
#include "tools/patterns/pattern_designs.h"

namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

TEST(PatternToolsCli, HelpPrintsUsageAndSucceeds) {
  for (const std::string tool : {"armkpatt", "armarker", "ardrawpatterns"}) {
    const ToolRun run = runPatternTool(tool, "--help");
    EXPECT_EQ(run.status, 0) << tool;
    EXPECT_NE(run.output.find("Usage: " + tool), std::string::npos) << run.output;
  }
}

TEST(PatternToolsCli, PictureToPatternToPrintedMarkerAndBackKeepsThePattern) {
  TempDir dir;
  ASSERT_EQ(runPatternTool("ardrawpatterns", quoted(dir.path()) + " 128").status, 0);
  const std::string picture = dir.file("rocket.png"), patt = dir.file("rocket.patt");
  ToolRun run = runPatternTool("armkpatt", quoted(picture) + " " + quoted(patt));
  ASSERT_EQ(run.status, 0) << run.output;
  std::vector<int> original;
  std::string error;
  ASSERT_TRUE(arReadPatternValues(patt, &original, &error) == ArPatternFileStatus::Ok) << error;

  // Printed from the pattern file and from the picture, both read back as the same pattern.
  for (const std::string& input : {patt, picture}) {
    const std::string marker = dir.file("marker.png"), back = dir.file("back.patt");
    const std::string svg = input == patt ? "--svg " + quoted(dir.file("m.svg")) + " " : "";
    run = runPatternTool("armarker", "--size 60 --dpi 150 " + svg + quoted(input) + " " + quoted(marker));
    ASSERT_EQ(run.status, 0) << run.output;
    run = runPatternTool("armkpatt", quoted(marker) + " " + quoted(back));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("inside the black border"), std::string::npos);
    std::vector<int> again;
    ASSERT_TRUE(arReadPatternValues(back, &again, &error) == ArPatternFileStatus::Ok) << error;
    for (int o = 0; o < 4; ++o) EXPECT_GT(arPatternCorrelation(original, o, again, o), 0.95) << input;
  }
  const std::vector<unsigned char> svg = readBytes(dir.file("m.svg"));
  EXPECT_NE(std::string(svg.begin(), svg.end()).find("width=\"80mm\" height=\"80mm\""), std::string::npos);
}

TEST(PatternToolsCli, BadInputFailsWithOneLineNamingTheFileAndTheCause) {
  TempDir dir;
  writeText(dir.file("notes.txt"), "hello");
  SimImage flat;
  flat.width = flat.height = 20;
  flat.channels = 1;
  flat.pixels.assign(400, 128);
  std::string error;
  ASSERT_TRUE(simWritePng(dir.file("flat.png"), flat, &error));
  ASSERT_EQ(runPatternTool("ardrawpatterns", quoted(dir.path())).status, 0);
  struct Case {
    std::string tool, arguments, expected;
    int status;
  };
  const std::vector<Case> cases = {
      {"armkpatt", "", "needs an IMAGE and a PATTERN", 2},
      {"armkpatt", "--bogus a b", "unknown option --bogus", 2},
      {"armkpatt", "--whole --interior a b", "once", 2},
      {"armkpatt", quoted(dir.file("missing.png")) + " out.patt", dir.file("missing.png") + "\": cannot open", 1},
      {"armkpatt", quoted(dir.file("notes.txt")) + " out.patt", dir.file("notes.txt") + "\": not a readable", 1},
      {"armkpatt", quoted(dir.file("flat.png")) + " out.patt", "uniform", 1},
      {"armkpatt", "--whole " + quoted(dir.file("ring.png")) + " out.patt", "no black square border", 1},
      {"armkpatt", quoted(dir.file("ring.png")) + " " + quoted(dir.file("no/such/out.patt")), "no/such/out.patt", 1},
      {"armarker", quoted(dir.file("notes.txt")) + " out.png", dir.file("notes.txt") + "\": value 1 is not an integer", 1},
      {"armarker", quoted(dir.file("missing.patt")) + " out.png", dir.file("missing.patt") + "\": cannot open", 1},
      {"armarker", "--size 0 " + quoted(dir.file("ring.png")) + " out.png", "marker size", 2},
      {"armarker", "--dpi abc " + quoted(dir.file("ring.png")) + " out.png", "--dpi needs a number", 2},
      {"armarker", "--svg x.svg " + quoted(dir.file("ring.png")) + " out.png", "--svg needs a pattern file", 2},
      {"armarker", quoted(dir.file("ring.png")) + " " + quoted(dir.file("no/such/out.png")), "no/such/out.png", 1},
      {"ardrawpatterns", quoted(dir.file("no/such")), "no/such/hook.png", 1},
      {"ardrawpatterns", quoted(dir.path()) + " 8", "SIZE must be", 2},
  };
  for (const Case& c : cases) {
    const ToolRun run = runPatternTool(c.tool, c.arguments);
    EXPECT_EQ(run.status, c.status) << c.tool << " " << c.arguments << ": " << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << c.tool << " " << c.arguments << ": " << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  }
  EXPECT_FALSE(std::ifstream("out.patt").good());
  EXPECT_FALSE(std::ifstream("out.png").good());
}

}  // namespace
