#include "sim/pattern_picture.h"

#include <algorithm>
#include <cstring>

namespace {

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
  if (upright.width != kArPatternGrid || upright.height != kArPatternGrid || !pictureShapeOk(upright))
    return false;
  values->assign(kArPatternFileValues, 0);
  int block[3][kArPatternGrid][kArPatternGrid];
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < kArPatternGrid; ++r)
      for (int s = 0; s < kArPatternGrid; ++s) block[c][r][s] = pictureValue(upright, s, r, c);
  for (int o = 0; o < 4; ++o) {
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < kArPatternGrid; ++r)
        for (int s = 0; s < kArPatternGrid; ++s) (*values)[arPatternValueIndex(o, c, r, s)] = block[c][r][s];
    // Next block: a quarter turn counter-clockwise, cell (r, s) <- (s, 15 - r).
    int turned[3][kArPatternGrid][kArPatternGrid];
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < kArPatternGrid; ++r)
        for (int s = 0; s < kArPatternGrid; ++s) turned[c][r][s] = block[c][s][kArPatternGrid - 1 - r];
    std::memcpy(block, turned, sizeof block);
  }
  return true;
}

bool simPictureFromPatternValues(const std::vector<int>& values, SimImage* out) {
  if (values.size() < static_cast<size_t>(kArPatternBlockValues)) return false;
  out->width = out->height = kArPatternGrid;
  out->channels = 3;
  out->pixels.assign(kArPatternGrid * kArPatternGrid * 3, 0);
  for (int r = 0; r < kArPatternGrid; ++r)
    for (int s = 0; s < kArPatternGrid; ++s)
      for (int c = 0; c < 3; ++c) {
        const int value = std::clamp(values[arPatternValueIndex(0, c, r, s)], 0, 255);
        out->pixels[(r * kArPatternGrid + s) * 3 + (2 - c)] = static_cast<uint8_t>(value);
      }
  return true;
}

bool simWritePatternFile(const std::string& path, const SimImage& upright, std::string* error) {
  std::vector<int> values;
  if (!simPatternValuesFromPicture(upright, &values)) {
    if (error) *error = "\"" + path + "\": the picture must be 16 x 16 pixels";
    return false;
  }
  return arWritePatternValues(path, values, error);
}
