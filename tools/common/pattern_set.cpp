#include "tools/common/pattern_set.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/marker_table.h"

namespace {

std::string stem(const std::string& path) { return std::filesystem::path(path).stem().string(); }

bool readFolder(const std::string& folder, double width, std::vector<PatternSetEntry>* out, std::string* error) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() != ".patt" || !entry.is_regular_file(ec)) continue;
    PatternSetEntry e;
    e.file = entry.path().string();
    e.name = stem(e.file);
    e.width = width;
    out->push_back(e);
  }
  if (ec) {
    *error = "\"" + folder + "\": cannot read the folder: " + ec.message();
    return false;
  }
  std::sort(out->begin(), out->end(),
            [](const PatternSetEntry& a, const PatternSetEntry& b) { return a.file < b.file; });
  if (out->empty()) *error = "\"" + folder + "\": no .patt files in the folder";
  return !out->empty();
}

bool readTable(const std::string& path, std::vector<PatternSetEntry>* out, std::string* error) {
  // Checked here so that the cause is reported once, in the tool's words.
  if (!std::ifstream(path)) {
    *error = "\"" + path + "\": cannot open the marker table: " + std::strerror(errno);
    return false;
  }
  auto table = std::make_unique<MarkerTable>();
  readMarkerTableFrom(path.c_str(), *table);
  for (int i = 0; i < table->count; i++) {
    const MarkerEntry& row = table->entries[i];
    PatternSetEntry e;
    e.file = row.patternFile;
    e.name = stem(e.file);
    e.line = i + 2;  // line 1 is the header
    e.width = row.width;
    e.center[0] = row.centerX;
    e.center[1] = row.centerY;
    out->push_back(e);
  }
  if (out->empty()) *error = "\"" + path + "\": the marker table has no rows";
  return !out->empty();
}

}  // namespace

bool readPatternSet(const std::string& path, double folderWidth, std::vector<PatternSetEntry>* out,
                    std::string* error) {
  out->clear();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return readFolder(path, folderWidth, out, error);
  return readTable(path, out, error);
}
