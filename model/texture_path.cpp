#include <strings.h>

#include <cstdio>
#include <filesystem>

#include "model/texture_path_internal.h"

std::string FindFileIgnoringCase(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path wanted(path);
  const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
  const std::string name = wanted.filename().string();
  std::string found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string candidate = it->path().filename().string();
    if (strcasecmp(candidate.c_str(), name.c_str()) != 0 || !it->is_regular_file(ec)) continue;
    if (found.empty() || candidate < found) found = candidate;
  }
  if (found.empty()) return "";
  return wanted.has_parent_path() ? (folder / found).string() : found;
}

void SayFoundIgnoringCase(const std::string& wanted, const std::string& found) {
  std::fprintf(stderr, "texture: %s is not there; using %s, whose name differs only in letter case\n", wanted.c_str(),
               found.c_str());
}
