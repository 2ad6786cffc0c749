#include "camera/pose_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "camera/pose_angles.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The shipped camera's matrix (no lens distortion involved here).
const double kCamera[3][4] = {{554.3, 0, 321.0, 0}, {0, 554.3, 237.5, 0}, {0, 0, 1, 0}};

struct Uniform {
  uint64_t state;
  explicit Uniform(uint64_t seed) : state(seed) {}
  double operator()(double lo, double hi) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return lo + (hi - lo) * static_cast<double>(state >> 11) / 9007199254740992.0;
  }
};

double dot(const double x[3], const double y[3]) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; }

void cross(const double x[3], const double y[3], double out[3]) {
  out[0] = x[1] * y[2] - x[2] * y[1];
  out[1] = x[2] * y[0] - x[0] * y[2];
  out[2] = x[0] * y[1] - x[1] * y[0];
}

TEST(OrthogonalizeAxes, PerpendicularUnitAxesComeBackUnchanged) {
  double u[3] = {1, 0, 0}, v[3] = {0, 1, 0};
  ASSERT_EQ(arOrthogonalizeAxes(u, v), 0);
  EXPECT_EQ(u[0], 1.0);
  EXPECT_EQ(u[1], 0.0);
  EXPECT_EQ(u[2], 0.0);
  EXPECT_EQ(v[0], 0.0);
  EXPECT_EQ(v[1], 1.0);
  EXPECT_EQ(v[2], 0.0);
}

TEST(OrthogonalizeAxes, BothAxesTurnByHalfTheExcessAngle) {
  // 84.27 degrees apart: each axis turns 0.05 rad away from the other.
  double u[3] = {1, 0, 0}, v[3] = {std::sin(0.1), std::cos(0.1), 0};
  ASSERT_EQ(arOrthogonalizeAxes(u, v), 0);
  EXPECT_NEAR(u[0], std::cos(0.05), 1e-12);
  EXPECT_NEAR(u[1], -std::sin(0.05), 1e-12);
  EXPECT_NEAR(u[2], 0.0, 1e-12);
  EXPECT_NEAR(v[0], std::sin(0.05), 1e-12);
  EXPECT_NEAR(v[1], std::cos(0.05), 1e-12);
  EXPECT_NEAR(v[2], 0.0, 1e-12);
}

TEST(OrthogonalizeAxes, ParallelAxesFailAndStayUntouched) {
  double u[3] = {0.6, 0.8, 0}, v[3] = {0.6, 0.8, 0};
  EXPECT_EQ(arOrthogonalizeAxes(u, v), -1);
  EXPECT_EQ(u[0], 0.6);
  EXPECT_EQ(v[1], 0.8);
  double w[3] = {0.6, 0.8, 0}, opposite[3] = {-0.6, -0.8, 0};
  EXPECT_EQ(arOrthogonalizeAxes(w, opposite), -1);
}

TEST(OrthogonalizeAxes, AxesTooShortForAUnitSolutionFail) {
  // No unit vector has a projection of 1 onto an axis of length 0.5: the discriminant is -3,
  // a real failure and not rounding.
  double u[3] = {0.5, 0, 0}, v[3] = {0, 0.5, 0};
  EXPECT_EQ(arOrthogonalizeAxes(u, v), -1);
  EXPECT_EQ(u[0], 0.5);
  EXPECT_EQ(v[1], 0.5);
}

// The solve for each axis divides by N.y * G.x - G.y * N.x (in the first coordinate layout in
// which it is not 0). Where that is small the roots lose precision, and the starting axes are
// only roughly perpendicular (the pose search corrects that); the precise checks below keep to
// planes where it is at least 0.1 for both axes.
bool wellConditioned(const double u[3], const double v[3]) {
  double n[3];
  cross(u, v, n);
  const double length = std::sqrt(dot(n, n));
  for (double& x : n) x /= length;
  return std::fabs(n[1] * u[0] - u[1] * n[0]) >= 0.1 && std::fabs(n[1] * v[0] - v[1] * n[0]) >= 0.1;
}

// The columns of a rotation are perpendicular only to within rounding; the quadratic then has
// a double root whose discriminant can come out a little below 0. Such axes must still be
// accepted (and come back nearly as they were), or a perfectly seen marker gets no pose.
TEST(OrthogonalizeAxes, AxesPerpendicularToWithinRoundingAreAccepted) {
  Uniform uniform(7);
  int precise = 0;
  for (int i = 0; i < 20000; i++) {
    double r[3][3];
    arAnglesToRotation(uniform(-kPi, kPi), uniform(0, kPi), uniform(-kPi, kPi), r);
    double u[3] = {r[0][0], r[1][0], r[2][0]}, v[3] = {r[0][1], r[1][1], r[2][1]};
    const bool checkClosely = wellConditioned(u, v);
    ASSERT_EQ(arOrthogonalizeAxes(u, v), 0) << "case " << i;
    // A double root moves by the square root of the rounding in the discriminant: ~1e-8.
    const double tolerance = checkClosely ? 1e-6 : 0.05;
    precise += checkClosely;
    for (int k = 0; k < 3; k++) {
      ASSERT_NEAR(u[k], r[k][0], tolerance) << "case " << i;
      ASSERT_NEAR(v[k], r[k][1], tolerance) << "case " << i;
    }
  }
  EXPECT_GT(precise, 10000);
}

