#include "camera/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

namespace {

// Owns a matrix for the length of a test.
struct Mat {
  ArMatrix* m;
  Mat(int rows, int cols, std::initializer_list<double> values = {}) : m(arMatrixCreate(rows, cols)) {
    int i = 0;
    for (double v : values) m->data[i++] = v;
  }
  ~Mat() { arMatrixRelease(m); }
  double at(int r, int c) const { return m->data[r * m->cols + c]; }
};

TEST(MatrixInverse, OneByOneAndEmpty) {
  Mat one(1, 1, {4.0});
  EXPECT_EQ(arMatrixInvertInPlace(one.m), 0);
  EXPECT_EQ(one.at(0, 0), 0.25);
  Mat empty(0, 0);
  EXPECT_EQ(arMatrixInvertInPlace(empty.m), -1);
}

TEST(MatrixInverse, PivotAtThresholdIsSingular) {
  Mat singular(2, 2, {1e-10, 0, 0, 1});
  EXPECT_EQ(arMatrixInvertInPlace(singular.m), -1);
  Mat justAbove(2, 2, {2e-10, 0, 0, 1});
  ASSERT_EQ(arMatrixInvertInPlace(justAbove.m), 0);
  EXPECT_DOUBLE_EQ(justAbove.at(0, 0), 5e9);
  EXPECT_EQ(justAbove.at(0, 1), 0.0);
  EXPECT_EQ(justAbove.at(1, 0), 0.0);
  EXPECT_EQ(justAbove.at(1, 1), 1.0);
}

TEST(MatrixInverse, PermutationGivesTranspose) {
  Mat p(3, 3, {0, 1, 0, 0, 0, 1, 1, 0, 0});
  ASSERT_EQ(arMatrixInvertInPlace(p.m), 0);
  const double expected[9] = {0, 0, 1, 1, 0, 0, 0, 1, 0};
  for (int i = 0; i < 9; i++) EXPECT_EQ(p.m->data[i], expected[i]) << i;
}

TEST(MatrixInverse, TwoByTwoWithEqualPivotMagnitudes) {
  // Both candidate pivots have magnitude 2; taking the upper one yields these exact values.
  Mat m(2, 2, {2, 1, -2, 3});
  ASSERT_EQ(arMatrixInvertInPlace(m.m), 0);
  EXPECT_DOUBLE_EQ(m.at(0, 0), 3.0 / 8);
  EXPECT_DOUBLE_EQ(m.at(0, 1), -1.0 / 8);
  EXPECT_DOUBLE_EQ(m.at(1, 0), 2.0 / 8);
  EXPECT_DOUBLE_EQ(m.at(1, 1), 2.0 / 8);
}

TEST(MatrixInverse, RandomMatricesTimesInverseIsIdentity) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int n : {2, 3, 5, 8, 20, 50}) {
    Mat a(n, n);
    for (int i = 0; i < n * n; i++) a.m->data[i] = u(rng);
    ArMatrix* inv = arMatrixClone(a.m);
    ASSERT_EQ(arMatrixInvertInPlace(inv), 0);
    Mat prod(n, n);
    ASSERT_EQ(arMatrixMultiply(prod.m, a.m, inv), 0);
    for (int r = 0; r < n; r++)
      for (int c = 0; c < n; c++) EXPECT_NEAR(prod.at(r, c), r == c ? 1.0 : 0.0, 1e-9) << n;
    arMatrixRelease(inv);
  }
}

TEST(MatrixInverse, DimensionAbove50IsRefusedUntouched) {
  Mat big(51, 51);
  for (int i = 0; i < 51 * 51; i++) big.m->data[i] = (i % 52 == 0) ? 2.0 : 0.0;
  EXPECT_EQ(arMatrixInvertInPlace(big.m), -1);
  EXPECT_EQ(big.at(0, 0), 2.0);
}

TEST(MatrixInverse, SingularMatrixFails) {
  Mat m(3, 3, {1, 2, 3, 2, 4, 6, 1, 1, 1});
  EXPECT_EQ(arMatrixInvertInPlace(m.m), -1);
}

TEST(MatrixMultiply, ShapeMismatchLeavesDestUntouched) {
  Mat a(2, 3, {1, 2, 3, 4, 5, 6});
  Mat b(2, 2, {1, 0, 0, 1});
  Mat dest(2, 2, {9, 9, 9, 9});
  EXPECT_EQ(arMatrixMultiply(dest.m, a.m, b.m), -1);
  for (int i = 0; i < 4; i++) EXPECT_EQ(dest.m->data[i], 9.0);
  Mat wrongDest(3, 2);
  Mat c(3, 2, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(arMatrixMultiply(wrongDest.m, a.m, c.m), -1);
}

TEST(MatrixMultiply, Product) {
  Mat a(2, 3, {1, 2, 3, 4, 5, 6});
  Mat b(3, 2, {7, 8, 9, 10, 11, 12});
  Mat d(2, 2);
  ASSERT_EQ(arMatrixMultiply(d.m, a.m, b.m), 0);
  EXPECT_EQ(d.at(0, 0), 58);
  EXPECT_EQ(d.at(0, 1), 64);
  EXPECT_EQ(d.at(1, 0), 139);
  EXPECT_EQ(d.at(1, 1), 154);
}

TEST(MatrixCopy, ShapesMustMatch) {
  Mat a(2, 3, {1, 2, 3, 4, 5, 6});
  Mat b(3, 2);
  EXPECT_EQ(arMatrixCopyInto(b.m, a.m), -1);
  ArMatrix* c = arMatrixClone(a.m);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->rows, 2);
  EXPECT_EQ(c->cols, 3);
  for (int i = 0; i < 6; i++) EXPECT_EQ(c->data[i], a.m->data[i]);
  arMatrixRelease(c);
}

TEST(MatrixCreate, NegativeSizesGiveNull) {
  EXPECT_EQ(arMatrixCreate(-1, 3), nullptr);
  EXPECT_EQ(arVectorCreate(-2), nullptr);
}

TEST(VectorDot, SumsInOrder) {
  ArVector* x = arVectorCreate(3);
  ArVector* y = arVectorCreate(3);
  for (int i = 0; i < 3; i++) {
    x->data[i] = i + 1;
    y->data[i] = 2 * i;
  }
  EXPECT_EQ(arVectorDot(x, y), 0 + 4 + 12);
  arMatrixRelease(x);
  arMatrixRelease(y);
}

TEST(VectorDotDeathTest, DifferentLengthsStopTheProgram) {
  ArVector* x = arVectorCreate(3);
  ArVector* y = arVectorCreate(2);
  EXPECT_DEATH(arVectorDot(x, y), "lengths 3 and 2");
  arMatrixRelease(x);
  arMatrixRelease(y);
}

}  // namespace
