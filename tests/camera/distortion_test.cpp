#include "camera/distortion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "camera/camera_param.h"

namespace {

TEST(Distortion, CentreMapsToItself) {
  const double d[4] = {321.0, 237.5, 40.0, 0.98};
  double x, y;
  arIdealToObserved(d, 321.0, 237.5, &x, &y);
  EXPECT_EQ(x, 321.0);
  EXPECT_EQ(y, 237.5);
  arObservedToIdeal(d, 321.0, 237.5, &x, &y);
  EXPECT_EQ(x, 321.0);
  EXPECT_EQ(y, 237.5);
}

TEST(Distortion, ZeroCoefficientAndUnitScaleIsIdentity) {
  const double d[4] = {300.0, 200.0, 0.0, 1.0};
  for (double px : {0.0, 17.25, 639.0})
    for (double py : {0.0, 123.5, 479.0}) {
      double x, y;
      arIdealToObserved(d, px, py, &x, &y);
      EXPECT_DOUBLE_EQ(x, px);
      EXPECT_DOUBLE_EQ(y, py);
      arObservedToIdeal(d, px, py, &x, &y);
      EXPECT_DOUBLE_EQ(x, px);
      EXPECT_DOUBLE_EQ(y, py);
    }
}

TEST(Distortion, BarrelPullsPointsTowardsTheCentre) {
  const double d[4] = {320.0, 240.0, 50.0, 1.0};
  double x, y;
  arIdealToObserved(d, 620.0, 240.0, &x, &y);
  // x offset 300 shrinks by p * 300^2 = 5e-7 * 9e4 = 0.045, i.e. 13.5 pixels.
  EXPECT_NEAR(x, 320.0 + 300.0 * (1 - 0.045), 1e-9);
  EXPECT_EQ(y, 240.0);
}

// Three Newton steps bring an observed point back to its ideal position well within a
// hundredth of a pixel across a 640 x 480 image for a webcam-like lens.
TEST(Distortion, RoundTripAcrossTheImage) {
  const double d[4] = {321.0, 237.5, 20.0, 0.995};
  double worst = 0.0;
  for (int iy = -40; iy <= 520; iy += 8)
    for (int ix = -40; ix <= 680; ix += 8) {
      double ox, oy, bx, by;
      arIdealToObserved(d, ix, iy, &ox, &oy);
      arObservedToIdeal(d, ox, oy, &bx, &by);
      worst = std::fmax(worst, std::hypot(bx - ix, by - iy));
    }
  EXPECT_LT(worst, 1e-6);
}

TEST(Distortion, ShippedCameraRoundTrip) {
  CameraParam p;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &p), 0);
  double worst = 0.0;
  for (int iy = 0; iy < 480; iy += 5)
    for (int ix = 0; ix < 640; ix += 5) {
      double ix2, iy2, ox, oy;
      arObservedToIdeal(p.distortion, ix, iy, &ix2, &iy2);
      arIdealToObserved(p.distortion, ix2, iy2, &ox, &oy);
      worst = std::fmax(worst, std::hypot(ox - ix, oy - iy));
    }
  EXPECT_LT(worst, 1e-6);
}

}  // namespace
