// The shipped data files that several test programs read.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// The pattern files in Data/patterns, in name order (empty when the folder is missing).
inline std::vector<std::string> shippedPatternFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("Data/patterns", ec))
    if (entry.path().extension() == ".patt") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}
