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
  ToolRun run = runPatternTool("armkpatt", "--interior " + quoted(picture) + " " + quoted(patt));
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
  std::filesystem::create_directories(dir.file("empty"));
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
      {"armkpatt", "--interior " + quoted(dir.file("ring.png")) + " " + quoted(dir.file("no/such/out.patt")),
       "no/such/out.patt", 1},
      {"armkpatt", quoted(dir.file("ring.png")) + " out.patt", "no marker found (a black square border around the picture); give --interior", 1},
      {"armkpatt", "--interior " + quoted(dir.file("ring.png")) + " " + quoted(dir.file("r.patt")) + " --against " +
                       quoted(dir.file("none")), dir.file("none") + "\": cannot open the marker table", 1},
      {"armkpatt", "check", "check takes one SET", 2},
      {"armkpatt", "check " + quoted(dir.file("empty")), dir.file("empty") + "\": no .patt files in the folder", 1},
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

TEST(PatternToolsCli, ChecksFlagANearCopyOfAShippedPatternAndPassTheShippedSet) {
  ToolRun run = runPatternTool("armkpatt", "check Data/patterns");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.out.find("no two patterns are confusable"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");

  // hook with one corner block painted over.
  TempDir dir;
  SimImage hook;
  std::string error;
  ASSERT_TRUE(simLoadImage("Data/patterns/hook.png", &hook, &error)) << error;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) hook.pixels[(y * hook.width + x) * hook.channels] = 0;
  ASSERT_TRUE(simWritePng(dir.file("near.png"), hook, &error)) << error;
  std::filesystem::create_directories(dir.file("set"));
  for (const auto& entry : std::filesystem::directory_iterator("Data/patterns"))
    if (entry.path().extension() == ".patt") std::filesystem::copy(entry.path(), dir.file("set"));
  run = runPatternTool("armkpatt", "--interior " + quoted(dir.file("near.png")) + " " + quoted(dir.file("set/near.patt")) +
                                       " --against Data/markerdata.mkd");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.out.find("  hook         0.9"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("warning: \"" + dir.file("set/near.patt") + "\" is confusable with hook (0.9"),
            std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;

  run = runPatternTool("armkpatt", "check " + quoted(dir.file("set")));
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_NE(run.err.find("confusable patterns in " + dir.file("set") + ": hook and near (0.9"), std::string::npos)
      << run.err;
}

}  // namespace
