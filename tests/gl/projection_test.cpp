#include "gl/projection.h"

#include <gtest/gtest.h>

#include <array>

#include "camera/camera_param.h"
#include "camera/decomposition.h"
#include "sim/sim_pose.h"
#include "tests/gl/gl_test_helpers.h"

namespace {

const double kNear = 0.1, kFar = 100.0;

CameraParam simpleCamera(int width, int height, double fx, double fy, double skew, double cx, double cy) {
  CameraParam camera = testCamera(width, height);
  const double p[3][4] = {{fx, skew, cx, 0}, {0, fy, cy, 0}, {0, 0, 1, 0}};
  std::copy(&p[0][0], &p[0][0] + 12, &camera.projection[0][0]);
  return camera;
}

// Normalised device coordinates of a camera-space point through the identity pose and the frustum.
std::array<double, 3> deviceCoordinates(const CameraParam& camera, const double x[3]) {
  const double identity[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
  double v[16], p[16], eye[4], clip[4];  // eye[3] is 1: the model-view is affine
  arglPoseToModelView(identity, v, 0.0);
  arglCameraFrustum(&camera, kNear, kFar, p);
  for (int r = 0; r < 4; r++) eye[r] = v[r] * x[0] + v[r + 4] * x[1] + v[r + 8] * x[2] + v[r + 12];
  for (int r = 0; r < 4; r++) clip[r] = p[r] * eye[0] + p[r + 4] * eye[1] + p[r + 8] * eye[2] + p[r + 12];
  return {clip[0] / clip[3], clip[1] / clip[3], clip[2] / clip[3]};
}

TEST(PoseToModelView, FlipsYAndZAndScalesOnlyTheTranslation) {
  const struct { double pose[3][4]; double scale; double expected[16]; } cases[] = {
      {{{1, 0, 0, 10}, {0, 1, 0, 20}, {0, 0, 1, 30}}, 0.025,
       {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0.25, -0.5, -0.75, 1}},
      {{{0.6, 0.8, 0, 10}, {-0.8, 0.6, 0, 20}, {0, 0, 1, 30}}, 0.0,  // scale 0 leaves the translation
       {0.6, 0.8, 0, 0, 0.8, -0.6, 0, 0, 0, 0, -1, 0, 10, -20, -30, 1}}};
  for (const auto& c : cases) {
    double m[16];
    arglPoseToModelView(c.pose, m, c.scale);
    for (int i = 0; i < 16; i++) EXPECT_DOUBLE_EQ(m[i], c.expected[i]) << "scale " << c.scale << ", " << i;
  }
}

TEST(CameraFrustum, WorkedExamples) {
  double m[16];
  const CameraParam offCentre = simpleCamera(640, 480, 554.3, 554.3, 0.0, 321.0, 237.5);
  arglCameraFrustum(&offCentre, kNear, kFar, m);
  EXPECT_NEAR(m[10], -1.002002, 1e-6);
  EXPECT_NEAR(m[14], -0.2002002, 1e-6);
  EXPECT_EQ(m[11], -1.0);
  EXPECT_EQ(m[15], 0.0);
  const CameraParam centred = simpleCamera(640, 480, 500, 520, 0.0, 319.5, 239.5);
  arglCameraFrustum(&centred, kNear, kFar, m);
  EXPECT_NEAR(m[8], 0.0, 1e-15);
  EXPECT_NEAR(m[9], 0.0, 1e-15);
  const double nearPoint[3] = {0, 0, kNear}, farPoint[3] = {0, 0, kFar};
  EXPECT_NEAR(deviceCoordinates(centred, nearPoint)[2], -1.0, 1e-12);
  EXPECT_NEAR(deviceCoordinates(centred, farPoint)[2], 1.0, 1e-12);
}

// Pixel 0 and pixel w - 1 land on the viewport's edges, also with skew, a scaled matrix and a
// camera matrix K [R | t] whose extrinsic part the decomposition takes out and the frustum puts back.
TEST(CameraFrustum, PointsLandOnTheirCameraPixel) {
  CameraParam skewed = simpleCamera(320, 240, 300, 310, 4.0, 150.0, 130.0);
  for (auto& row : skewed.projection)
    for (double& p : row) p *= 2.5;  // a scaled matrix gives the same image
  const CameraParam intrinsic = simpleCamera(640, 480, 550, 540, 0.0, 310.0, 250.0);
  CameraParam extrinsic = intrinsic;
  const auto& K = intrinsic.projection;
  double rt[3][4];
  simPoseLookAt(5.0, 8.0, 30.0, 6.0, 0.5, -0.2, rt);
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++)
      extrinsic.projection[r][c] = K[r][0] * rt[0][c] + K[r][1] * rt[1][c] + K[r][2] * rt[2][c];
  const double points[][3] = {{0, 0, 1}, {-0.3, 0.2, 2}, {5, -7, 40}, {0.01, 0.4, 0.5}, {-30, -25, 80}};
  for (const CameraParam& camera : {shippedCamera(), skewed, extrinsic})
    for (const auto& x : points) {
      const auto& p = camera.projection;
      double h[3];
      for (int r = 0; r < 3; r++) h[r] = p[r][0] * x[0] + p[r][1] * x[1] + p[r][2] * x[2] + p[r][3];
      const auto ndc = deviceCoordinates(camera, x);
      EXPECT_NEAR(ndc[0], 2 * (h[0] / h[2]) / (camera.xsize - 1) - 1, 1e-9) << camera.xsize << ", z " << x[2];
      EXPECT_NEAR(ndc[1], 1 - 2 * (h[1] / h[2]) / (camera.ysize - 1), 1e-9) << camera.xsize << ", z " << x[2];
    }
}

// For cameras without skew or extrinsic part the mended frustum is the plain one: focal lengths
// and principal point over the w - 1 and h - 1 spans.
TEST(CameraFrustum, UsualCamerasGiveThePlainFormula) {
  for (const CameraParam& camera : {shippedCamera(), simpleCamera(640, 480, 554.3, 554.3, 0, 321, 237.5),
                                    simpleCamera(1000, 300, 900, 700, 0, 100, 250),
                                    simpleCamera(333, 251, 210, 1050, 0, 400, 20)}) {
    double k[3][4], t[3][4], m[16];
    ASSERT_EQ(arParamDecompMat(camera.projection, k, t), 0);
    const double w1 = camera.xsize - 1.0, h1 = camera.ysize - 1.0, n = kNear, f = kFar;
    const double fx = k[0][0] / k[2][2], fy = k[1][1] / k[2][2];
    const double cx = k[0][2] / k[2][2], cy = k[1][2] / k[2][2];
    const double plain[16] = {2 * fx / w1, 0, 0, 0, 0, 2 * fy / h1, 0, 0, 1 - 2 * cx / w1, 2 * cy / h1 - 1,
                              (n + f) / (n - f), -1, 0, 0, 2 * n * f / (n - f), 0};
    arglCameraFrustum(&camera, kNear, kFar, m);
    for (int i = 0; i < 16; i++) ASSERT_NEAR(m[i], plain[i], 1e-12) << "index " << i << ", " << camera.xsize;
  }
}

}  // namespace
