// The small dense matrices and the principal axes built on them.
#include "camera/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "camera/principal_axes.h"

namespace {

// Own a matrix or a vector for the length of a test.
struct Mat {
  ArMatrix* m;
  Mat(int r, int c, std::vector<double> x = {}) : m(arMatrixCreate(r, c)) { std::copy(x.begin(), x.end(), m->data); }
  ~Mat() { arMatrixRelease(m); }
};
struct Vec {
  ArVector* v;
  Vec(int n, std::vector<double> x = {}) : v(arVectorCreate(n)) { std::copy(x.begin(), x.end(), v->data); }
  ~Vec() { arMatrixRelease(v); }
};

TEST(MatrixInverse, ExactCasesAndRefusals) {
  const struct {
    int n;
    std::vector<double> in, out;  // out empty: refused
  } cases[] = {
      {1, {4}, {0.25}},
      {2, {1e-10, 0, 0, 1}, {}},  // a pivot at the threshold is singular
      {2, {2e-10, 0, 0, 1}, {1 / 2e-10, 0, 0, 1}},
      {3, {0, 1, 0, 0, 0, 1, 1, 0, 0}, {0, 0, 1, 1, 0, 0, 0, 1, 0}},
      // Equal pivot magnitudes: the upper row is taken, which rounds the last digits so.
      {2, {1, -5, -1, -2}, {0.28571428571428581, -0.71428571428571419, -0.14285714285714285, -0.14285714285714285}},
      {3, {1, 2, 3, 2, 4, 6, 1, 1, 1}, {}},
      {0, {}, {}},
  };
  for (const auto& c : cases) {
    Mat a(c.n, c.n, c.in);
    ASSERT_EQ(arMatrixInvertInPlace(a.m), c.out.empty() ? -1 : 0) << (&c - cases);
    for (size_t i = 0; i < c.out.size(); i++) EXPECT_EQ(a.m->data[i], c.out[i]) << (&c - cases) << ", " << i;
  }
  Mat big(51, 51, {2.0});
  EXPECT_TRUE(arMatrixInvertInPlace(big.m) == -1 && big.m->data[0] == 2.0);  // untouched
}

TEST(MatrixInverse, RandomMatrixTimesItsInverseIsTheIdentity) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int n : {3, 50}) {
    Mat a(n, n), inverse(n, n), product(n, n);
    for (int i = 0; i < n * n; i++) a.m->data[i] = inverse.m->data[i] = u(rng);
    ASSERT_TRUE(arMatrixInvertInPlace(inverse.m) == 0 && arMatrixMultiply(product.m, a.m, inverse.m) == 0);
    for (int i = 0; i < n * n; i++) EXPECT_NEAR(product.m->data[i], i % (n + 1) == 0 ? 1.0 : 0.0, 1e-9) << n;
  }
}

TEST(Matrix, ShapeMismatchesAreRefused) {
  Mat a(2, 3, {1, 2, 3, 4, 5, 6}), b(3, 2), d(2, 2, {9, 9, 9, 9});
  EXPECT_TRUE(arMatrixMultiply(d.m, a.m, a.m) == -1 && arMatrixCopyInto(b.m, a.m) == -1);
  for (int i = 0; i < 4; i++) EXPECT_EQ(d.m->data[i], 9.0);  // untouched
  EXPECT_TRUE(arMatrixCreate(-1, 3) == nullptr && arVectorCreate(-2) == nullptr);
  Vec x(3), z(2);
  EXPECT_DEATH(arVectorDot(x.v, z.v), "lengths 3 and 2");
}

TEST(Householder, ReflectsTowardsTheFirstAxisWithTheStableSign) {
  Vec a(2, {3, 4}), b(2, {-3, 4}), zero(3, {0, 0, 0});
  EXPECT_TRUE(arVectorHouseholder(a.v) == -5.0 && arVectorHouseholder(b.v) == 5.0);
  EXPECT_DOUBLE_EQ(a.v->data[0], 8 / std::sqrt(40.0));
  EXPECT_DOUBLE_EQ(b.v->data[0], -8 / std::sqrt(40.0));
  EXPECT_DOUBLE_EQ(b.v->data[1], 4 / std::sqrt(40.0));
  const double r = arVectorHouseholder(zero.v);
  EXPECT_TRUE(r == 0.0 && std::signbit(r) && zero.v->data[0] == 0.0);
}

// Points at +-3, +-2 and +-1 along the rows u of a rotation, around (1, 2, 3): the axes are the
// rows, the eigenvalues 9 : 4 : 1. Two points in three dimensions take the dual (row) route.
TEST(PrincipalAxes, ExactAxesOfSmallPointSets) {
  const double u[3][3] = {{0.36, 0.48, -0.8}, {-0.8, 0.6, 0}, {0.48, 0.64, 0.6}};
  Mat points(6, 3), evec(3, 3);
  Vec ev(3), mean(3);
  for (int i = 0; i < 6; i++)
    for (int c = 0; c < 3; c++) points.m->data[i * 3 + c] = c + 1 + (i % 2 ? -1 : 1) * (3 - i / 2) * u[i / 2][c];
  ASSERT_EQ(arMatrixPrincipalAxes(points.m, evec.m, ev.v, mean.v), 0);
  for (int k = 0; k < 3; k++) {
    EXPECT_NEAR(mean.v->data[k], k + 1, 1e-12);
    EXPECT_NEAR(ev.v->data[k], (3 - k) * (3 - k) / 14.0, 1e-12);
    EXPECT_NEAR(std::fabs(std::inner_product(u[k], u[k] + 3, evec.m->data + 3 * k, 0.0)), 1.0, 1e-12) << k;
  }
  Mat line(2, 3, {1, 2, 3, 3, 6, 9}), dual(2, 3);
  Vec dualEv(2);
  ASSERT_EQ(arMatrixPrincipalAxes(line.m, dual.m, dualEv.v, mean.v), 0);
  for (int j = 0; j < 3; j++) EXPECT_NEAR(std::fabs(dual.m->data[j]), (j + 1) / std::sqrt(14.0), 1e-12);
  EXPECT_EQ(dualEv.v->data[1], 0.0);
  for (int j = 3; j < 6; j++) EXPECT_EQ(dual.m->data[j], 0.0);
  Mat onePoint(1, 3), square(3, 3);
  EXPECT_EQ(arMatrixPrincipalAxes(onePoint.m, evec.m, ev.v, mean.v), -1);
  EXPECT_EQ(arMatrixPrincipalAxes(line.m, evec.m, dualEv.v, mean.v), -1);  // evec must be 2 x 3
  EXPECT_TRUE(arMatrixEigenQR(points.m, ev.v) == -1 && arMatrixEigenQR(square.m, dualEv.v) == -1);
}

}  // namespace
