#include "camera/principal_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "camera/principal_axes_internal.h"

namespace {

TEST(Householder, ZeroVectorGivesNegativeZeroAndStaysZero) {
  ArVector* x = arVectorCreate(3);
  for (int i = 0; i < 3; i++) x->data[i] = 0.0;
  const double r = arVectorHouseholder(x);
  EXPECT_EQ(r, 0.0);
  EXPECT_TRUE(std::signbit(r));
  for (int i = 0; i < 3; i++) EXPECT_EQ(x->data[i], 0.0);
  arMatrixRelease(x);
}

TEST(Householder, ThreeFour) {
  ArVector* x = arVectorCreate(2);
  x->data[0] = 3;
  x->data[1] = 4;
  EXPECT_EQ(arVectorHouseholder(x), -5.0);
  EXPECT_DOUBLE_EQ(x->data[0], 8 / std::sqrt(40.0));
  EXPECT_DOUBLE_EQ(x->data[1], 4 / std::sqrt(40.0));
  arMatrixRelease(x);
}

TEST(Householder, NegativeLeadingElementFlipsTheSign) {
  ArVector* x = arVectorCreate(2);
  x->data[0] = -3;
  x->data[1] = 4;
  EXPECT_EQ(arVectorHouseholder(x), 5.0);
  EXPECT_DOUBLE_EQ(x->data[0], -8 / std::sqrt(40.0));
  arMatrixRelease(x);
}

// Random symmetric matrices: the eigenvectors must satisfy A v = lambda v, be orthonormal and
// come with eigenvalues in descending order.
TEST(EigenQR, RandomSymmetricMatrices) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-5, 5);
  for (int n : {2, 3, 4, 6, 10}) {
    ArMatrix* a = arMatrixCreate(n, n);
    for (int r = 0; r < n; r++)
      for (int c = r; c < n; c++) a->data[r * n + c] = a->data[c * n + r] = u(rng);
    ArMatrix* original = arMatrixClone(a);
    ArVector* ev = arVectorCreate(n);
    ASSERT_EQ(arMatrixEigenQR(a, ev), 0);
    for (int k = 0; k + 1 < n; k++) EXPECT_GE(ev->data[k], ev->data[k + 1]);
    for (int k = 0; k < n; k++) {
      for (int r = 0; r < n; r++) {
        double av = 0;
        for (int c = 0; c < n; c++) av += original->data[r * n + c] * a->data[k * n + c];
        EXPECT_NEAR(av, ev->data[k] * a->data[k * n + r], 1e-4) << "n=" << n << " k=" << k;
      }
      for (int j = 0; j < n; j++) {
        double d = 0;
        for (int c = 0; c < n; c++) d += a->data[k * n + c] * a->data[j * n + c];
        EXPECT_NEAR(d, k == j ? 1.0 : 0.0, 1e-9);
      }
    }
    arMatrixRelease(a);
    arMatrixRelease(original);
    arMatrixRelease(ev);
  }
}

TEST(EigenQR, ShapeChecks) {
  ArMatrix* one = arMatrixCreate(1, 1);
  ArVector* ev1 = arVectorCreate(1);
  EXPECT_EQ(arMatrixEigenQR(one, ev1), -1);
  ArMatrix* rect = arMatrixCreate(2, 3);
  ArVector* ev2 = arVectorCreate(2);
  EXPECT_EQ(arMatrixEigenQR(rect, ev2), -1);
  ArMatrix* sq = arMatrixCreate(3, 3);
  EXPECT_EQ(arMatrixEigenQR(sq, ev2), -1);
  for (auto* m : {one, rect, sq}) arMatrixRelease(m);
  for (auto* v : {ev1, ev2}) arMatrixRelease(v);
}

TEST(Tridiagonalize, LengthsMustFit) {
  ArMatrix* a = arMatrixCreate(3, 3);
  ArVector* d = arVectorCreate(3);
  ArVector* e = arVectorCreate(3);
  EXPECT_EQ(arMatrixTridiagonalize(a, d, e), -1);
  arMatrixRelease(a);
  arMatrixRelease(d);
  arMatrixRelease(e);
}

TEST(PrincipalAxes, PointsOnTheDiagonal) {
  ArMatrix* pts = arMatrixCreate(4, 2);
  for (int i = 0; i < 4; i++) pts->data[2 * i] = pts->data[2 * i + 1] = i;
  ArMatrix* evec = arMatrixCreate(2, 2);
  ArVector* ev = arVectorCreate(2);
  ArVector* mean = arVectorCreate(2);
  ASSERT_EQ(arMatrixPrincipalAxes(pts, evec, ev, mean), 0);
  EXPECT_DOUBLE_EQ(mean->data[0], 1.5);
  EXPECT_DOUBLE_EQ(mean->data[1], 1.5);
  EXPECT_NEAR(ev->data[0] + ev->data[1], 1.0, 1e-15);
  EXPECT_NEAR(ev->data[0], 1.0, 1e-12);
  EXPECT_NEAR(std::fabs(evec->data[0]), 1 / std::sqrt(2.0), 1e-12);
  EXPECT_NEAR(evec->data[0], evec->data[1], 1e-12);
  // The input is left as it was.
  EXPECT_EQ(pts->data[6], 3.0);
  for (auto* m : {pts, evec}) arMatrixRelease(m);
  for (auto* v : {ev, mean}) arMatrixRelease(v);
}

