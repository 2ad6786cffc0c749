// Reads any bytes as a marker table: never more than 32 rows, every text NUL-terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/marker_table.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInputFile file(data, size);
  static MarkerTable table;
  readMarkerTableFrom(file.path(), table);
  if (table.count < 0 || table.count > kMarkerTableCapacity) std::abort();
  for (int i = 0; i < table.count; i++) {
    const MarkerEntry& e = table.entries[i];
    if (!std::memchr(e.modelPath, 0, sizeof e.modelPath) || !std::memchr(e.patternFile, 0, sizeof e.patternFile) ||
        !std::memchr(e.texturePrefix, 0, sizeof e.texturePrefix))
      std::abort();
  }
  return 0;
}
