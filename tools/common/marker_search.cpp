#include "tools/common/marker_search.h"

#include <algorithm>

namespace {

constexpr int kSmallestSide = 64;   // pixels left on the shorter side when shrinking a picture

// Box average of each factor x factor block; (width / factor) x (height / factor) pixels.
void shrinkBgra(const uint8_t* bgra, int width, int height, int factor, std::vector<uint8_t>* out) {
  const int w = width / factor, h = height / factor, n = factor * factor;
  out->resize(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      int sum[3] = {0, 0, 0};
      for (int j = 0; j < factor; j++) {
        const uint8_t* p = bgra + (static_cast<size_t>(y * factor + j) * width + x * factor) * 4;
        for (int i = 0; i < factor; i++, p += 4)
          for (int c = 0; c < 3; c++) sum[c] += p[c];
      }
      uint8_t* q = &(*out)[(static_cast<size_t>(y) * w + x) * 4];
      for (int c = 0; c < 3; c++) q[c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
      q[3] = 255;
    }
}

// Pixel centres sit at whole coordinates, so shrunk pixel X, the mean of pixels fX .. fX + f - 1,
// lies at f X + (f - 1) / 2 in the frame: x = f x' + d with d = (f - 1) / 2.

// The camera that sees the frame shrunk factor times: the same rays, in shrunk pixels.
CameraParam shrunkCamera(const CameraParam& camera, int factor) {
  const double f = factor, d = (f - 1) / 2;
  CameraParam out = camera;
  out.xsize = camera.xsize / factor;
  out.ysize = camera.ysize / factor;
  for (int r = 0; r < 2; r++)
    for (int c = 0; c < 4; c++) out.projection[r][c] = (camera.projection[r][c] - d * camera.projection[2][c]) / f;
  out.distortion[0] = (camera.distortion[0] - d) / f;
  out.distortion[1] = (camera.distortion[1] - d) / f;
  out.distortion[2] = camera.distortion[2] * f * f;  // the coefficient works on squared offsets
  return out;
}

// A marker found by the shrunk camera, in the frame's own pixels.
void scaleBack(DetectedMarker* m, int factor) {
  const double f = factor, d = (f - 1) / 2;
  for (int i = 0; i < 4; i++) {
    m->vertex[i][0] = f * m->vertex[i][0] + d;
    m->vertex[i][1] = f * m->vertex[i][1] + d;
    m->line[i][2] = f * m->line[i][2] - (m->line[i][0] + m->line[i][1]) * d;
  }
  m->pos[0] = f * m->pos[0] + d;
  m->pos[1] = f * m->pos[1] + d;
  m->area *= factor * factor;
}

int largestArea(const std::vector<DetectedMarker>& markers) {
  int largest = 0;
  for (const DetectedMarker& m : markers) largest = std::max(largest, static_cast<int>(m.area));
  return largest;
}

}  // namespace

int leastShrinkFactor(int width, int height) {
  int factor = 1;
  while (static_cast<int64_t>(width / factor) * (height / factor) > kArMaxFramePixels) factor++;
  return factor;
}

std::vector<uint8_t> bgraFromPicture(const SimImage& picture) {
  const size_t pixels = static_cast<size_t>(picture.width) * picture.height;
  std::vector<uint8_t> bgra(pixels * 4, 255);
  for (size_t i = 0; i < pixels; i++) {
    const uint8_t* p = &picture.pixels[i * picture.channels];
    for (int c = 0; c < 3; c++) {
      const int value = picture.channels < 3 ? p[0] : p[2 - c];
      const int alpha = picture.channels == 4 ? p[3] : 255;
      bgra[i * 4 + c] = static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
    }
  }
  return bgra;
}

MarkerSearch::MarkerSearch(const CameraParam& camera) : camera_(camera) { arCameraParamSetCurrent(&camera_); }

bool MarkerSearch::find(const uint8_t* bgra, int factor, const ArDetectorSettings& settings,
                        std::vector<DetectedMarker>* out, ArDetectionStats* stats) {
  out->clear();
  if (factor > 1) {
    shrinkBgra(bgra, camera_.xsize, camera_.ysize, factor, &shrunk_);
    bgra = shrunk_.data();
  }
  const CameraParam working = factor > 1 ? shrunkCamera(camera_, factor) : camera_;
  arCameraParamSetCurrent(&working);
  DetectedMarker* markers = nullptr;
  int count = 0;
  const bool ok = arDetectMarkers(bgra, settings, &markers, &count, stats) >= 0;
  arCameraParamSetCurrent(&camera_);
  for (int i = 0; i < count; i++) {
    out->push_back(markers[i]);
    if (factor > 1) scaleBack(&out->back(), factor);
  }
  return ok;
}

int MarkerSearch::findInPicture(const uint8_t* bgra, const ArDetectorSettings& settings,
                                std::vector<DetectedMarker>* out) {
  const int width = camera_.xsize, height = camera_.ysize;
  const int first = leastShrinkFactor(width, height);
  const int last = std::max(first, std::min(width, height) / kSmallestSide);
  int chosen = first;
  out->clear();
  std::vector<DetectedMarker> found;
  for (int factor = first; factor <= last; factor++) {
    arResetMarkerHistory();
    if (!find(bgra, factor, settings, &found)) continue;
    const bool identified = std::any_of(found.begin(), found.end(), [](const DetectedMarker& m) { return m.id >= 0; });
    if (identified || largestArea(found) > largestArea(*out)) {
      *out = found;
      chosen = factor;
    }
    if (identified) break;
  }
  arResetMarkerHistory();
  return chosen;
}
