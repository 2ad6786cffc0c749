#include "camera/decomposition.h"

#include <cmath>

namespace {

double norm3(double a, double b, double c) { return std::sqrt(a * a + b * b + c * c); }
double dot3(const double a[4], const double b[4]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

int arParamDecompMat(const double source[3][4], double intrinsic[3][4], double extrinsic[3][4]) {
  double w[3][4];
  // The comparison is false for NaN, which then takes the negated copy as well.
  const bool keep = source[2][3] >= 0.0;
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) w[r][c] = keep ? source[r][c] : -source[r][c];

  double (*k)[4] = intrinsic;
  double (*t)[4] = extrinsic;
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) k[r][c] = 0.0;

  k[2][2] = norm3(w[2][0], w[2][1], w[2][2]);
  for (int c = 0; c < 4; c++) t[2][c] = w[2][c] / k[2][2];

  k[1][2] = dot3(t[2], w[1]);
  double r0 = w[1][0] - k[1][2] * t[2][0];
  double r1 = w[1][1] - k[1][2] * t[2][1];
  double r2 = w[1][2] - k[1][2] * t[2][2];
  k[1][1] = norm3(r0, r1, r2);
  t[1][0] = r0 / k[1][1];
  t[1][1] = r1 / k[1][1];
  t[1][2] = r2 / k[1][1];

  k[0][2] = dot3(t[2], w[0]);
  k[0][1] = dot3(t[1], w[0]);
  r0 = w[0][0] - k[0][1] * t[1][0] - k[0][2] * t[2][0];
  r1 = w[0][1] - k[0][1] * t[1][1] - k[0][2] * t[2][1];
  r2 = w[0][2] - k[0][1] * t[1][2] - k[0][2] * t[2][2];
  k[0][0] = norm3(r0, r1, r2);
  t[0][0] = r0 / k[0][0];
  t[0][1] = r1 / k[0][0];
  t[0][2] = r2 / k[0][0];

  t[1][3] = (w[1][3] - k[1][2] * t[2][3]) / k[1][1];
  t[0][3] = (w[0][3] - k[0][1] * t[1][3] - k[0][2] * t[2][3]) / k[0][0];

  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) k[r][c] /= k[2][2];
  return 0;
}
