#include "pose/pose_axes.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pose/pose_angles.h"
#include "tests/pose/pose_test_support.h"

namespace {

TEST(OrthogonalizeAxes, WorkedExamples) {
  const double s = std::sin(0.05), c = std::cos(0.05);
  struct Case {
    const char* name;
    double u[3], v[3];
    int result;
    double newU[3], newV[3];  // for a failure: the input, untouched
    double tolerance;
  } cases[] = {
      {"perpendicular", {1, 0, 0}, {0, 1, 0}, 0, {1, 0, 0}, {0, 1, 0}, 0},
      {"0.1 rad short of 90 degrees: each turns 0.05 away", {1, 0, 0}, {std::sin(0.1), std::cos(0.1), 0}, 0,
       {c, -s, 0}, {s, c, 0}, 1e-12},
      {"identical", {0.6, 0.8, 0}, {0.6, 0.8, 0}, -1, {0.6, 0.8, 0}, {0.6, 0.8, 0}, 0},
      {"opposite", {0.6, 0.8, 0}, {-0.6, -0.8, 0}, -1, {0.6, 0.8, 0}, {-0.6, -0.8, 0}, 0},
      // No unit vector projects to 1 on an axis of length 0.5: discriminant -3, no rounding.
      {"too short", {0.5, 0, 0}, {0, 0.5, 0}, -1, {0.5, 0, 0}, {0, 0.5, 0}, 0},
      // Regression: dividing by the 1e-17 residue once turned y into (1.6e7, -0.9, -0.4).
      {"on a camera axis up to rounding", {1, 0, 0}, {1e-17, -std::cos(0.4), -std::sin(0.4)}, 0, {1, 0, 0},
       {0, -std::cos(0.4), -std::sin(0.4)}, 1e-6},
      {"on camera axes up to rounding", {1, 2e-16, -1e-16}, {-3e-17, 0.6, 0.8}, 0, {1, 0, 0}, {0, 0.6, 0.8}, 1e-6},
  };
  for (Case& t : cases) {
    ASSERT_EQ(arOrthogonalizeAxes(t.u, t.v), t.result) << t.name;
    for (int k = 0; k < 3; k++) {
      EXPECT_NEAR(t.u[k], t.newU[k], t.tolerance) << t.name;
      EXPECT_NEAR(t.v[k], t.newV[k], t.tolerance) << t.name;
    }
  }
}

// The solve for each axis divides by N.y * G.x - G.y * N.x; where that is small the roots lose
// precision (the pose search corrects that), so the close checks keep to where it is >= 0.1.
bool wellConditioned(const double u[3], const double v[3], const double n[3]) {
  return std::fabs(n[1] * u[0] - u[1] * n[0]) >= 0.1 && std::fabs(n[1] * v[0] - v[1] * n[0]) >= 0.1;
}

// The columns of a rotation are perpendicular only to within rounding; the discriminant of the
// double root can then come out a little below 0. Such axes must be accepted, or a perfectly
// seen marker gets no pose.
TEST(OrthogonalizeAxes, AxesPerpendicularToWithinRoundingAreAccepted) {
  Uniform uniform(7);
  int precise = 0;
  for (int i = 0; i < 20000; i++) {
    double r[3][3];
    arAnglesToRotation(uniform(-kPi, kPi), uniform(0, kPi), uniform(-kPi, kPi), r);
    double u[3] = {r[0][0], r[1][0], r[2][0]}, v[3] = {r[0][1], r[1][1], r[2][1]};
    const double n[3] = {r[0][2], r[1][2], r[2][2]};
    const bool closely = wellConditioned(u, v, n);
    precise += closely;
    ASSERT_EQ(arOrthogonalizeAxes(u, v), 0) << "case " << i;
    for (int k = 0; k < 3; k++) {  // a double root moves by the root of the rounding: ~1e-8
      ASSERT_NEAR(u[k], r[k][0], closely ? 1e-6 : 0.05) << "case " << i;
      ASSERT_NEAR(v[k], r[k][1], closely ? 1e-6 : 0.05) << "case " << i;
    }
  }
  EXPECT_GT(precise, 10000);
}

// Axes at angles alpha and beta in the plane of r's first two columns must end up at 45 degrees
// either side of their bisector, in the same plane and the same order.
TEST(OrthogonalizeAxes, SkewedAxesTurnEquallyAboutTheirBisector) {
  Uniform uniform(11);
  int checked = 0;
  for (int i = 0; i < 4000; i++) {
    double r[3][3];
    arAnglesToRotation(uniform(-kPi, kPi), uniform(0, kPi), uniform(-kPi, kPi), r);
    const double alpha = uniform(-kPi, kPi), beta = alpha + uniform(kPi / 3, 2 * kPi / 3);
    const double bisector = (alpha + beta) / 2;
    double u[3], v[3], newU[3], newV[3];
    for (int k = 0; k < 3; k++) {
      u[k] = std::cos(alpha) * r[k][0] + std::sin(alpha) * r[k][1];
      v[k] = std::cos(beta) * r[k][0] + std::sin(beta) * r[k][1];
      newU[k] = std::cos(bisector - kPi / 4) * r[k][0] + std::sin(bisector - kPi / 4) * r[k][1];
      newV[k] = std::cos(bisector + kPi / 4) * r[k][0] + std::sin(bisector + kPi / 4) * r[k][1];
    }
    const double n[3] = {r[0][2], r[1][2], r[2][2]};
    if (!wellConditioned(u, v, n)) continue;
    checked++;
    ASSERT_EQ(arOrthogonalizeAxes(u, v), 0) << "case " << i;
    for (int k = 0; k < 3; k++) {
      ASSERT_NEAR(u[k], newU[k], 1e-8) << "case " << i;
      ASSERT_NEAR(v[k], newV[k], 1e-8) << "case " << i;
    }
  }
  EXPECT_GT(checked, 2000);
}

TEST(OrientAxis, DirectionFollowsTheImageEdge) {
  const double camera[3][4] = {{554.3, 0, 321.0, 0}, {0, 554.3, 237.5, 0}, {0, 0, 1, 0}};
  const double flat[3][4] = {{554.3, 0, 321.0, 0}, {554.3, 0, 321.0, 0}, {0, 0, 1, 0}};
  const double start[2] = {200, 300};
  struct Case {
    const char* name;
    const double (*projection)[4];
    double end[2], direction[3];
    int result;
    double expected[3];
  } cases[] = {
      {"along", camera, {400, 310}, {1, 0, 0}, 0, {1, 0, 0}},
      {"against", camera, {50, 290}, {0.8, 0, 0.6}, 0, {-0.8, 0, -0.6}},
      {"camera y runs down the image", camera, {200, 420}, {0, -1, 0}, 0, {0, 1, 0}},
      {"edge of zero length", camera, {200, 300}, {-1, 0, 0}, 0, {-1, 0, 0}},
      {"singular camera block", flat, {50, 300}, {1, 0, 0}, -1, {1, 0, 0}},
      // The tried point is 10 units deep: moving it by -10 in z puts it at infinity.
      {"point at infinity", camera, {50, 300}, {0, 0, -10}, -1, {0, 0, -10}},
  };
  for (Case& t : cases) {
    EXPECT_EQ(arOrientAxis(t.direction, start, t.end, t.projection), t.result) << t.name;
    for (int k = 0; k < 3; k++) EXPECT_EQ(t.direction[k], t.expected[k]) << t.name;
  }
}

}  // namespace
