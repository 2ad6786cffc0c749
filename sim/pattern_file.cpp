#include "sim/pattern_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

void setError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

// Pattern files are a few kilobytes; anything far larger is not one.
constexpr std::streamoff kMaxPatternFileBytes = 1 << 24;

// Brightness of pixel (x, y) of a picture in one of the three colour planes (0 blue, 1 green,
// 2 red); alpha is composited over white paper.
int pictureValue(const SimImage& image, int x, int y, int plane) {
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * image.channels];
  if (image.channels == 1) return p[0];
  const int value = p[2 - plane];
  if (image.channels == 3) return value;
  const int alpha = p[3];
  return (value * alpha + 255 * (255 - alpha) + 127) / 255;
}

bool pictureShapeOk(const SimImage& image) {
  return (image.channels == 1 || image.channels == 3 || image.channels == 4) &&
         image.pixels.size() == static_cast<size_t>(image.width) * image.height * image.channels;
}

}  // namespace

bool simPatternValuesFromPicture(const SimImage& upright, std::vector<int>* values) {
  if (upright.width != kPatternGrid || upright.height != kPatternGrid || !pictureShapeOk(upright))
    return false;
  values->assign(kPatternFileValues, 0);
  int block[3][kPatternGrid][kPatternGrid];
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < kPatternGrid; ++r)
      for (int s = 0; s < kPatternGrid; ++s) block[c][r][s] = pictureValue(upright, s, r, c);
  for (int o = 0; o < 4; ++o) {
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < kPatternGrid; ++r)
        for (int s = 0; s < kPatternGrid; ++s) (*values)[patternValueIndex(o, c, r, s)] = block[c][r][s];
    // Next block: a quarter turn counter-clockwise, cell (r, s) <- (s, 15 - r).
    int turned[3][kPatternGrid][kPatternGrid];
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < kPatternGrid; ++r)
        for (int s = 0; s < kPatternGrid; ++s) turned[c][r][s] = block[c][s][kPatternGrid - 1 - r];
    std::memcpy(block, turned, sizeof block);
  }
  return true;
}

bool simPictureFromPatternValues(const std::vector<int>& values, SimImage* out) {
  if (values.size() < static_cast<size_t>(kPatternBlockValues)) return false;
  out->width = out->height = kPatternGrid;
  out->channels = 3;
  out->pixels.assign(kPatternGrid * kPatternGrid * 3, 0);
  for (int r = 0; r < kPatternGrid; ++r)
    for (int s = 0; s < kPatternGrid; ++s)
      for (int c = 0; c < 3; ++c) {
        const int value = std::clamp(values[patternValueIndex(0, c, r, s)], 0, 255);
        out->pixels[(r * kPatternGrid + s) * 3 + (2 - c)] = static_cast<uint8_t>(value);
      }
  return true;
}

bool simReadPatternValues(const std::string& path, std::vector<int>* values, std::string* error) {
  values->clear();
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    setError(error, "\"" + path + "\": is a folder, not a pattern file");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    setError(error, "\"" + path + "\": cannot open: " + std::strerror(errno));
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size > kMaxPatternFileBytes) {
    setError(error, "\"" + path + "\": too large to be a pattern file");
    return false;
  }
  in.seekg(0, std::ios::beg);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return simParsePatternValues(text, path, values, error);
}

bool simParsePatternValues(const std::string& text, const std::string& name, std::vector<int>* values,
                           std::string* error) {
  values->clear();
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  size_t pos = 0;
  while (values->size() < static_cast<size_t>(kPatternFileValues)) {
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    if (pos >= text.size()) {
      setError(error, "\"" + name + "\": only " + std::to_string(values->size()) + " of " +
                          std::to_string(kPatternFileValues) + " pattern values");
      values->clear();
      return false;
    }
    size_t end = pos;
    if (text[end] == '+' || text[end] == '-') ++end;
    const size_t digits = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    // Nine digits at most keep every value inside int.
    if (end == digits || end - digits > 9 || (end < text.size() && !isSpace(text[end]))) {
      setError(error, "\"" + name + "\": value " + std::to_string(values->size() + 1) +
                          " is not an integer");
      values->clear();
      return false;
    }
    values->push_back(std::atoi(text.substr(pos, end - pos).c_str()));
    pos = end;
  }
  return true;
}

bool simWritePatternFile(const std::string& path, const SimImage& upright, std::string* error) {
  std::vector<int> values;
  if (!simPatternValuesFromPicture(upright, &values)) {
    setError(error, "\"" + path + "\": the picture must be 16 x 16 pixels");
    return false;
  }
  // Written beside the target and renamed, so a failed write never leaves half a pattern.
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (!file) {
    setError(error, "\"" + path + "\": cannot create: " + std::strerror(errno));
    return false;
  }
  bool ok = true;
  for (int o = 0; o < 4 && ok; ++o) {
    for (int c = 0; c < 3 && ok; ++c) {
      for (int r = 0; r < kPatternGrid && ok; ++r) {
        for (int s = 0; s < kPatternGrid && ok; ++s)
          ok = std::fprintf(file, s == 0 ? "%3d" : " %3d", values[patternValueIndex(o, c, r, s)]) > 0;
        ok = ok && std::fputc('\n', file) != EOF;
      }
    }
    ok = ok && std::fputc('\n', file) != EOF;
  }
  const int savedErrno = errno;
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    setError(error, "\"" + path + "\": write failed: " + std::strerror(ok ? errno : savedErrno));
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
