// Running the pattern tools and comparing patterns the way the matcher does.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "sim/pattern_picture.h"
#include "tests/test_files.h"

struct ToolRun {
  int status = -1;     // exit status, -1 when the tool did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs a tool of tools/patterns in the build folder with the given arguments (shell-quoted
// by the caller where needed).
inline ToolRun runPatternTool(const std::string& tool, const std::string& arguments) {
  const char* build = std::getenv("AR_TEST_BUILD_DIR");
  const std::string binary = std::string(build ? build : "build/release") + "/tools/patterns/" + tool;
  TempDir dir;
  const std::string log = dir.file("output.txt");
  const int raw = std::system((binary + " " + arguments + " >" + log + " 2>&1").c_str());
  ToolRun run;
  if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
  std::ifstream in(log);
  run.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}
