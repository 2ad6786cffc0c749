#include "tools/patterns/marker_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "sim/pattern_picture.h"

namespace {

constexpr double kMinimumBorderDarkFraction = 0.9;
constexpr int kMinimumMarkerPixels = 8;
constexpr int kMinimumContrast = 32;  // grey levels between the darkest and brightest pixel

bool imageUsable(const SimImage& image) {
  return image.width > 0 && image.height > 0 &&
         (image.channels == 1 || image.channels == 3 || image.channels == 4) &&
         image.pixels.size() == static_cast<size_t>(image.width) * image.height * image.channels;
}

void pixelRgb(const SimImage& image, int x, int y, double rgb[3]) {
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * image.channels];
  if (image.channels == 1) {
    rgb[0] = rgb[1] = rgb[2] = p[0];
    return;
  }
  const double alpha = image.channels == 4 ? p[3] / 255.0 : 1.0;
  for (int c = 0; c < 3; ++c) rgb[c] = p[c] * alpha + 255.0 * (1 - alpha);
}

std::vector<uint8_t> luminance(const SimImage& image) {
  std::vector<uint8_t> grey(static_cast<size_t>(image.width) * image.height);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      double rgb[3];
      pixelRgb(image, x, y, rgb);
      grey[static_cast<size_t>(y) * image.width + x] =
          static_cast<uint8_t>(std::lround(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]));
    }
  return grey;
}

struct Box {
  int x0, y0, x1, y1;  // inclusive pixel bounds
};

// Bounding box of the largest 8-connected region of dark pixels; false when there is none.
bool largestDarkRegion(const std::vector<uint8_t>& dark, int width, int height, Box* box) {
  std::vector<int32_t> seen(dark.size(), 0);
  std::vector<int32_t> stack;
  size_t bestCount = 0;
  for (size_t start = 0; start < dark.size(); ++start) {
    if (!dark[start] || seen[start]) continue;
    Box region{width, height, -1, -1};
    size_t count = 0;
    stack.assign(1, static_cast<int32_t>(start));
    seen[start] = 1;
    while (!stack.empty()) {
      const int32_t index = stack.back();
      stack.pop_back();
      ++count;
      const int x = index % width, y = index / width;
      region.x0 = std::min(region.x0, x), region.x1 = std::max(region.x1, x);
      region.y0 = std::min(region.y0, y), region.y1 = std::max(region.y1, y);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          const int32_t next = ny * width + nx;
          if (dark[next] && !seen[next]) {
            seen[next] = 1;
            stack.push_back(next);
          }
        }
    }
    if (count > bestCount) {
      bestCount = count;
      *box = region;
    }
  }
  return bestCount > 0;
}

// True when the box is square and the band between 1/16 and 3/16 of its side from every edge
// (well inside a border a quarter of the side wide) is dark.
bool looksLikeBorder(const std::vector<uint8_t>& dark, int width, const Box& box) {
  const int w = box.x1 - box.x0 + 1, h = box.y1 - box.y0 + 1;
  if (w < kMinimumMarkerPixels || h < kMinimumMarkerPixels) return false;
  if (std::abs(w - h) > std::max(2, std::max(w, h) / 10)) return false;
  size_t total = 0, darkCount = 0;
  for (int y = box.y0; y <= box.y1; ++y)
    for (int x = box.x0; x <= box.x1; ++x) {
      const double fx = (x + 0.5 - box.x0) / w, fy = (y + 0.5 - box.y0) / h;
      const double edge = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
      if (edge < 1.0 / 16 || edge > 3.0 / 16) continue;
      ++total;
      darkCount += dark[static_cast<size_t>(y) * width + x];
    }
  return total > 0 && darkCount >= kMinimumBorderDarkFraction * total;
}

}  // namespace