TEST(OrthogonalizeAxes, AxesOnACameraAxisUpToRoundingStayAccurate) {
  // The axes of a marker tilted about the camera's x axis, as the vanishing points give them
  // for exact corners: x is (1, 0, 0) and y is off the y-z plane by a rounding residue. Dividing
  // by that residue once turned y into (1.6e7, -0.9, -0.4).
  const double tilt = 25 * kPi / 180;
  double u[3] = {1, 0, 0}, v[3] = {1e-17, -std::cos(tilt), -std::sin(tilt)};
  ASSERT_EQ(arOrthogonalizeAxes(u, v), 0);
  EXPECT_NEAR(u[0], 1.0, 1e-9);
  EXPECT_NEAR(u[1], 0.0, 1e-6);
  EXPECT_NEAR(u[2], 0.0, 1e-6);
  EXPECT_NEAR(v[0], 0.0, 1e-6);
  EXPECT_NEAR(v[1], -std::cos(tilt), 1e-6);
  EXPECT_NEAR(v[2], -std::sin(tilt), 1e-6);
  double w[3] = {1, 2e-16, -1e-16}, z[3] = {-3e-17, 0.6, 0.8};
  ASSERT_EQ(arOrthogonalizeAxes(w, z), 0);
  EXPECT_NEAR(w[0], 1.0, 1e-9);
  EXPECT_NEAR(z[1], 0.6, 1e-6);
  EXPECT_NEAR(z[2], 0.8, 1e-6);
}

TEST(OrthogonalizeAxes, SkewedAxesBecomePerpendicularAboutTheSameBisector) {
  Uniform uniform(11);
  int checked = 0;
  for (int i = 0; i < 4000; i++) {
    double r[3][3];
    arAnglesToRotation(uniform(-kPi, kPi), uniform(0, kPi), uniform(-kPi, kPi), r);
    // Two unit axes in the plane of r's first two columns, 60 to 120 degrees apart.
    const double alpha = uniform(-kPi, kPi);
    const double beta = alpha + uniform(kPi / 3, 2 * kPi / 3);
    double u[3], v[3];
    for (int k = 0; k < 3; k++) {
      u[k] = std::cos(alpha) * r[k][0] + std::sin(alpha) * r[k][1];
      v[k] = std::cos(beta) * r[k][0] + std::sin(beta) * r[k][1];
    }
    if (!wellConditioned(u, v)) continue;
    checked++;
    double bisector[3] = {u[0] + v[0], u[1] + v[1], u[2] + v[2]};
    double normal[3];
    cross(u, v, normal);
    ASSERT_EQ(arOrthogonalizeAxes(u, v), 0) << "case " << i;
    EXPECT_NEAR(dot(u, v), 0.0, 1e-8);
    EXPECT_NEAR(dot(u, u), 1.0, 1e-12);
    EXPECT_NEAR(dot(v, v), 1.0, 1e-12);
    // Still in the same plane, same handedness, same bisector direction.
    EXPECT_NEAR(dot(u, normal), 0.0, 1e-9);
    EXPECT_NEAR(dot(v, normal), 0.0, 1e-9);
    double newNormal[3];
    cross(u, v, newNormal);
    EXPECT_GT(dot(newNormal, normal), 0.0);
    const double newBisector[3] = {u[0] + v[0], u[1] + v[1], u[2] + v[2]};
    double side[3];
    cross(newBisector, bisector, side);
    EXPECT_NEAR(std::sqrt(dot(side, side) / (dot(bisector, bisector) * dot(newBisector, newBisector))), 0.0,
                1e-8);
    EXPECT_GT(dot(newBisector, bisector), 0.0);
  }
  EXPECT_GT(checked, 2000);
}

TEST(OrientAxis, DirectionFollowsTheImageEdge) {
  const double start[2] = {200, 300}, right[2] = {400, 310}, left[2] = {50, 290};
  double along[3] = {1, 0, 0};
  ASSERT_EQ(arOrientAxis(along, start, right, kCamera), 0);
  EXPECT_EQ(along[0], 1.0);
  double against[3] = {0.8, 0, 0.6};
  ASSERT_EQ(arOrientAxis(against, start, left, kCamera), 0);
  EXPECT_EQ(against[0], -0.8);
  EXPECT_EQ(against[1], -0.0);
  EXPECT_EQ(against[2], -0.6);
  // Camera y points down the image: a direction (0, 1, 0) runs from top to bottom.
  const double below[2] = {200, 420};
  double down[3] = {0, -1, 0};
  ASSERT_EQ(arOrientAxis(down, start, below, kCamera), 0);
  EXPECT_EQ(down[1], 1.0);
}

TEST(OrientAxis, EdgeOfZeroLengthKeepsTheDirection) {
  const double start[2] = {200, 300};
  double direction[3] = {-1, 0, 0};
  ASSERT_EQ(arOrientAxis(direction, start, start, kCamera), 0);
  EXPECT_EQ(direction[0], -1.0);
}

TEST(OrientAxis, SingularCameraBlockFailsAndKeepsTheDirection) {
  const double flat[3][4] = {{554.3, 0, 321.0, 0}, {554.3, 0, 321.0, 0}, {0, 0, 1, 0}};
  const double start[2] = {200, 300}, end[2] = {50, 300};
  double direction[3] = {1, 0, 0};
  EXPECT_EQ(arOrientAxis(direction, start, end, flat), -1);
  EXPECT_EQ(direction[0], 1.0);
}

TEST(OrientAxis, PointAtInfinityFails) {
  // The tried point is 10 units deep; moving it by -10 in z puts it in the camera's plane.
  const double start[2] = {200, 300}, end[2] = {50, 300};
  double direction[3] = {0, 0, -10};
  EXPECT_EQ(arOrientAxis(direction, start, end, kCamera), -1);
  EXPECT_EQ(direction[2], -10.0);
}

}  // namespace
