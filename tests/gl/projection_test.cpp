#include "gl/projection.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/shipped_data.h"

namespace {

TEST(PoseToModelView, FlipsYAndZAndScalesOnlyTheTranslation) {
  const double pose[3][4] = {{0.6, 0.8, 0, 10}, {-0.8, 0.6, 0, 20}, {0, 0, 1, 30}};
  const double want[16] = {0.6, 0.8, 0, 0, 0.8, -0.6, 0, 0, 0, 0, -1, 0, 2.5, -5, -7.5, 1};
  double m[16], unscaled[16];  // scale 0 leaves the translation as it is
  arglPoseToModelView(pose, m, 0.25), arglPoseToModelView(pose, unscaled, 0.0);
  for (int i = 0; i < 16; i++)
    EXPECT_TRUE(m[i] == want[i] && unscaled[i] == (i % 4 == 3 || i < 12 ? want[i] : 4 * want[i])) << i;
}

// Through the identity pose and the frustum, a camera point lands on its camera pixel, pixel 0
// and pixel w - 1 on the viewport's edges, and depths near .. far span -1 .. 1. Also with skew,
// a scaled camera matrix and one with a rotation and translation (K [R | t]), which the
// decomposition takes out and the frustum puts back.
TEST(CameraFrustum, PointsLandOnTheirCameraPixel) {
  const double nearPlane = 0.1, farPlane = 100.0;
  // Skew 4 scaled by 2.5; K [R | t] with focal length 500, centre (319.5, 239.5), rows of R
  // (0.36, 0.48, -0.8), (-0.8, 0.6, 0), (0.48, 0.64, 0.6) and t = (0.5, -0.2, 5).
  const CameraParam cameras[3] = {
      shippedCamera(), {320, 240, {{750, 10, 375, 0}, {0, 775, 325, 0}, {0, 0, 2.5, 0}}, {}},
      {640, 480, {{333.36, 444.48, -208.3, 1847.5}, {-285.04, 453.28, 143.7, 1097.5}, {0.48, 0.64, 0.6, 5}}, {}}};
  for (const CameraParam& camera : cameras) {
    const auto ndc = [&](const double x[3]) {
      const double identity[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
      double v[16], p[16], eye[4], clip[4];  // eye[3] is 1: the model-view is affine
      arglPoseToModelView(identity, v, 0.0);
      arglCameraFrustum(&camera, nearPlane, farPlane, p);
      for (int r = 0; r < 4; r++) eye[r] = v[r] * x[0] + v[r + 4] * x[1] + v[r + 8] * x[2] + v[r + 12];
      for (int r = 0; r < 4; r++) clip[r] = p[r] * eye[0] + p[r + 4] * eye[1] + p[r + 8] * eye[2] + p[r + 12];
      return std::array<double, 3>{clip[0] / clip[3], clip[1] / clip[3], clip[2] / clip[3]};
    };
    const double points[][3] = {{0, 0, 1}, {-0.3, 0.2, 2}, {5, -7, 40}, {0.01, 0.4, 0.5}, {-30, -25, 80},
                                {0.02, 0.01, nearPlane}, {3, -2, farPlane}};
    for (const auto& x : points) {
      const auto& p = camera.projection;
      double h[3];
      for (int r = 0; r < 3; r++) h[r] = p[r][0] * x[0] + p[r][1] * x[1] + p[r][2] * x[2] + p[r][3];
      EXPECT_NEAR(ndc(x)[0], 2 * (h[0] / h[2]) / (camera.xsize - 1) - 1, 1e-9) << camera.xsize << ", z " << x[2];
      EXPECT_NEAR(ndc(x)[1], 1 - 2 * (h[1] / h[2]) / (camera.ysize - 1), 1e-9) << camera.xsize << ", z " << x[2];
      if (&camera == &cameras[2] || (x[2] != nearPlane && x[2] != farPlane)) continue;  // not along a rotated axis
      EXPECT_NEAR(ndc(x)[2], x[2] == nearPlane ? -1 : 1, 1e-12) << camera.xsize;
    }
  }
}

}  // namespace
