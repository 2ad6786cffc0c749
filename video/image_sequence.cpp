// Listing the pictures of an image sequence. Names are built here from a parsed pattern rather
// than by handing the user's text to a printf routine, so a stray %s in a file name is an
// error message, not a crash.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
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

// GStreamer's PNG decoder mislabels the samples of 16-bit colour pictures (RGB, RGBA, grey with
// alpha), so they come out in wrong colours; 16-bit grey decodes correctly. True for a PNG whose
// header says 16 bits per sample with colour or alpha.
bool isWideColourPng(const std::string& path) {
  unsigned char header[26] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!std::equal(kSignature, kSignature + 8, header) || std::string(header + 12, header + 16) != "IHDR")
    return false;
  const int bitDepth = header[24], colourType = header[25];
  return bitDepth == 16 && colourType != 0;
}

// False, emptying files, when one of them would not decode in true colours.
bool picturesDecodable(std::vector<std::string>* files, const std::string& mime, std::string* error) {
  if (mime != "image/png") return true;
  for (const std::string& file : *files) {
    if (!isWideColourPng(file)) continue;
    *error = file + " has 16 bits per colour sample, which cannot be decoded in true colours; save it with 8";
    files->clear();
    return false;
  }
  return true;
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
    return picturesDecodable(files, *mime, error);
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
  return picturesDecodable(files, *mime, error);
}
