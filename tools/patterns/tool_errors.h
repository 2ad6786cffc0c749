// The pattern tools' error lines and exit statuses: 2 for wrong usage, 1 for a file that could
// not be read or written.
#pragma once

#include <cstdio>
#include <string>

inline int toolUsageError(const char* tool, const std::string& message) {
  std::fprintf(stderr, "%s: %s (see %s --help)\n", tool, message.c_str(), tool);
  return 2;
}

inline int toolFileError(const char* tool, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", tool, message.c_str());
  return 1;
}