// A noisy line fit the way the edge fitter uses it: the first axis follows the line.
TEST(PrincipalAxes, NoisyLineGivesItsDirection) {
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0, 0.3);
  const double angle = 0.7;
  const int n = 60;
  ArMatrix* pts = arMatrixCreate(n, 2);
  for (int i = 0; i < n; i++) {
    pts->data[2 * i] = 100 + i * std::cos(angle) + noise(rng) * -std::sin(angle);
    pts->data[2 * i + 1] = 50 + i * std::sin(angle) + noise(rng) * std::cos(angle);
  }
  ArMatrix* evec = arMatrixCreate(2, 2);
  ArVector* ev = arVectorCreate(2);
  ArVector* mean = arVectorCreate(2);
  ASSERT_EQ(arMatrixPrincipalAxes(pts, evec, ev, mean), 0);
  const double along = std::fabs(evec->data[0] * std::cos(angle) + evec->data[1] * std::sin(angle));
  EXPECT_NEAR(along, 1.0, 1e-4);
  EXPECT_GT(ev->data[0], 0.99);
  for (auto* m : {pts, evec}) arMatrixRelease(m);
  for (auto* v : {ev, mean}) arMatrixRelease(v);
}

// More columns than rows goes through the dual (row Gram) route.
TEST(PrincipalAxes, FewerRowsThanColumnsUsesTheDual) {
  ArMatrix* pts = arMatrixCreate(2, 3);
  const double v[6] = {1, 2, 3, 3, 6, 9};
  for (int i = 0; i < 6; i++) pts->data[i] = v[i];
  ArMatrix* evec = arMatrixCreate(2, 3);
  ArVector* ev = arVectorCreate(2);
  ArVector* mean = arVectorCreate(3);
  ASSERT_EQ(arMatrixPrincipalAxes(pts, evec, ev, mean), 0);
  const double len = std::sqrt(14.0);
  for (int j = 0; j < 3; j++) EXPECT_NEAR(std::fabs(evec->data[j]), (j + 1) / len, 1e-12);
  EXPECT_EQ(ev->data[1], 0.0);
  for (int j = 0; j < 3; j++) EXPECT_EQ(evec->data[3 + j], 0.0);
  for (auto* m : {pts, evec}) arMatrixRelease(m);
  for (auto* x : {ev, mean}) arMatrixRelease(x);
}

TEST(PrincipalAxes, ShapeMismatchesAndTooFewPoints) {
  ArMatrix* one = arMatrixCreate(1, 2);
  ArMatrix* evec = arMatrixCreate(1, 2);
  ArVector* ev = arVectorCreate(1);
  ArVector* mean = arVectorCreate(2);
  EXPECT_EQ(arMatrixPrincipalAxes(one, evec, ev, mean), -1);
  ArMatrix* pts = arMatrixCreate(4, 2);
  EXPECT_EQ(arMatrixPrincipalAxes(pts, evec, ev, mean), -1);  // evec must be 2 x 2
  for (auto* m : {one, evec, pts}) arMatrixRelease(m);
  for (auto* v : {ev, mean}) arMatrixRelease(v);
}

TEST(PcaSteps, GramMatricesAreSymmetricFills) {
  ArMatrix* x = arMatrixCreate(2, 3);
  const double v[6] = {1, 2, 3, 4, 5, 6};
  for (int i = 0; i < 6; i++) x->data[i] = v[i];
  ArMatrix* rowGram = arMatrixCreate(2, 2);
  ASSERT_EQ(arPcaRowGram(x, rowGram), 0);
  EXPECT_EQ(rowGram->data[0], 14);
  EXPECT_EQ(rowGram->data[1], 32);
  EXPECT_EQ(rowGram->data[2], 32);
  EXPECT_EQ(rowGram->data[3], 77);
  ArMatrix* colGram = arMatrixCreate(3, 3);
  ASSERT_EQ(arPcaColumnGram(x, colGram), 0);
  EXPECT_EQ(colGram->data[0 * 3 + 2], 1 * 3 + 4 * 6);
  EXPECT_EQ(colGram->data[2 * 3 + 0], 1 * 3 + 4 * 6);
  EXPECT_EQ(arPcaColumnGram(x, rowGram), -1);
  ArVector* mean = arVectorCreate(2);
  EXPECT_EQ(arPcaColumnMean(x, mean), -1);
  EXPECT_EQ(arPcaCentre(x, mean), -1);
  for (auto* m : {x, rowGram, colGram}) arMatrixRelease(m);
  arMatrixRelease(mean);
}

}  // namespace
