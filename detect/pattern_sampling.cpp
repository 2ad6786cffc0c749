#include "detect/pattern_sampling.h"

#include <algorithm>

#include "camera/camera_param.h"
#include "camera/matrix.h"
#include "detect/pattern_sampling_internal.h"

namespace {

// The marker square spans 100 .. 110 on both plane axes; the interior is the central half.
constexpr double kPlaneCorners[4][2] = {{100.0, 100.0}, {110.0, 100.0}, {110.0, 110.0}, {100.0, 110.0}};
constexpr double kInteriorStart = 102.5;
constexpr double kInteriorSize = 5.0;
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
  for (int k = 0; k < 4; k++) {
    corners[k][0] = contourX[cornerIndex[k]];
    corners[k][1] = contourY[cornerIndex[k]];
  }
  double h[9];
  if (arSolveHomography(kPlaneCorners, corners, h) < 0) return -1;

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
    const double u = kInteriorStart + kInteriorSize * (i + 0.5) / nx;
    u0[i] = h[0] * u;
    u3[i] = h[3] * u;
    u6[i] = h[6] * u;
  }
  int32_t sums[kArPatternBlockValues] = {};
  for (int32_t j = 0; j < ny; j++) {
    const double v = kInteriorStart + kInteriorSize * (j + 0.5) / ny;
    const double v1 = h[1] * v, v4 = h[4] * v, v7 = h[7] * v;
    int32_t* rowSums = sums + (j / ky) * kArPatternGrid * 3;
    for (int32_t i = 0; i < nx; i++) {
      const double w = u6[i] + v7 + h[8];
      if (w == 0.0) return -1;
      const double x = (u0[i] + v1 + h[2]) / w;
      const double y = (u3[i] + v4 + h[5]) / w;
      // Truncation toward zero lands inside the frame exactly when -1 < x < width; testing the
      // doubles first keeps far-off (or NaN) samples from being converted at all.
      if (!(x > -1.0 && x < width && y > -1.0 && y < height)) continue;
      const uint8_t* p = frame + (static_cast<size_t>(static_cast<int32_t>(y)) * width + static_cast<int32_t>(x)) * 4;
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

int arIdentifyPattern(const uint8_t* frame, const int32_t* contourX, const int32_t* contourY,
                      const int32_t cornerIndex[5], int32_t* id, int32_t* dir, double* cf) {
  uint8_t grid[kArPatternBlockValues];
  if (arSamplePattern(frame, contourX, contourY, cornerIndex, grid) < 0) {
    *id = -1;
    *dir = -1;
    *cf = -1.0;
    return -1;
  }
  return arMatchPattern(grid, id, dir, cf);
}
