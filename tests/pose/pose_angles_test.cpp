#include "pose/pose_angles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/pose/pose_test_support.h"

namespace {

// A grid over a in (-pi, pi] and b in (0, pi), including the ends where acos is least well conditioned.
const double kAzimuths[] = {-kPi + 0.001, -2.5, -kPi / 2, -1.0, -0.3, 0.0, 0.3, 1.0, kPi / 2, 2.5, kPi};
const double kTilts[] = {0.001, 0.01, 0.2, 0.7, kPi / 2, 2.0, 3.0, kPi - 0.001};

TEST(PoseAngles, RotationIsTheProductRzRyRz) {
  for (double a : kAzimuths)
    for (double b : kTilts)
      for (double c : kAzimuths) {
        const double z[3] = {0, 0, 1}, y[3] = {0, 1, 0};
        double za[3][3], yb[3][3], zc[3][3], t[3][3], product[3][3], formula[3][3];
        axisRotation(z, a, za);
        axisRotation(y, b, yb);
        axisRotation(z, c - a, zc);
        multiply3(za, yb, t);
        multiply3(t, zc, product);
        arAnglesToRotation(a, b, c, formula);
        for (int i = 0; i < 9; i++) ASSERT_NEAR(formula[i / 3][i % 3], product[i / 3][i % 3], 1e-14);
      }
}

TEST(PoseAngles, NormalOnTheCameraAxisPutsTheWholeTurnIntoC) {
  // The general formulas would divide 0 by 0 here; the identity must come out as zeros.
  double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double a = 9, b = 9, c = 9;
  arRotationToAngles(r, &a, &b, &c);
  EXPECT_TRUE(a == 0.0 && b == 0.0 && c == 0.0) << a << " " << b << " " << c;
  arAnglesToRotation(0.4, 5e-7, 1.2, r);  // a tilt under 1e-6 counts as on the axis
  arRotationToAngles(r, &a, &b, &c);
  EXPECT_TRUE(a == 0.0 && b == 0.0) << a << " " << b;
  EXPECT_NEAR(c, 1.2, 1e-6);
  // Normal on -z, b = pi: every marker seen square on starts from such a rotation.
  for (double spin : {0.0, 0.3, -2.0, kPi}) {
    const double cs = std::cos(spin), sn = std::sin(spin);
    double square[3][3] = {{cs, -sn, 0}, {-sn, -cs, 0}, {0, 0, -1}}, back[3][3];
    arRotationToAngles(square, &a, &b, &c);
    EXPECT_TRUE(a == 0.0 && b == kPi) << "spin " << spin;
    arAnglesToRotation(a, b, c, back);
    for (int i = 0; i < 9; i++) EXPECT_NEAR(back[i / 3][i % 3], square[i / 3][i % 3], 1e-12) << "spin " << spin;
  }
  // A cosine rounded past 1 is clamped in the caller's matrix.
  double over[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1 + 4e-16}};
  arRotationToAngles(over, &a, &b, &c);
  EXPECT_TRUE(over[2][2] == 1.0 && b == 0.0);
  double under[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1 - 4e-16}};
  arRotationToAngles(under, &a, &b, &c);
  EXPECT_TRUE(under[2][2] == -1.0 && b == kPi);
}

// Distance between two angles on the circle (pi and -pi are the same turn).
double angleGap(double x, double y) { return std::fabs(std::remainder(x - y, 2 * kPi)); }

TEST(PoseAngles, RoundTripToWithinOneNanoradianAwayFromTheAcosEnds) {
  std::vector<double> tilts(std::begin(kTilts), std::end(kTilts));
  Uniform uniform(12345);
  for (int i = 0; i < 200; i++) tilts.push_back(uniform(0.001, kPi - 0.001));
  int checked = 0;
  for (double b : tilts)
    for (int i = 0; i < 100; i++) {
      const double a = uniform(-kPi, kPi), c = uniform(-kPi, kPi);
      // a and c come from acos of a cosine, which is flat within a few degrees of 0 and pi.
      if (std::fabs(std::sin(a)) < 0.05 || std::fabs(std::sin(c)) < 0.05) continue;
      double r[3][3], ga, gb, gc;
      arAnglesToRotation(a, b, c, r);
      arRotationToAngles(r, &ga, &gb, &gc);
      ASSERT_TRUE(std::fabs(ga - a) < 1e-9 && std::fabs(gb - b) < 1e-9 && std::fabs(gc - c) < 1e-9)
          << "a " << a << " b " << b << " c " << c << " gave " << ga << " " << gb << " " << gc;
      checked++;
    }
  EXPECT_GT(checked, 15000);
}

TEST(PoseAngles, RoundTripNearTheAcosEndsIsLooser) {
  // There a cosine rounded by 1e-16 moves acos by up to sqrt(2e-16): angles come back to about
  // 1e-6, still far below the search's finest step of 3.4e-4.
  Uniform uniform(12345);
  const double ends[] = {0.0, kPi, -kPi + 1e-12};
  for (double b : kTilts)
    for (double endA : ends)
      for (double endC : ends)
        for (double offset : {0.0, 1e-9, -1e-7, 1e-5, -1e-3, 0.04}) {
          const double a = endA + offset * uniform(0.5, 1.0), c = endC - offset * uniform(0.5, 1.0);
          double r[3][3], back[3][3], ga, gb, gc;
          arAnglesToRotation(a, b, c, r);
          arRotationToAngles(r, &ga, &gb, &gc);
          EXPECT_TRUE(angleGap(ga, a) < 2e-6 && std::fabs(gb - b) < 1e-9 && angleGap(gc, c) < 2e-6)
              << "a " << a << " b " << b << " c " << c << " gave " << ga << " " << gb << " " << gc;
          arAnglesToRotation(ga, gb, gc, back);
          for (int i = 0; i < 9; i++)
            EXPECT_NEAR(back[i / 3][i % 3], r[i / 3][i % 3], 1e-5) << "a " << a << " b " << b << " c " << c;
        }
}

TEST(PoseAngles, ComposedProjectionIsCameraTimesPose) {
  const double p[3][4] = {{554.3, 0.5, 321.0, 2.0}, {0, 554.3, 237.5, -3.0}, {0, 0, 1, 0.25}};
  const double t[3] = {12.0, -30.0, 650.0};
  double h[3][4], r[3][3];
  arComposeProjection(0.3, 2.6, -1.1, t, p, h);
  arAnglesToRotation(0.3, 2.6, -1.1, r);
  for (int j = 0; j < 3; j++) {
    for (int i = 0; i < 3; i++) EXPECT_NEAR(h[j][i], p[j][0] * r[0][i] + p[j][1] * r[1][i] + p[j][2] * r[2][i], 1e-12);
    EXPECT_NEAR(h[j][3], p[j][0] * t[0] + p[j][1] * t[1] + p[j][2] * t[2] + p[j][3], 1e-12);
  }
}

}  // namespace
