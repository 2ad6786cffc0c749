#include "app/marker_table.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr int kFieldCount = 7;

// Copies text into a fixed field, keeping the first 255 characters of an over-long one.
// Returns false when it had to cut.
bool copyText(char (&field)[kMarkerTextSize], const std::string& text) {
  const size_t n = text.size() < kMarkerTextSize - 1 ? text.size() : kMarkerTextSize - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
  return n == text.size();
}

const char* const kFieldNames[kFieldCount] = {"model path", "texture prefix", "scale", "pattern file",
                                              "centre x",   "centre y",       "width"};

// Stores field number `index` of a row from the text in buf; returns false if a text was cut.
bool storeField(MarkerEntry& e, int index, const std::string& buf) {
  switch (index) {
    case 0: return copyText(e.modelPath, buf);
    case 1: return copyText(e.texturePrefix, buf);
    case 2: e.scale = static_cast<float>(std::atof(buf.c_str())); return true;
    case 3: return copyText(e.patternFile, buf);
    case 4: e.centerX = std::atof(buf.c_str()); return true;
    case 5: e.centerY = std::atof(buf.c_str()); return true;
    default: e.width = static_cast<float>(std::atof(buf.c_str())); return true;
  }
}

}  // namespace

MarkerTable& markerTable() {
  static MarkerTable table = {};
  return table;
}

void readMarkerTable(MarkerTable& table) { readMarkerTableFrom(kMarkerTableFile, table); }

bool readMarkerTableFrom(const char* path, MarkerTable& table) {
  table.count = 0;
  // Opened for reading only: the table is never written back, so a read-only copy must work too.
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open the marker table (%s); no markers will be tracked\n", path,
                 std::strerror(errno));
    return false;
  }

  std::string line;
  errno = 0;
  std::getline(in, line);  // header, whatever it holds
  if (in.bad()) {
    // Opening succeeds on a folder; reading it does not.
    std::fprintf(stderr, "%s: cannot read the marker table (%s); no markers will be tracked\n", path,
                 std::strerror(errno != 0 ? errno : EIO));
    return false;
  }

  int lineNumber = 1;
  int ignoredRows = 0;
  while (std::getline(in, line)) {
    lineNumber++;
    if (table.count >= kMarkerTableCapacity) {
      ignoredRows++;
      continue;
    }
    // Lines may end in CR LF when the file was written on another system.
    if (!line.empty() && line.back() == '\r') line.pop_back();

    MarkerEntry& entry = table.entries[table.count];
    std::istringstream fields(line);
    std::string buf;  // a failed read leaves the previous field's text here, as getline does
    for (int f = 0; f < kFieldCount; f++) {
      std::getline(fields, buf, ',');
      if (!storeField(entry, f, buf)) {
        std::fprintf(stderr, "%s:%d: %s longer than %d characters; keeping the first %d\n", path,
                     lineNumber, kFieldNames[f], kMarkerTextSize - 1, kMarkerTextSize - 1);
      }
    }
    table.count++;
  }
  if (ignoredRows > 0) {
    std::fprintf(stderr, "%s: only %d rows are supported; ignored the %d rows after them\n", path,
                 kMarkerTableCapacity, ignoredRows);
  }
  return true;
}
