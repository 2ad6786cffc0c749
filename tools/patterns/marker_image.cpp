#include "tools/patterns/marker_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "camera/camera_param.h"
#include "sim/pattern_picture.h"
#include "tools/common/marker_search.h"

namespace {

constexpr double kMinimumBorderDarkFraction = 0.9;
constexpr double kMinimumLightInterior = 0.05;  // share of the interior lighter than the border
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

// The perspective map of the unit square onto a quadrilateral whose corners q[0..3] are the
// images of (0, 0), (1, 0), (1, 1) and (0, 1).
class SquareMap {
 public:
  explicit SquareMap(const double q[4][2]) {
    const double sx = q[0][0] - q[1][0] + q[2][0] - q[3][0], sy = q[0][1] - q[1][1] + q[2][1] - q[3][1];
    const double dx1 = q[1][0] - q[2][0], dx2 = q[3][0] - q[2][0];
    const double dy1 = q[1][1] - q[2][1], dy2 = q[3][1] - q[2][1];
    const double det = dx1 * dy2 - dx2 * dy1;
    g_ = det != 0 ? (sx * dy2 - dx2 * sy) / det : 0;
    h_ = det != 0 ? (dx1 * sy - sx * dy1) / det : 0;
    a_ = q[1][0] - q[0][0] + g_ * q[1][0], b_ = q[3][0] - q[0][0] + h_ * q[3][0], c_ = q[0][0];
    d_ = q[1][1] - q[0][1] + g_ * q[1][1], e_ = q[3][1] - q[0][1] + h_ * q[3][1], f_ = q[0][1];
  }
  void apply(double u, double v, double* x, double* y) const {
    const double w = g_ * u + h_ * v + 1;
    *x = (a_ * u + b_ * v + c_) / w;
    *y = (d_ * u + e_ * v + f_) / w;
  }

 private:
  double a_, b_, c_, d_, e_, f_, g_, h_;
};

// Bilinear RGB at (x, y) in image coordinates; white paper outside the image.
void sampleRgb(const SimImage& image, double x, double y, double rgb[3]) {
  const double fx = x - 0.5, fy = y - 0.5;
  const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
  const double tx = fx - ix, ty = fy - iy;
  rgb[0] = rgb[1] = rgb[2] = 0;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const double w = (i ? tx : 1 - tx) * (j ? ty : 1 - ty);
      const int px = std::clamp(ix + i, 0, image.width - 1), py = std::clamp(iy + j, 0, image.height - 1);
      double p[3] = {255, 255, 255};
      if (ix + i == px && iy + j == py) pixelRgb(image, px, py, p);
      for (int c = 0; c < 3; ++c) rgb[c] += w * p[c];
    }
}

double grey(const double rgb[3]) { return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]; }

// Corners in order around the square, clockwise on screen (y down).
void makeClockwise(double q[4][2]) {
  double area = 0;
  for (int i = 0; i < 4; ++i) area += q[i][0] * q[(i + 1) % 4][1] - q[(i + 1) % 4][0] * q[i][1];
  if (area < 0) std::swap(q[1], q[3]);
}

// True when the band between 1/16 and 3/16 of the side inside the outline (well inside a border
// a quarter of the side wide) is dark and the interior, the central half, is not: a solid dark
// square is no marker.
bool looksLikeBorder(const SimImage& image, const SquareMap& map, double threshold) {
  constexpr int kSamples = 64;
  int band = 0, darkBand = 0, inside = 0, lightInside = 0;
  for (int j = 0; j < kSamples; ++j)
    for (int i = 0; i < kSamples; ++i) {
      const double u = (i + 0.5) / kSamples, v = (j + 0.5) / kSamples;
      const double edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
      const bool inBand = edge >= 1.0 / 16 && edge <= 3.0 / 16, inInterior = edge > 0.25;
      if (!inBand && !inInterior) continue;
      double x, y, rgb[3];
      map.apply(u, v, &x, &y);
      sampleRgb(image, x, y, rgb);
      const bool dark = grey(rgb) < threshold;
      band += inBand, darkBand += inBand && dark;
      inside += inInterior, lightInside += inInterior && !dark;
    }
  return band > 0 && darkBand >= kMinimumBorderDarkFraction * band && lightInside >= kMinimumLightInterior * inside;
}

