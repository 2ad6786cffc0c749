#include "detect/pattern_sampling.h"

#include <algorithm>
#include <cmath>

#include "camera/camera_param.h"
#include "camera/matrix.h"
#include "detect/pattern_sampling_internal.h"

namespace {

// The marker square spans 100 .. 110 on both plane axes; the interior is the central half.
constexpr double kPlaneCorners[4][2] = {{100.0, 100.0}, {110.0, 100.0}, {110.0, 110.0}, {100.0, 110.0}};
constexpr double kInteriorStart = 102.5;
constexpr double kInteriorSize = 5.0;
// The same interior on the unit square of the refined sampling.
constexpr double kUnitInteriorStart = 0.25;
constexpr double kUnitInteriorSize = 0.5;
constexpr int32_t kMaxSamplesPerAxis = 64;

int64_t squaredLength(const double a[2], const double b[2]) {
  const double dx = a[0] - b[0];
  const double dy = a[1] - b[1];
  return static_cast<int64_t>(dx * dx + dy * dy);
}

struct Buffers {
  ArMatrix* a = nullptr;
  ArMatrix* rhs = nullptr;
  ArMatrix* solution = nullptr;
  ~Buffers() {
    if (a) arMatrixRelease(a);
    if (rhs) arMatrixRelease(rhs);
    if (solution) arMatrixRelease(solution);
  }
};

// The unit square mapped onto the quadrilateral corners[0 .. 3] ((0, 0) to corner 0, (1, 0) to
// corner 1, (1, 1) to corner 2), in closed form: well conditioned at any size and position,
// where a linear solve on a plane far from the origin turns singular for steep views. false
// when the corners are degenerate.
bool squareToQuad(const double corners[4][2], double h[9]) {
  const double x0 = corners[0][0], y0 = corners[0][1], x1 = corners[1][0], y1 = corners[1][1];
  const double x2 = corners[2][0], y2 = corners[2][1], x3 = corners[3][0], y3 = corners[3][1];
  const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
  const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
  const double den = dx1 * dy2 - dx2 * dy1;
  if (!(den != 0.0) || !std::isfinite(den)) return false;
  const double g = (sx * dy2 - dx2 * sy) / den;
  const double k = (dx1 * sy - sx * dy1) / den;
  const double values[9] = {x1 - x0 + g * x1, x3 - x0 + k * x3, x0, y1 - y0 + g * y1, y3 - y0 + k * y3, y0, g, k, 1.0};
  std::copy(values, values + 9, h);
  return true;
}

// Where the samples of the interior come from: the mapping from the plane and the interior's
// start and size on both plane axes.
struct SampleMapping {
  double h[9];
  double interiorStart, interiorSize;
};

// Sample positions pick their pixel by truncation toward zero, or with kNearest by rounding.
template <bool kNearest>
int sampleInterior(const uint8_t* frame, const double corners[4][2], const SampleMapping& mapping,
                   uint8_t grid[kArPatternBlockValues]) {
  const double* h = mapping.h;
  const int32_t nx = arSamplesPerAxis(std::max(squaredLength(corners[0], corners[1]),
                                             squaredLength(corners[2], corners[3])));
  const int32_t ny = arSamplesPerAxis(std::max(squaredLength(corners[1], corners[2]),
                                             squaredLength(corners[3], corners[0])));
  const int32_t kx = nx / kArPatternGrid;
  const int32_t ky = ny / kArPatternGrid;
  const int32_t width = arFrameWidth;
  const int32_t height = arFrameHeight;

  // Per-column and per-row products are shared by a whole row or column of samples; each sum
  // below still adds them in the order (h0 u + h1 v) + h2, so the positions come out the same.
  double u0[kMaxSamplesPerAxis], u3[kMaxSamplesPerAxis], u6[kMaxSamplesPerAxis];
  for (int32_t i = 0; i < nx; i++) {
    const double u = mapping.interiorStart + mapping.interiorSize * (i + 0.5) / nx;
    u0[i] = h[0] * u;
    u3[i] = h[3] * u;
    u6[i] = h[6] * u;
  }
  int32_t sums[kArPatternBlockValues] = {};
  for (int32_t j = 0; j < ny; j++) {
    const double v = mapping.interiorStart + mapping.interiorSize * (j + 0.5) / ny;
    const double v1 = h[1] * v, v4 = h[4] * v, v7 = h[7] * v;
    int32_t* rowSums = sums + (j / ky) * kArPatternGrid * 3;
    for (int32_t i = 0; i < nx; i++) {
      const double w = u6[i] + v7 + h[8];
      if (w == 0.0) return -1;
      const double x = (u0[i] + v1 + h[2]) / w;
      const double y = (u3[i] + v4 + h[5]) / w;
      // Truncation lands inside the frame exactly when -1 < x < width, rounding when
      // -0.5 <= x < width - 0.5; testing the doubles first keeps far-off (or NaN) samples from
      // being converted at all.
      const bool inside = kNearest ? (x >= -0.5 && x < width - 0.5 && y >= -0.5 && y < height - 0.5)
                                   : (x > -1.0 && x < width && y > -1.0 && y < height);
      if (!inside) continue;
      // From -0.5 on, truncating x + 0.5 rounds to the nearest pixel.
      const int32_t px = static_cast<int32_t>(kNearest ? x + 0.5 : x);
      const int32_t py = static_cast<int32_t>(kNearest ? y + 0.5 : y);
      const uint8_t* p = frame + (static_cast<size_t>(py) * width + px) * 4;
      int32_t* cell = rowSums + (i / kx) * 3;
      cell[0] += p[0];
      cell[1] += p[1];
      cell[2] += p[2];
    }
  }
  const uint32_t divisor = static_cast<uint32_t>(kx * ky);
  for (int i = 0; i < kArPatternBlockValues; i++) grid[i] = static_cast<uint8_t>(static_cast<uint32_t>(sums[i]) / divisor);
  return 0;
}

void cornerPixels(const int32_t* contourX, const int32_t* contourY, const int32_t cornerIndex[5],
                  double corners[4][2]) {
  for (int k = 0; k < 4; k++) {
    corners[k][0] = contourX[cornerIndex[k]];
    corners[k][1] = contourY[cornerIndex[k]];
  }
}

int unidentified(int32_t* id, int32_t* dir, double* cf) {
  *id = -1;
  *dir = -1;
  *cf = -1.0;
  return -1;
}

}  // namespace

