// Running the tools as a user does.
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
  std::string out, err;
};

// Runs a tool of the build folder (path below tools/, e.g. "detect/ardetect") with the given
// arguments (shell-quoted by the caller where needed), from the repository root.
inline ToolRun runTool(const std::string& tool, const std::string& arguments) {
  const char* build = std::getenv("AR_TEST_BUILD_DIR");
  const std::string binary = std::string(build ? build : "build/release") + "/tools/" + tool;
  TempDir dir;
  const std::string out = dir.file("out.txt"), err = dir.file("err.txt");
  const int raw = std::system((binary + " " + arguments + " >" + out + " 2>" + err).c_str());
  ToolRun run;
  if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
  std::ifstream outStream(out), errStream(err);
  run.out.assign(std::istreambuf_iterator<char>(outStream), std::istreambuf_iterator<char>());
  run.err.assign(std::istreambuf_iterator<char>(errStream), std::istreambuf_iterator<char>());
  run.output = run.out + run.err;
  return run;
}

// A tool of tools/patterns.
inline ToolRun runPatternTool(const std::string& tool, const std::string& arguments) {
  return runTool("patterns/" + tool, arguments);
}
