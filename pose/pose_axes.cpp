#include "pose/pose_axes.h"

#include <cmath>
#include <utility>

#include "camera/matrix.h"

namespace {

// Depth of the point on the ray of the edge's start at which the direction is tried.
constexpr double kOrientDepth = 10.0;

// A discriminant this small against the size of its terms is negative only by rounding: it
// happens when the two axes are perpendicular to the last bit, where the exact value is 0.
// The scale counts the terms before cancellation (qc itself is k2^2 + k4^2 - 1), so that the
// allowance is a relative change of about 1e-12 in the inputs, some 10^4 units of rounding.
constexpr double kDiscriminantRounding = 1e-12;

double dot3(const double x[3], const double y[3]) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; }

// Image of a camera point through the left 3 x 3 block of P. false when it lies at infinity.
bool projectThroughBlock(const double projection[3][4], const double point[3], double image[2]) {
  const double hz = projection[2][0] * point[0] + projection[2][1] * point[1] + projection[2][2] * point[2];
  if (hz == 0.0) return false;
  image[0] = (projection[0][0] * point[0] + projection[0][1] * point[1] + projection[0][2] * point[2]) / hz;
  image[1] = (projection[1][0] * point[0] + projection[1][1] * point[1] + projection[1][2] * point[2]) / hz;
  return true;
}

// How the coordinates are laid out while solving for one axis: the solve divides by
// N.y * G.x - G.y * N.x, so it takes the first layout in which that is not small.
enum class Layout { AsIs, SwapYZ, SwapXZ };

// Below this the division loses too much: the roots err by about 2e-7 / |divisor| (measured),
// and axes that are exactly aligned with a camera axis, where the divisor is a rounding residue
// such as 1e-17, would come out as garbage. For unit perpendicular G and N the three divisors
// are the components of the unit vector G x N, so one of them is always at least 0.57.
constexpr double kSmallestDivisor = 1e-3;

void applyLayout(Layout layout, double v[3]) {
  if (layout == Layout::SwapYZ) std::swap(v[1], v[2]);
  if (layout == Layout::SwapXZ) std::swap(v[0], v[2]);
}

// The two unit vectors perpendicular to normal whose dot product with axis is ca: both roots of
// a quadratic, the +sqrt root first. false when no layout works or the roots are not real.
bool turnedAxisCandidates(const double axis[3], const double normal[3], double ca,
                          double first[3], double second[3]) {
  double g[3] = {axis[0], axis[1], axis[2]};
  double n[3] = {normal[0], normal[1], normal[2]};
  Layout layout = Layout::AsIs;
  if (std::fabs(n[1] * g[0] - g[1] * n[0]) >= kSmallestDivisor) {
    layout = Layout::AsIs;
  } else if (std::fabs(n[2] * g[0] - g[2] * n[0]) >= kSmallestDivisor) {
    layout = Layout::SwapYZ;
  } else {
    layout = Layout::SwapXZ;
  }
  applyLayout(layout, g);
  applyLayout(layout, n);
  if (!(std::fabs(n[1] * g[0] - g[1] * n[0]) >= kSmallestDivisor)) return false;

  const double k1 = (g[1] * n[2] - n[1] * g[2]) / (n[1] * g[0] - g[1] * n[0]);
  const double k2 = (n[1] * ca) / (n[1] * g[0] - g[1] * n[0]);
  const double k3 = (g[0] * n[2] - n[0] * g[2]) / (g[1] * n[0] - n[1] * g[0]);
  const double k4 = (n[0] * ca) / (g[1] * n[0] - n[1] * g[0]);
  const double qa = k1 * k1 + k3 * k3 + 1;
  const double qb = k1 * k2 + k3 * k4;
  const double qc = k2 * k2 + k4 * k4 - 1;
  double disc = qb * qb - qa * qc;
  if (disc < 0) {
    const double scale = qb * qb + qa * (k2 * k2 + k4 * k4 + 1);
    if (disc < -kDiscriminantRounding * scale) return false;
    disc = 0.0;
  }

  const double root = std::sqrt(disc);
  double r = (-qb + root) / qa;
  first[0] = k1 * r + k2;
  first[1] = k3 * r + k4;
  first[2] = r;
  r = (-qb - root) / qa;
  second[0] = k1 * r + k2;
  second[1] = k3 * r + k4;
  second[2] = r;
  applyLayout(layout, first);
  applyLayout(layout, second);
  return true;
}

}  // namespace

int arOrientAxis(double direction[3], const double start[2], const double end[2],
                 const double projection[3][4]) {
  double block[9];
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) block[r * 3 + c] = projection[r][c];
  ArMatrix inverse{block, 3, 3};
  if (arMatrixInvertInPlace(&inverse) < 0) return -1;

  double w0[3], w1[3];
  for (int i = 0; i < 3; i++) {
    const double* k = block + i * 3;
    w0[i] = k[0] * start[0] * kOrientDepth + k[1] * start[1] * kOrientDepth + k[2] * kOrientDepth;
    w1[i] = w0[i] + direction[i];
  }
  double image0[2], image1[2];
  if (!projectThroughBlock(projection, w0, image0)) return -1;
  if (!projectThroughBlock(projection, w1, image1)) return -1;

  const double along = (end[0] - start[0]) * (image1[0] - image0[0]) +
                       (end[1] - start[1]) * (image1[1] - image0[1]);
  if (along < 0) {
    for (int i = 0; i < 3; i++) direction[i] = -direction[i];
  }
  return 0;
}

int arOrthogonalizeAxes(double u[3], double v[3]) {
  double normal[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const double length = std::sqrt(dot3(normal, normal));
  if (length == 0.0) return -1;
  for (double& x : normal) x /= length;

  // Each axis turns by the same angle so that the two end up 90 degrees apart.
  const double cb = std::fabs(dot3(u, v));
  const double ca = (std::sqrt(cb + 1.0) + std::sqrt(1.0 - cb)) * 0.5;

  double p1[3], p2[3], p3[3], p4[3];
  if (!turnedAxisCandidates(u, normal, ca, p1, p2)) return -1;
  if (!turnedAxisCandidates(v, normal, ca, p3, p4)) return -1;

  // The most nearly perpendicular pair of candidates wins; the order of tests settles ties.
  const double e1 = std::fabs(dot3(p1, p3));
  const double e2 = std::fabs(dot3(p1, p4));
  const double e3 = std::fabs(dot3(p2, p3));
  const double e4 = std::fabs(dot3(p2, p4));
  const double* newU;
  const double* newV;
  if (e1 < e2) {
    if (e1 < e3) {
      if (e1 < e4) {
        newU = p1, newV = p3;
      } else {
        newU = p2, newV = p4;
      }
    } else if (e3 < e4) {
      newU = p2, newV = p3;
    } else {
      newU = p2, newV = p4;
    }
  } else if (e2 < e3) {
    if (e2 < e4) {
      newU = p1, newV = p4;
    } else {
      newU = p2, newV = p4;
    }
  } else if (e3 < e4) {
    newU = p2, newV = p3;
  } else {
    newU = p2, newV = p4;
  }
  for (int i = 0; i < 3; i++) {
    u[i] = newU[i];
    v[i] = newV[i];
  }
  return 0;
}