bool findMarkerInterior(const SimImage& image, MarkerImageKind kind, MarkerInterior* out,
                        std::string* cause) {
  if (!imageUsable(image)) {
    *cause = "empty or inconsistent image";
    return false;
  }
  *out = MarkerInterior();
  out->x1 = image.width;
  out->y1 = image.height;
  if (kind == MarkerImageKind::Interior) return true;

  const std::vector<uint8_t> grey = luminance(image);
  const auto [low, high] = std::minmax_element(grey.begin(), grey.end());
  const int threshold = (*low + *high + 1) / 2;
  std::vector<uint8_t> dark(grey.size());
  for (size_t i = 0; i < grey.size(); ++i) dark[i] = grey[i] < threshold ? 1 : 0;
  Box box{};
  const bool found = *high - *low >= kMinimumContrast &&
                     largestDarkRegion(dark, image.width, image.height, &box) &&
                     looksLikeBorder(dark, image.width, box);
  if (!found) {
    if (kind == MarkerImageKind::WholeMarker) {
      *cause = "no black square border found (use --interior for a picture without border)";
      return false;
    }
    return true;
  }
  const double w = box.x1 + 1 - box.x0, h = box.y1 + 1 - box.y0;
  out->x0 = box.x0 + w / 4;
  out->x1 = box.x0 + 3 * w / 4;
  out->y0 = box.y0 + h / 4;
  out->y1 = box.y0 + 3 * h / 4;
  out->wholeMarker = true;
  return true;
}

void averageRgb(const SimImage& image, double x0, double y0, double x1, double y1, double rgb[3]) {
  x0 = std::max(x0, 0.0), y0 = std::max(y0, 0.0);
  x1 = std::min(x1, static_cast<double>(image.width)), y1 = std::min(y1, static_cast<double>(image.height));
  rgb[0] = rgb[1] = rgb[2] = 255;
  if (!(x1 > x0 && y1 > y0)) return;
  double sum[3] = {0, 0, 0}, weight = 0;
  const int ix0 = static_cast<int>(std::floor(x0)), ix1 = static_cast<int>(std::ceil(x1));
  const int iy0 = static_cast<int>(std::floor(y0)), iy1 = static_cast<int>(std::ceil(y1));
  for (int y = iy0; y < iy1; ++y) {
    const double wy = std::min(y1, y + 1.0) - std::max(y0, static_cast<double>(y));
    for (int x = ix0; x < ix1; ++x) {
      const double w = wy * (std::min(x1, x + 1.0) - std::max(x0, static_cast<double>(x)));
      double p[3];
      pixelRgb(image, x, y, p);
      for (int c = 0; c < 3; ++c) sum[c] += w * p[c];
      weight += w;
    }
  }
  for (int c = 0; c < 3; ++c) rgb[c] = sum[c] / weight;
}

SimImage resampleRegion(const SimImage& image, double x0, double y0, double x1, double y1,
                        int width, int height) {
  SimImage out;
  out.width = width;
  out.height = height;
  out.channels = 3;
  out.pixels.resize(static_cast<size_t>(width) * height * 3);
  const double cellW = (x1 - x0) / width, cellH = (y1 - y0) / height;
  for (int r = 0; r < height; ++r)
    for (int s = 0; s < width; ++s) {
      double rgb[3];
      averageRgb(image, x0 + s * cellW, y0 + r * cellH, x0 + (s + 1) * cellW, y0 + (r + 1) * cellH, rgb);
      for (int c = 0; c < 3; ++c)
        out.pixels[(static_cast<size_t>(r) * width + s) * 3 + c] =
            static_cast<uint8_t>(std::clamp(std::lround(rgb[c]), 0L, 255L));
    }
  return out;
}

bool patternPictureFromImage(const SimImage& image, MarkerImageKind kind, SimImage* picture,
                             MarkerInterior* found, std::string* cause) {
  MarkerInterior interior;
  if (!findMarkerInterior(image, kind, &interior, cause)) return false;
  *picture = resampleRegion(image, interior.x0, interior.y0, interior.x1, interior.y1,
                            kArPatternGrid, kArPatternGrid);
  if (found) *found = interior;
  const auto [low, high] = std::minmax_element(picture->pixels.begin(), picture->pixels.end());
  if (*low == *high) {
    *cause = "the interior picture is of one uniform colour; a pattern needs contrast";
    return false;
  }
  return true;
}
