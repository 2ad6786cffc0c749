#include "camera/pose_angles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

void rz(double u, double m[3][3]) {
  const double c = std::cos(u), s = std::sin(u);
  const double r[3][3] = {{c, -s, 0}, {s, c, 0}, {0, 0, 1}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m[i][j] = r[i][j];
}

void ry(double u, double m[3][3]) {
  const double c = std::cos(u), s = std::sin(u);
  const double r[3][3] = {{c, 0, s}, {0, 1, 0}, {-s, 0, c}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m[i][j] = r[i][j];
}

void multiply(const double a[3][3], const double b[3][3], double out[3][3]) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

// Rz(a) * Ry(b) * Rz(c - a) as a product of the three turns.
void zyzProduct(double a, double b, double c, double out[3][3]) {
  double za[3][3], yb[3][3], zc[3][3], t[3][3];
  rz(a, za);
  ry(b, yb);
  rz(c - a, zc);
  multiply(za, yb, t);
  multiply(t, zc, out);
}

// Angles on a grid over a in (-pi, pi], including the ends where acos is least well conditioned.
const double kAzimuths[] = {-kPi + 0.001, -2.5, -kPi / 2, -1.0, -0.3, 0.0, 0.3, 1.0, kPi / 2, 2.5, kPi};
const double kTilts[] = {0.001, 0.01, 0.2, 0.7, kPi / 2, 2.0, 3.0, kPi - 0.001};

TEST(PoseAngles, RotationFormulaIsZyzProduct) {
  for (double a : kAzimuths)
    for (double b : kTilts)
      for (double c : kAzimuths) {
        double formula[3][3], product[3][3];
        arAnglesToRotation(a, b, c, formula);
        zyzProduct(a, b, c, product);
        for (int i = 0; i < 3; i++)
          for (int j = 0; j < 3; j++) ASSERT_NEAR(formula[i][j], product[i][j], 1e-14);
      }
}

TEST(PoseAngles, IdentityGivesZeroAnglesByTheOnAxisBranch) {
  double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double a = 9, b = 9, c = 9;
  arRotationToAngles(r, &a, &b, &c);
  EXPECT_EQ(a, 0.0);
  EXPECT_EQ(b, 0.0);
  EXPECT_EQ(c, 0.0);
}

TEST(PoseAngles, OnAxisTurnGoesIntoC) {
  // A normal tilted by less than 1e-6 counts as on the axis: only the in-plane turn remains.
  double r[3][3];
  arAnglesToRotation(0.4, 5e-7, 1.2, r);
  double a, b, c;
  arRotationToAngles(r, &a, &b, &c);
  EXPECT_EQ(a, 0.0);
  EXPECT_EQ(b, 0.0);
  EXPECT_NEAR(c, 1.2, 1e-6);
}

TEST(PoseAngles, MarkerSeenSquareOnGivesTiltPiAndKeepsItsTurn) {
  // The normal exactly on -z: the general formulas would divide 0 by 0 here, and every
  // marker that faces the camera squarely starts from such a rotation.
  for (double spin : {0.0, 0.3, -2.0, kPi}) {
    const double cs = std::cos(spin), sn = std::sin(spin);
    // diag(1, -1, -1) * Rz(spin): the frontal upright marker turned in its plane.
    double r[3][3] = {{cs, -sn, 0}, {-sn, -cs, 0}, {0, 0, -1}};
    double original[3][3];
    std::memcpy(original, r, sizeof r);
    double a, b, c;
    arRotationToAngles(r, &a, &b, &c);
    EXPECT_EQ(a, 0.0);
    EXPECT_EQ(b, kPi);
    ASSERT_TRUE(std::isfinite(c));
    double back[3][3];
    arAnglesToRotation(a, b, c, back);
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 3; j++) EXPECT_NEAR(back[i][j], original[i][j], 1e-12) << "spin " << spin;
  }
}

// A fixed linear congruential sequence: reproducible and spread over the domain.
struct Uniform {
  uint64_t state = 12345;
  double operator()(double lo, double hi) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return lo + (hi - lo) * static_cast<double>(state >> 11) / 9007199254740992.0;
  }
};

// Distance between two angles on the circle (pi and -pi are the same turn).
double angleGap(double x, double y) { return std::fabs(std::remainder(x - y, 2 * kPi)); }

