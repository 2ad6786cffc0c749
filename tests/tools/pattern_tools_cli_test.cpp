// armkpatt, armarker and ardrawpatterns as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tests/test_files.h"
#include "tests/tools/tool_run.h"
#include "tools/patterns/pattern_designs.h"

namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::vector<int> patternValues(const std::string& path) {
  std::vector<int> values;
  std::string error;
  EXPECT_EQ(arReadPatternValues(path, &values, &error), ArPatternFileStatus::Ok) << error;
  return values;
}

TEST(PatternToolsCli, HelpPrintsUsageAndSucceeds) {
  for (const std::string tool : {"armkpatt", "armarker", "ardrawpatterns"}) {
    const ToolRun run = runPatternTool(tool, "--help");
    EXPECT_EQ(run.status, 0) << tool;
    EXPECT_NE(run.out.find("Usage: " + tool), std::string::npos) << run.output;
  }
}

// Every design drawn by ardrawpatterns makes its shipped pattern again. Printed by armarker (from
// the pattern or from the picture) and read back by armkpatt, each orientation of the pattern
// matches the same orientation of the original best, and well.
TEST(PatternToolsCli, DrawnPrintedAndReadBackPatternsMatchTheShippedOnes) {
  TempDir dir;
  ASSERT_EQ(runPatternTool("ardrawpatterns", quoted(dir.path())).status, 0);
  for (const std::string& name : patternDesignNames()) {
    const std::string shipped = "Data/patterns/" + name + ".patt", made = dir.file(name + ".patt");
    ToolRun run = runPatternTool("armkpatt", "--interior " + quoted(dir.file(name + ".png")) + " " + quoted(made));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(patternValues(made), patternValues(shipped)) << name;
    const std::string input = name == "rocket" ? dir.file(name + ".png") : "--svg " + quoted(dir.file(name + ".svg")) + " " + made;
    ASSERT_EQ(runPatternTool("armarker", "--dpi 200 " + input + " " + quoted(dir.file("marker.png"))).status, 0) << name;
    run = runPatternTool("armkpatt", quoted(dir.file("marker.png")) + " " + quoted(dir.file("back.patt")));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("inside the black border"), std::string::npos);
    const std::vector<int> back = patternValues(dir.file("back.patt")), original = patternValues(shipped);
    for (int o = 0; o < 4; ++o) {
      double best[2] = {-1, -1};  // correlation and orientation of the best match
      for (int b = 0; b < 4; ++b)
        if (arPatternCorrelation(back, o, original, b) > best[0]) best[0] = arPatternCorrelation(back, o, original, b), best[1] = b;
      EXPECT_TRUE(best[1] == o && best[0] > 0.95) << name << " turned " << o << ": " << best[0] << " at " << best[1];
    }
  }
  const std::vector<unsigned char> svg = readBytes(dir.file("hook.svg"));
  EXPECT_NE(std::string(svg.begin(), svg.end()).find("width=\"100mm\" height=\"100mm\""), std::string::npos);
}

