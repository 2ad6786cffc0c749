#include "camera/decomposition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

void rotation(double a, double b, double c, double r[3][3]) {
  const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b), cc = std::cos(c),
               sc = std::sin(c);
  const double rx[3][3] = {{1, 0, 0}, {0, ca, -sa}, {0, sa, ca}};
  const double ry[3][3] = {{cb, 0, sb}, {0, 1, 0}, {-sb, 0, cb}};
  const double rz[3][3] = {{cc, -sc, 0}, {sc, cc, 0}, {0, 0, 1}};
  double t[3][3] = {};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      for (int k = 0; k < 3; k++) t[i][j] += rx[i][k] * ry[k][j];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      r[i][j] = 0;
      for (int k = 0; k < 3; k++) r[i][j] += t[i][k] * rz[k][j];
    }
}

// S = lambda * K * [R | t] for a random upper-triangular K and rotation R.
void makeCamera(std::mt19937& rng, double s[3][4], double kTrue[3][3]) {
  std::uniform_real_distribution<double> u(-1, 1);
  const double k[3][3] = {{500 + 100 * u(rng), 3 * u(rng), 320 + 20 * u(rng)},
                          {0, 500 + 100 * u(rng), 240 + 20 * u(rng)},
                          {0, 0, 1}};
  double r[3][3];
  rotation(u(rng), u(rng), u(rng), r);
  const double t[3] = {10 * u(rng), 10 * u(rng), 50 + 10 * u(rng)};
  const double lambda = 2.5;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) {
      kTrue[i][j] = k[i][j];
      s[i][j] = 0;
      for (int m = 0; m < 3; m++) s[i][j] += lambda * k[i][m] * r[m][j];
    }
    s[i][3] = 0;
    for (int m = 0; m < 3; m++) s[i][3] += lambda * k[i][m] * t[m];
  }
}

TEST(Decomposition, RecoversAnUpperTriangularKAndARotation) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 50; trial++) {
    double s[3][4], kTrue[3][3], k[3][4], t[3][4];
    makeCamera(rng, s, kTrue);
    ASSERT_EQ(arParamDecompMat(s, k, t), 0);
    EXPECT_EQ(k[2][2], 1.0);
    EXPECT_EQ(k[1][0], 0.0);
    EXPECT_EQ(k[2][0], 0.0);
    EXPECT_EQ(k[2][1], 0.0);
    for (int r = 0; r < 3; r++) EXPECT_EQ(k[r][3], 0.0);
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 3; j++) EXPECT_NEAR(k[i][j], kTrue[i][j], 1e-9 * 600);
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 3; j++) {
        const double d = t[i][0] * t[j][0] + t[i][1] * t[j][1] + t[i][2] * t[j][2];
        EXPECT_NEAR(d, i == j ? 1.0 : 0.0, 1e-12);
      }
    // S is proportional to K * T, with the factor S(2, 3) / (K * T)(2, 3).
    double kt[3][4];
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 4; j++) {
        kt[i][j] = 0;
        for (int m = 0; m < 3; m++) kt[i][j] += k[i][m] * t[m][j];
      }
    const double f = s[2][0] / kt[2][0];
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 4; j++) EXPECT_NEAR(s[i][j], f * kt[i][j], 1e-8 * std::fabs(s[i][j]) + 1e-8);
  }
}

TEST(Decomposition, NegatedSourceGivesTheSameResult) {
  std::mt19937 rng(9);
  double s[3][4], kTrue[3][3], k1[3][4], t1[3][4], k2[3][4], t2[3][4];
  makeCamera(rng, s, kTrue);
  double neg[3][4];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) neg[i][j] = -s[i][j];
  ASSERT_GT(s[2][3], 0);
  arParamDecompMat(s, k1, t1);
  arParamDecompMat(neg, k2, t2);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) {
      EXPECT_EQ(k1[i][j], k2[i][j]);
      EXPECT_EQ(t1[i][j], t2[i][j]);
    }
}

}  // namespace