// a and c come from acos of a cosine, which is exact to 1e-9 except within a few degrees of
// 0 and pi, where the cosine is flat (see the next test).
bool awayFromAcosEnds(double angle) { return std::fabs(std::sin(angle)) >= 0.05; }

TEST(PoseAngles, RoundTripToWithinOneNanoradian) {
  std::vector<double> tilts(std::begin(kTilts), std::end(kTilts));
  Uniform uniform;
  for (int i = 0; i < 200; i++) tilts.push_back(uniform(0.001, kPi - 0.001));
  int checked = 0;
  for (double b : tilts) {
    for (int i = 0; i < 100; i++) {
      const double a = uniform(-kPi, kPi), c = uniform(-kPi, kPi);
      if (!awayFromAcosEnds(a) || !awayFromAcosEnds(c)) continue;
      double r[3][3];
      arAnglesToRotation(a, b, c, r);
      double ga, gb, gc;
      arRotationToAngles(r, &ga, &gb, &gc);
      ASSERT_NEAR(ga, a, 1e-9) << "a " << a << " b " << b << " c " << c;
      ASSERT_NEAR(gb, b, 1e-9) << "a " << a << " b " << b << " c " << c;
      ASSERT_NEAR(gc, c, 1e-9) << "a " << a << " b " << b << " c " << c;
      checked++;
    }
  }
  EXPECT_GT(checked, 15000);
}

TEST(PoseAngles, RoundTripNearTheAcosEndsIsLooser) {
  // Within a few degrees of 0 or pi the angles come back to about 1e-6 only: a cosine rounded by
  // 1e-16 moves acos there by up to sqrt(2e-16), more where sin b is small and the cosine is a
  // quotient. The rotation they describe moves by up to a few 1e-6 (near-frontal markers, b close to
  // pi, are the worst), still far below the search's finest step of 3.4e-4.
  Uniform uniform;
  const double ends[] = {0.0, kPi, -kPi + 1e-12};
  for (double b : kTilts) {
    for (double endA : ends)
      for (double endC : ends)
        for (double offset : {0.0, 1e-9, -1e-7, 1e-5, -1e-3, 0.04}) {
          const double a = endA + offset * uniform(0.5, 1.0), c = endC - offset * uniform(0.5, 1.0);
          double r[3][3];
          arAnglesToRotation(a, b, c, r);
          double back[3][3] = {};
          double ga, gb, gc;
          arRotationToAngles(r, &ga, &gb, &gc);
          EXPECT_LT(angleGap(ga, a), 2e-6) << "a " << a << " b " << b << " c " << c;
          EXPECT_NEAR(gb, b, 1e-9) << "a " << a << " b " << b << " c " << c;
          EXPECT_LT(angleGap(gc, c), 2e-6) << "a " << a << " b " << b << " c " << c;
          arAnglesToRotation(ga, gb, gc, back);
          for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++)
              EXPECT_NEAR(back[i][j], r[i][j], 1e-5) << "a " << a << " b " << b << " c " << c;
        }
  }
}

TEST(PoseAngles, OutOfRangeCosineIsClampedInTheCallersMatrix) {
  double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1 + 4e-16}};
  double a, b, c;
  arRotationToAngles(r, &a, &b, &c);
  EXPECT_EQ(r[2][2], 1.0);
  EXPECT_EQ(b, 0.0);
  double flipped[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1 - 4e-16}};
  arRotationToAngles(flipped, &a, &b, &c);
  EXPECT_EQ(flipped[2][2], -1.0);
  EXPECT_EQ(b, kPi);
}

TEST(PoseAngles, ComposedProjectionIsCameraTimesPose) {
  const double p[3][4] = {{554.3, 0.5, 321.0, 2.0}, {0, 554.3, 237.5, -3.0}, {0, 0, 1, 0.25}};
  const double t[3] = {12.0, -30.0, 650.0};
  double h[3][4], r[3][3];
  arComposeProjection(0.3, 2.6, -1.1, t, p, h);
  arAnglesToRotation(0.3, 2.6, -1.1, r);
  for (int j = 0; j < 3; j++) {
    for (int i = 0; i < 3; i++)
      EXPECT_NEAR(h[j][i], p[j][0] * r[0][i] + p[j][1] * r[1][i] + p[j][2] * r[2][i], 1e-12);
    EXPECT_NEAR(h[j][3], p[j][0] * t[0] + p[j][1] * t[1] + p[j][2] * t[2] + p[j][3], 1e-12);
  }
}

}  // namespace
