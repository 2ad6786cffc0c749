// Running the tools as a user does.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sim/pattern_picture.h"
#include "tests/test_files.h"

struct ToolRun {
  int status = -1;       // exit status, -1 when the tool did not exit normally
  std::string out, err;  // standard output and standard error
  std::string output;    // both together
};

// Runs a tool of the build folder (path below tools/, e.g. "detect/ardetect") with the given
// arguments (shell-quoted by the caller where needed), from the repository root.
inline ToolRun runTool(const std::string& tool, const std::string& arguments) {
  const char* build = std::getenv("AR_TEST_BUILD_DIR");
  TempDir dir;
  const int raw = std::system((std::string(build ? build : "build/release") + "/tools/" + tool + " " + arguments + " >" +
                               dir.file("out") + " 2>" + dir.file("err")).c_str());
  const std::vector<unsigned char> out = readBytes(dir.file("out")), err = readBytes(dir.file("err"));
  ToolRun run{raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {out.begin(), out.end()}, {err.begin(), err.end()}, {}};
  run.output = run.out + run.err;
  return run;
}

// A tool of tools/patterns.
inline ToolRun runPatternTool(const std::string& tool, const std::string& arguments) { return runTool("patterns/" + tool, arguments); }
