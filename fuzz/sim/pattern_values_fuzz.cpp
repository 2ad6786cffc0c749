// The tools' pattern text parser on any bytes: a result has exactly 3072 values or an error.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/pattern_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<int> values;
  std::string error;
  const bool ok = simParsePatternValues(std::string(reinterpret_cast<const char*>(data), size), "fuzz", &values, &error);
  if (ok && values.size() != 3072) std::abort();
  if (!ok && error.empty()) std::abort();
  return 0;
}