// The outline of the largest marker the detector finds that has a dark border, clockwise from
// the corner nearest the image's top-left direction; false when there is none.
bool findMarkerOutline(const SimImage& image, int threshold, double outline[4][2]) {
  // A white margin, so that a marker cropped at its border does not touch the frame's edge,
  // where the detector does not look.
  const int pad = std::max(4, std::max(image.width, image.height) / 32);
  const int width = image.width + 2 * pad, height = image.height + 2 * pad;
  const std::vector<uint8_t> bgra = bgraFromPicture(image);
  std::vector<uint8_t> padded(static_cast<size_t>(width) * height * 4, 255);
  for (int y = 0; y < image.height; ++y)
    std::copy_n(&bgra[static_cast<size_t>(y) * image.width * 4], image.width * 4,
                &padded[(static_cast<size_t>(y + pad) * width + pad) * 4]);
  CameraParam pinhole = {};
  pinhole.xsize = width;
  pinhole.ysize = height;
  pinhole.projection[0][0] = pinhole.projection[1][1] = width;
  pinhole.projection[0][2] = pinhole.distortion[0] = width / 2.0;
  pinhole.projection[1][2] = pinhole.distortion[1] = height / 2.0;
  pinhole.projection[2][2] = pinhole.distortion[3] = 1;
  MarkerSearch search(pinhole);
  ArDetectorSettings settings;
  settings.threshold = threshold;
  std::vector<DetectedMarker> markers;
  search.findInPicture(padded.data(), settings, &markers);
  std::sort(markers.begin(), markers.end(), [](const DetectedMarker& a, const DetectedMarker& b) { return a.area > b.area; });
  for (const DetectedMarker& m : markers) {
    double q[4][2];
    // The detector puts pixel centres at whole coordinates; here they are at i + 0.5.
    for (int k = 0; k < 4; ++k) q[k][0] = m.vertex[k][0] + 0.5 - pad, q[k][1] = m.vertex[k][1] + 0.5 - pad;
    makeClockwise(q);
    if (!looksLikeBorder(image, SquareMap(q), threshold)) continue;
    const double cx = (q[0][0] + q[1][0] + q[2][0] + q[3][0]) / 4, cy = (q[0][1] + q[1][1] + q[2][1] + q[3][1]) / 4;
    int first = 0;
    for (int k = 1; k < 4; ++k)
      if (-(q[k][0] - cx) - (q[k][1] - cy) > -(q[first][0] - cx) - (q[first][1] - cy)) first = k;
    for (int k = 0; k < 4; ++k)
      for (int c = 0; c < 2; ++c) outline[k][c] = q[(first + k) % 4][c];
    return true;
  }
  return false;
}

}  // namespace

bool findMarkerInterior(const SimImage& image, MarkerImageKind kind, MarkerInterior* out,
                        std::string* cause) {
  if (!imageUsable(image)) {
    *cause = "empty or inconsistent image";
    return false;
  }
  *out = MarkerInterior();
  const double w = image.width, h = image.height;
  const double whole[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  std::copy(&whole[0][0], &whole[0][0] + 8, &out->corners[0][0]);
  if (kind == MarkerImageKind::Interior) return true;

  const std::vector<uint8_t> levels = luminance(image);
  const auto [low, high] = std::minmax_element(levels.begin(), levels.end());
  double outline[4][2];
  const bool found = *high - *low >= kMinimumContrast && findMarkerOutline(image, (*low + *high + 1) / 2, outline);
  if (!found) {
    if (kind == MarkerImageKind::WholeMarker) {
      *cause = "no black square border found (use --interior for a picture without border)";
      return false;
    }
    return true;
  }
  const SquareMap map(outline);
  const double interior[4][2] = {{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}};
  for (int k = 0; k < 4; ++k) map.apply(interior[k][0], interior[k][1], &out->corners[k][0], &out->corners[k][1]);
  out->wholeMarker = true;
  const double cx = (outline[0][0] + outline[2][0]) / 2, cy = (outline[0][1] + outline[2][1]) / 2;
  out->turnDegrees = std::atan2(outline[0][1] - cy, outline[0][0] - cx) * 180 / M_PI + 135;
  if (out->turnDegrees > 180) out->turnDegrees -= 360;
  return true;
}

SimImage sampleInterior(const SimImage& image, const MarkerInterior& interior, int width, int height) {
  const auto& q = interior.corners;
  if (q[0][1] == q[1][1] && q[2][1] == q[3][1] && q[0][0] == q[3][0] && q[1][0] == q[2][0])
    return resampleRegion(image, q[0][0], q[0][1], q[2][0], q[2][1], width, height);
  const SquareMap map(q);
  const double edge = std::max(std::hypot(q[1][0] - q[0][0], q[1][1] - q[0][1]), std::hypot(q[3][0] - q[0][0], q[3][1] - q[0][1]));
  // About one sample per image pixel along each axis.
  const int n = std::clamp(static_cast<int>(std::ceil(edge / std::min(width, height))), 2, 16);
  SimImage out;
  out.width = width;
  out.height = height;
  out.channels = 3;
  out.pixels.resize(static_cast<size_t>(width) * height * 3);
  for (int r = 0; r < height; ++r)
    for (int s = 0; s < width; ++s) {
      double sum[3] = {0, 0, 0};
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          double x, y, rgb[3];
          map.apply((s + (i + 0.5) / n) / width, (r + (j + 0.5) / n) / height, &x, &y);
          sampleRgb(image, x, y, rgb);
          for (int c = 0; c < 3; ++c) sum[c] += rgb[c];
        }
      for (int c = 0; c < 3; ++c)
        out.pixels[(static_cast<size_t>(r) * width + s) * 3 + c] =
            static_cast<uint8_t>(std::clamp(std::lround(sum[c] / (n * n)), 0L, 255L));
    }
  return out;
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
  *picture = sampleInterior(image, interior, kArPatternGrid, kArPatternGrid);
  if (found) *found = interior;
  const auto [low, high] = std::minmax_element(picture->pixels.begin(), picture->pixels.end());
  if (*low == *high) {
    *cause = "the interior picture is of one uniform colour; a pattern needs contrast";
    return false;
  }
  return true;
}
