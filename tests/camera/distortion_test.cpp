// The lens model and the split of a camera matrix into intrinsic and extrinsic parts.
#include "camera/distortion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "camera/decomposition.h"

namespace {

// Barrel distortion pulls points towards the centre; three Newton steps bring an observed point
// back to its ideal position, across and beyond a 640 x 480 image of a webcam-like lens.
TEST(Distortion, BarrelPullsPointsInAndObservedToIdealUndoesIt) {
  const double barrel[4] = {320.0, 240.0, 50.0, 1.0}, webcam[4] = {321.0, 237.5, 20.0, 0.995};
  double x, y, ix, iy, worst = 0.0;
  arIdealToObserved(barrel, 620.0, 240.0, &x, &y);  // offset 300 shrinks by 5e-7 * 300^2 = 4.5 %
  EXPECT_TRUE(std::fabs(x - (320.0 + 300.0 * (1 - 0.045))) < 1e-9 && y == 240.0);
  for (int ty = -40; ty <= 520; ty += 16)
    for (int tx = -40; tx <= 680; tx += 16) {
      arIdealToObserved(webcam, tx, ty, &x, &y);
      arObservedToIdeal(webcam, x, y, &ix, &iy);
      worst = std::fmax(worst, std::hypot(ix - tx, iy - ty));
    }
  EXPECT_LT(worst, 1e-6);
  arIdealToObserved(webcam, 321.0, 237.5, &x, &y);  // the centre stays where it is
  arObservedToIdeal(webcam, x, y, &ix, &iy);
  EXPECT_TRUE(x == 321.0 && y == 237.5 && ix == 321.0 && iy == 237.5);
}

// lambda * K * [R | t] with skew in K; a negative lambda (negative depth term) gives the same parts.
TEST(Decomposition, SplitsIntoUpperTriangularKAndRotationWithTranslation) {
  const double k[3][3] = {{550, 3.5, 320}, {0, 530, 240}, {0, 0, 1}};
  const double rt[3][4] = {{0.36, 0.48, -0.8, 10}, {-0.8, 0.6, 0, -5}, {0.48, 0.64, 0.6, 50}};
  for (double lambda : {2.5, -0.5}) {
    double s[3][4], intrinsic[3][4], extrinsic[3][4];
    for (int r = 0; r < 3; r++)
      for (int c = 0; c < 4; c++) s[r][c] = lambda * (k[r][0] * rt[0][c] + k[r][1] * rt[1][c] + k[r][2] * rt[2][c]);
    ASSERT_EQ(arParamDecompMat(s, intrinsic, extrinsic), 0);
    for (int r = 0; r < 3; r++)
      for (int c = 0; c < 4; c++) {
        EXPECT_NEAR(intrinsic[r][c], c < 3 ? k[r][c] : 0.0, 1e-9) << lambda << ", K " << r << c;
        EXPECT_NEAR(extrinsic[r][c], rt[r][c], 1e-12 * 50) << lambda << ", T " << r << c;
      }
  }
}

}  // namespace
