// Running the pattern tools and comparing patterns the way the matcher does.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "sim/pattern_file.h"
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

// Normalised correlation of block a of pattern x with block b of pattern y, inverted and
// mean-removed with integer division as the matcher does.
inline double patternCorrelation(const std::vector<int>& x, int a, const std::vector<int>& y, int b) {
  auto centred = [](const std::vector<int>& v, int block) {
    std::vector<long> d(v.begin() + block * kPatternBlockValues, v.begin() + (block + 1) * kPatternBlockValues);
    long sum = 0;
    for (long& value : d) sum += (value = 255 - value);
    const long mean = sum / kPatternBlockValues;
    for (long& value : d) value -= mean;
    return d;
  };
  const std::vector<long> p = centred(x, a), q = centred(y, b);
  double dot = 0, pp = 0, qq = 0;
  for (size_t i = 0; i < p.size(); ++i) dot += double(p[i]) * q[i], pp += double(p[i]) * p[i], qq += double(q[i]) * q[i];
  return dot / std::sqrt(pp) / std::sqrt(qq);
}