TEST(PatternToolsCli, BadInputFailsWithOneLineNamingTheFileAndTheCause) {
  TempDir dir;
  const std::string d = dir.path() + "/";
  writeText(d + "notes.txt", "hello");
  std::string error;
  ASSERT_TRUE(simWritePng(d + "flat.png", SimImage{20, 20, 1, std::vector<uint8_t>(400, 128)}, &error));
  ASSERT_EQ(runPatternTool("ardrawpatterns", quoted(dir.path())).status, 0);
  std::filesystem::create_directories(d + "empty");
  const std::string ring = quoted(d + "ring.png");
  const struct {
    std::string tool, arguments, expected;
    int status;
  } cases[] = {
      {"armkpatt", "", "needs an IMAGE and a PATTERN", 2},
      {"armkpatt", "--bogus a b", "unknown option --bogus", 2},
      {"armkpatt", "--whole --interior a b", "once", 2},
      {"armkpatt", quoted(d + "missing.png") + " out.patt", d + "missing.png\": cannot open", 1},
      {"armkpatt", quoted(d + "notes.txt") + " out.patt", d + "notes.txt\": not a readable", 1},
      {"armkpatt", quoted(d + "flat.png") + " out.patt", "uniform", 1},
      {"armkpatt", "--whole " + ring + " out.patt", "no black square border", 1},
      {"armkpatt", "--interior " + ring + " " + quoted(d + "no/such/out.patt"), "no/such/out.patt", 1},
      {"armkpatt", ring + " out.patt", "no marker found (a black square border around the picture); give --interior", 1},
      {"armkpatt", "--interior " + ring + " " + quoted(d + "r.patt") + " --against " + quoted(d + "none"),
       d + "none\": cannot open the marker table", 1},
      {"armkpatt", "check", "check takes one SET", 2},
      {"armkpatt", "check " + quoted(d + "empty"), d + "empty\": no .patt files in the folder", 1},
      {"armarker", quoted(d + "notes.txt") + " out.png", d + "notes.txt\": value 1 is not an integer", 1},
      {"armarker", quoted(d + "missing.patt") + " out.png", d + "missing.patt\": cannot open", 1},
      {"armarker", "--size 0 " + ring + " out.png", "marker size", 2},
      {"armarker", "--dpi abc " + ring + " out.png", "--dpi needs a number", 2},
      {"armarker", "--svg x.svg " + ring + " out.png", "--svg needs a pattern file", 2},
      {"armarker", ring + " " + quoted(d + "no/such/out.png"), "no/such/out.png", 1},
      {"ardrawpatterns", quoted(d + "no/such"), "no/such/hook.png", 1},
      {"ardrawpatterns", quoted(dir.path()) + " 8", "SIZE must be", 2},
  };
  for (const auto& c : cases) {
    const ToolRun run = runPatternTool(c.tool, c.arguments);
    EXPECT_EQ(run.status, c.status) << c.tool << " " << c.arguments << ": " << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << c.tool << " " << c.arguments << ": " << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  }
  EXPECT_FALSE(std::ifstream("out.patt").good() || std::ifstream("out.png").good());
}

// Patterns that correlate 0.5 or more in some orientation are confusable: the shipped set has
// none; hook with its top-left 150 x 150 of 256 x 256 pixels painted black correlates 0.60 with it.
TEST(PatternToolsCli, ChecksFlagAPatternLikeAShippedOneAndPassTheShippedSet) {
  ToolRun run = runPatternTool("armkpatt", "check Data/patterns");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(run.out.find("no two patterns are confusable") != std::string::npos && run.err.empty()) << run.output;
  TempDir dir;
  SimImage hook;
  std::string error;
  ASSERT_TRUE(simLoadImage("Data/patterns/hook.png", &hook, &error)) << error;
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 150; ++x) hook.pixels[(y * hook.width + x) * hook.channels] = 0;
  ASSERT_TRUE(simWritePng(dir.file("near.png"), hook, &error)) << error;
  std::filesystem::create_directories(dir.file("set"));
  for (const auto& entry : std::filesystem::directory_iterator("Data/patterns"))
    if (entry.path().extension() == ".patt") std::filesystem::copy(entry.path(), dir.file("set"));
  run = runPatternTool("armkpatt", "--interior " + quoted(dir.file("near.png")) + " " + quoted(dir.file("set/near.patt")) +
                                       " --against Data/markerdata.mkd");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.out.find("  hook         0.60  confusable"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("warning: \"" + dir.file("set/near.patt") + "\" is confusable with hook (0.60)"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  run = runPatternTool("armkpatt", "check " + quoted(dir.file("set")));
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_NE(run.err.find("confusable patterns in " + dir.file("set") + ": hook and near (0.60)"), std::string::npos) << run.err;
}

}  // namespace
