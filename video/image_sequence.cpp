// Listing the pictures of an image sequence. Names are built here from a parsed pattern rather
// than by handing the user's text to a printf routine, so a stray %s in a file name is an
// error message, not a crash.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "video/gst_source_internal.h"

namespace {

constexpr int kMaxPictures = 100000;

struct NumberPattern {
  std::string prefix, suffix;
  int width = 0;         // minimum digits
  bool zeroPad = false;
};

std::string lowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

// "image/png", "image/jpeg", or empty for other files.
std::string mimeOf(const std::string& path) {
  std::string ext = lowerExtension(path);
  if (ext == ".png") return "image/png";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  return "";
}

// Accepts exactly one conversion %d, %i or %u with an optional 0 flag and width below 100;
// "%%" stands for a percent sign.
bool parsePattern(const std::string& text, NumberPattern* out) {
  bool found = false;
  std::string* part = &out->prefix;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '%') {
      *part += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      *part += '%';
      i++;
      continue;
    }
    if (found) return false;
    size_t j = i + 1;
    if (j < text.size() && text[j] == '0') {
      out->zeroPad = true;
      j++;
    }
    size_t digitsStart = j;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) j++;
    if (j - digitsStart > 2 || j >= text.size()) return false;
    if (text[j] != 'd' && text[j] != 'i' && text[j] != 'u') return false;
    out->width = j > digitsStart ? std::stoi(text.substr(digitsStart, j - digitsStart)) : 0;
    found = true;
    part = &out->suffix;
    i = j;
  }
  return found;
}

std::string patternName(const NumberPattern& p, int number) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < p.width) {
    digits.insert(0, p.width - digits.size(), p.zeroPad ? '0' : ' ');
  }
  return p.prefix + digits + p.suffix;
}

bool isFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

bool arVideoListSequence(const std::string& location, std::vector<std::string>* files,
                         std::string* mime, std::string* error) {
  files->clear();
  std::error_code ec;
  if (std::filesystem::is_directory(location, ec)) {
    std::vector<std::string> all;
    for (const auto& entry : std::filesystem::directory_iterator(location, ec)) {
      std::string path = entry.path().string();
      if (entry.is_regular_file(ec) && !mimeOf(path).empty()) all.push_back(path);
    }
    std::sort(all.begin(), all.end());
    if (all.empty()) {
      *error = "no .png or .jpg pictures in the folder";
      return false;
    }
    *mime = mimeOf(all.front());
    for (const std::string& path : all) {
      if (mimeOf(path) == *mime) files->push_back(path);
    }
    return true;
  }
  if (location.find('%') != std::string::npos) {
    NumberPattern pattern;
    if (!parsePattern(location, &pattern)) {
      *error = "the pattern must hold one integer conversion such as %04d (and %% for a percent sign)";
      return false;
    }
    int first = isFile(patternName(pattern, 0)) ? 0 : 1;
    for (int n = first; n < first + kMaxPictures && isFile(patternName(pattern, n)); n++) {
      files->push_back(patternName(pattern, n));
    }
    if (files->empty()) {
      *error = "no picture matches the pattern (tried " + patternName(pattern, 0) + " and " +
               patternName(pattern, 1) + ")";
      return false;
    }
  } else if (isFile(location)) {
    files->push_back(location);
  } else {
    *error = "no such file or folder";
    return false;
  }
  *mime = mimeOf(files->front());
  if (mime->empty()) {
    *error = "pictures must be .png or .jpg files";
    files->clear();
    return false;
  }
  return true;
}
