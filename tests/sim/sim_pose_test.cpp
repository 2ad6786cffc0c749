#include "sim/sim_pose.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Camera direction (x right, y down) of the marker's own axis column.
void column(const double pose[3][4], int c, double out[3]) {
  for (int r = 0; r < 3; ++r) out[r] = pose[r][c];
}

TEST(SimPose, NoTurnsGiveTheUprightFrontalMarker) {
  double pose[3][4];
  simPoseLookAt(500, 0, 0, 0, 12, -7, pose);
  const double expected[3][4] = {{1, 0, 0, 12}, {0, -1, 0, -7}, {0, 0, -1, 500}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(pose[r][c], expected[r][c], 1e-12) << r << "," << c;
}

TEST(SimPose, PositiveSpinTurnsTheMarkerTopToTheLeftOnScreen) {
  double pose[3][4], up[3];
  simPoseLookAt(500, 0, 0, 90, 0, 0, pose);
  column(pose, 1, up);  // the marker's y axis (its top)
  EXPECT_NEAR(up[0], -1, 1e-12);
  EXPECT_NEAR(up[1], 0, 1e-12);
  EXPECT_NEAR(up[2], 0, 1e-12);
}

TEST(SimPose, TiltAboutTheMarkerXAxisTurnsItsNormalAndKeepsARotation) {
  double pose[3][4], normal[3];
  simPoseLookAt(500, 30, 0, 17, 0, 0, pose);
  column(pose, 2, normal);
  // The normal starts pointing at the camera (-z) and leans by the tilt.
  EXPECT_NEAR(-normal[2], std::cos(30 * M_PI / 180), 1e-12);
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      double dot = 0;
      for (int r = 0; r < 3; ++r) dot += pose[r][a] * pose[r][b];
      EXPECT_NEAR(dot, a == b ? 1 : 0, 1e-12);
    }
}

TEST(SimPose, ProjectionRefusesPointsBehindTheCamera) {
  const double p[3][4] = {{500, 0, 320, 0}, {0, 500, 240, 0}, {0, 0, 1, 0}};
  double pose[3][4], x, y;
  simPoseLookAt(100, 0, 0, 0, 0, 0, pose);
  ASSERT_TRUE(simProjectMarkerPoint(pose, p, 10, 10, &x, &y));
  EXPECT_DOUBLE_EQ(x, 320 + 500 * 10 / 100.0);
  EXPECT_DOUBLE_EQ(y, 240 - 500 * 10 / 100.0);
  simPoseLookAt(-100, 0, 0, 0, 0, 0, pose);
  EXPECT_FALSE(simProjectMarkerPoint(pose, p, 10, 10, &x, &y));
}

}  // namespace
