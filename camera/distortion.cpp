#include "camera/distortion.h"

#include <cmath>

namespace {
constexpr double kCoefficientUnit = 100000000.0;
constexpr int kNewtonSteps = 3;
}  // namespace

int arIdealToObserved(const double distortion[4], double ix, double iy, double* ox, double* oy) {
  const double p = distortion[2] / kCoefficientUnit;
  const double x = (ix - distortion[0]) * distortion[3];
  const double y = (iy - distortion[1]) * distortion[3];
  if (x == 0.0 && y == 0.0) {
    *ox = distortion[0];
    *oy = distortion[1];
    return 0;
  }
  const double d = 1.0 - p * (x * x + y * y);
  *ox = x * d + distortion[0];
  *oy = y * d + distortion[1];
  return 0;
}

int arObservedToIdeal(const double distortion[4], double ox, double oy, double* ix, double* iy) {
  const double p = distortion[2] / kCoefficientUnit;
  double px = ox - distortion[0];
  double py = oy - distortion[1];
  double z02 = px * px + py * py;
  const double q = std::sqrt(z02);
  double z0 = q;
  for (int i = 1; i <= kNewtonSteps; i++) {
    if (z0 == 0.0) {
      px = 0.0;
      py = 0.0;
      break;
    }
    const double z = z0 - ((1.0 - p * z02) * z0 - q) / (1.0 - 3.0 * p * z02);
    px = px * z / z0;
    py = py * z / z0;
    if (i == kNewtonSteps) break;
    z02 = px * px + py * py;
    z0 = std::sqrt(z02);
  }
  *ix = px / distortion[3] + distortion[0];
  *iy = py / distortion[3] + distortion[1];
  return 0;
}

int arIdealToObservedJacobian(const double distortion[4], double ix, double iy, double jacobian[2][2]) {
  // o = c + x (1 - p |x|^2) with x = s (i - c): do/di = s ((1 - p |x|^2) I - 2 p x x^T).
  const double p = distortion[2] / kCoefficientUnit;
  const double s = distortion[3];
  const double x = (ix - distortion[0]) * s;
  const double y = (iy - distortion[1]) * s;
  const double d = 1.0 - p * (x * x + y * y);
  jacobian[0][0] = s * (d - 2 * p * x * x);
  jacobian[0][1] = jacobian[1][0] = -s * 2 * p * x * y;
  jacobian[1][1] = s * (d - 2 * p * y * y);
  return 0;
}
