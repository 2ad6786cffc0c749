// Feeds arbitrary bytes to the pattern file reader, both from text and through a temporary file
// into the pattern store, and, when a pattern loads, matches a fixed grid against the store so
// that the templates are exercised too. The two ways of reading must agree.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "detect/pattern.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<int> values;
  std::string error;
  const ArPatternFileStatus parsed =
      arParsePatternValues(std::string(reinterpret_cast<const char*>(data), size), "fuzz", &values, &error);
  if (parsed == ArPatternFileStatus::Ok ? values.size() != 3072 : error.empty()) std::abort();

  FuzzInputFile file(data, size);
  arResetPatternStore();
  const int id = arReadPatternFile(file.path());
  if ((id >= 0) != (parsed == ArPatternFileStatus::Ok)) std::abort();
  if (id >= 0) {
    uint8_t grid[kArPatternBlockValues];
    for (int i = 0; i < kArPatternBlockValues; i++) grid[i] = static_cast<uint8_t>(i * 37);
    int32_t match = 0, dir = 0;
    double cf = 0;
    arMatchPattern(grid, &match, &dir, &cf);
    if (match != -1 && match != id) std::abort();
    if (cf < -1.0 - 1e-9 || cf > 1.0 + 1e-9) std::abort();
  }
  return 0;
}
