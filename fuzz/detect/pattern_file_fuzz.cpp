// Feeds arbitrary bytes to the pattern file reader through a temporary file and, when a pattern
// loads, matches a fixed grid against the store so that the templates are exercised too.
#include <cstdint>
#include <cstdlib>

#include "detect/pattern.h"
#include "detect/pattern_internal.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInputFile file(data, size);
  arResetPatternStore();
  const int id = arReadPatternFile(file.path());
  if (id >= 0) {
    uint8_t grid[kArPatternValues];
    for (int i = 0; i < kArPatternValues; i++) grid[i] = static_cast<uint8_t>(i * 37);
    int32_t match = 0, dir = 0;
    double cf = 0;
    arMatchPattern(grid, &match, &dir, &cf);
    if (match != -1 && match != id) std::abort();
    if (cf < -1.0 - 1e-9 || cf > 1.0 + 1e-9) std::abort();
  }
  return 0;
}