int32_t arSamplesPerAxis(int64_t squaredEdge) {
  int32_t n = kArPatternGrid;
  while (n < kMaxSamplesPerAxis && static_cast<int64_t>(n) * n < squaredEdge / 4) n *= 2;
  return n;
}

int arSolveHomography(const double plane[4][2], const double image[4][2], double h[9]) {
  Buffers m;
  m.a = arMatrixCreate(8, 8);
  m.rhs = arMatrixCreate(8, 1);
  m.solution = arMatrixCreate(8, 1);
  if (!m.a || !m.rhs || !m.solution) return -1;
  for (int k = 0; k < 4; k++) {
    const double u = plane[k][0], v = plane[k][1];
    const double x = image[k][0], y = image[k][1];
    double* r0 = m.a->data + (2 * k) * 8;
    double* r1 = r0 + 8;
    const double row0[8] = {u, v, 1.0, 0.0, 0.0, 0.0, -u * x, -v * x};
    const double row1[8] = {0.0, 0.0, 0.0, u, v, 1.0, -u * y, -v * y};
    std::copy(row0, row0 + 8, r0);
    std::copy(row1, row1 + 8, r1);
    m.rhs->data[2 * k] = x;
    m.rhs->data[2 * k + 1] = y;
  }
  if (arMatrixInvertInPlace(m.a) < 0) return -1;
  if (arMatrixMultiply(m.solution, m.a, m.rhs) < 0) return -1;
  for (int i = 0; i < 8; i++) h[i] = m.solution->data[i];
  h[8] = 1.0;
  return 0;
}

int arSamplePattern(const uint8_t* frame, const int32_t* contourX, const int32_t* contourY,
                    const int32_t cornerIndex[5], uint8_t grid[kArPatternBlockValues]) {
  double corners[4][2];
  cornerPixels(contourX, contourY, cornerIndex, corners);
  SampleMapping mapping = {{}, kInteriorStart, kInteriorSize};
  if (arSolveHomography(kPlaneCorners, corners, mapping.h) < 0) return -1;
  return sampleInterior<false>(frame, corners, mapping, grid);
}

int arSampleInterior(const uint8_t* frame, const double corners[4][2], uint8_t grid[kArPatternBlockValues]) {
  SampleMapping mapping = {{}, kUnitInteriorStart, kUnitInteriorSize};
  if (!squareToQuad(corners, mapping.h)) return -1;
  return sampleInterior<true>(frame, corners, mapping, grid);
}

int arIdentifyInterior(const uint8_t* frame, const double corners[4][2], int32_t* id, int32_t* dir, double* cf) {
  uint8_t grid[kArPatternBlockValues];
  if (arSampleInterior(frame, corners, grid) < 0) return unidentified(id, dir, cf);
  return arMatchPattern(grid, id, dir, cf);
}

int arIdentifyPattern(const uint8_t* frame, const int32_t* contourX, const int32_t* contourY,
                      const int32_t cornerIndex[5], int32_t* id, int32_t* dir, double* cf) {
  uint8_t grid[kArPatternBlockValues];
  if (arSamplePattern(frame, contourX, contourY, cornerIndex, grid) < 0) return unidentified(id, dir, cf);
  return arMatchPattern(grid, id, dir, cf);
}
