#include "gl/projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "camera/camera_param.h"
#include "camera/decomposition.h"

namespace {

// Multiplies the column-major 4 x 4 matrix m with (x, y, z, 1).
void transformPoint(const double m[16], const double in[3], double out[4]) {
  for (int r = 0; r < 4; r++) out[r] = m[r] * in[0] + m[r + 4] * in[1] + m[r + 8] * in[2] + m[r + 12];
}

// Pixel position of a point through a 3 x 4 camera matrix.
void cameraPixel(const double p[3][4], const double x[3], double* u, double* v) {
  double h[3];
  for (int r = 0; r < 3; r++) h[r] = p[r][0] * x[0] + p[r][1] * x[1] + p[r][2] * x[2] + p[r][3];
  *u = h[0] / h[2];
  *v = h[1] / h[2];
}

// Normalised device coordinates of a camera-space point through the model-view of the identity
// pose and the frustum.
void deviceCoordinates(const CameraParam& camera, double nearPlane, double farPlane, const double x[3],
                       double ndc[3]) {
  const double identityPose[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
  double view[16], projection[16];
  arglPoseToModelView(identityPose, view, 0.0);
  arglCameraFrustum(&camera, nearPlane, farPlane, projection);
  double eye[4], clip[4];
  transformPoint(view, x, eye);
  transformPoint(projection, eye, clip);
  for (int i = 0; i < 3; i++) ndc[i] = clip[i] / clip[3];
}

CameraParam simpleCamera(int width, int height, double fx, double fy, double skew, double cx, double cy) {
  CameraParam camera = {};
  camera.xsize = width;
  camera.ysize = height;
  const double p[3][4] = {{fx, skew, cx, 0}, {0, fy, cy, 0}, {0, 0, 1, 0}};
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) camera.projection[r][c] = p[r][c];
  camera.distortion[3] = 1.0;
  return camera;
}

// The frustum written out the direct way, for cameras without skew and without an extrinsic
// part: mirrored y row, normalised intrinsic part Q, m = Q T.
void directFrustum(const CameraParam& camera, double n, double f, double m[16]) {
  double k[3][4], t[3][4];
  arParamDecompMat(camera.projection, k, t);
  const double w = camera.xsize, h = camera.ysize;
  for (int c = 0; c < 4; c++) k[1][c] = (h - 1) * k[2][c] - k[1][c];
  double p[3][3];
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) p[r][c] = k[r][c] / k[2][2];
  const double q[4][4] = {{2 * p[0][0] / (w - 1), 2 * p[0][1] / (w - 1), -(2 * p[0][2] / (w - 1) - 1), 0},
                          {0, -(2 * p[1][1] / (h - 1)), -(2 * p[1][2] / (h - 1) - 1), 0},
                          {0, 0, (n + f) / (n - f), 2 * n * f / (n - f)},
                          {0, 0, -1, 0}};
  for (int r = 0; r < 4; r++) {
    for (int c = 0; c < 3; c++) m[r + 4 * c] = q[r][0] * t[0][c] + q[r][1] * t[1][c] + q[r][2] * t[2][c];
    m[r + 12] = q[r][0] * t[0][3] + q[r][1] * t[1][3] + q[r][2] * t[2][3] + q[r][3];
  }
}

// The usual camera matrix (focal lengths, principal point, nothing else) gives exactly the
// numbers of the direct formula, whatever the skew and extrinsic handling adds for other cameras.
TEST(CameraFrustum, UsualCamerasGiveExactlyTheDirectFormula) {
  CameraParam shipped;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &shipped), 0);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<CameraParam> cameras = {shipped};
  for (int i = 0; i < 50; i++)
    cameras.push_back(simpleCamera(100 + int(1000 * u(rng)), 100 + int(800 * u(rng)), 200 + 900 * u(rng),
                                   200 + 900 * u(rng), 0.0, 500 * u(rng), 400 * u(rng)));
  for (const CameraParam& camera : cameras) {
    const double n = static_cast<double>(0.1f), f = 100.0;
    double m[16], direct[16];
    arglCameraFrustum(&camera, n, f, m);
    directFrustum(camera, n, f, direct);
    for (int i = 0; i < 16; i++) ASSERT_EQ(m[i], direct[i]) << "index " << i << ", " << camera.xsize;
  }
}

TEST(PoseToModelView, FlipsYAndZAndScalesTheTranslation) {
  const double pose[3][4] = {{1, 0, 0, 10}, {0, 1, 0, 20}, {0, 0, 1, 30}};
  double m[16];
  arglPoseToModelView(pose, m, 0.025);
  EXPECT_DOUBLE_EQ(m[12], 0.25);
  EXPECT_DOUBLE_EQ(m[13], -0.5);
  EXPECT_DOUBLE_EQ(m[14], -0.75);
  const double expected[16] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0.25, -0.5, -0.75, 1};
  for (int i = 0; i < 16; i++) EXPECT_DOUBLE_EQ(m[i], expected[i]) << "index " << i;
}

TEST(PoseToModelView, ScaleZeroKeepsTheTranslationAndRotationIsNeverScaled) {
  const double pose[3][4] = {{0.6, 0.8, 0, 10}, {-0.8, 0.6, 0, 20}, {0, 0, 1, 30}};
  double m[16];
  arglPoseToModelView(pose, m, 0.0);
  EXPECT_EQ(m[12], 10.0);
  EXPECT_EQ(m[13], -20.0);
  EXPECT_EQ(m[14], -30.0);
  arglPoseToModelView(pose, m, 2.0);
  for (int r = 0; r < 3; r++) {
    const double sign = r == 0 ? 1.0 : -1.0;
    for (int c = 0; c < 3; c++) EXPECT_EQ(m[r + 4 * c], sign * pose[r][c]) << r << "," << c;
    EXPECT_EQ(m[r + 12], sign * 2.0 * pose[r][3]);
    EXPECT_EQ(m[3 + 4 * r], 0.0);
  }
  EXPECT_EQ(m[15], 1.0);
}

TEST(CameraFrustum, DepthRowsForNearAndFarPlanes) {
  const CameraParam camera = simpleCamera(640, 480, 554.3, 554.3, 0.0, 321.0, 237.5);
  const double nearPlane = static_cast<double>(0.1f), farPlane = 100.0;
  double m[16];
  arglCameraFrustum(&camera, nearPlane, farPlane, m);
  EXPECT_DOUBLE_EQ(m[10], (nearPlane + farPlane) / (nearPlane - farPlane));
  EXPECT_NEAR(m[10], -1.002002, 1e-6);
  EXPECT_DOUBLE_EQ(m[14], 2 * nearPlane * farPlane / (nearPlane - farPlane));
  EXPECT_NEAR(m[14], -0.2002002, 1e-6);
  EXPECT_EQ(m[11], -1.0);
  EXPECT_EQ(m[15], 0.0);
  EXPECT_EQ(m[3], 0.0);
  EXPECT_EQ(m[7], 0.0);
  EXPECT_EQ(m[2], 0.0);
  EXPECT_EQ(m[6], 0.0);
  EXPECT_EQ(m[12], 0.0);
  EXPECT_EQ(m[13], 0.0);
  // The mirrored y row: the focal length over half the h - 1 span.
  EXPECT_DOUBLE_EQ(m[0], 2 * 554.3 / 639.0);
  EXPECT_DOUBLE_EQ(m[5], 2 * 554.3 / 479.0);
  EXPECT_EQ(m[1], 0.0);
  EXPECT_EQ(m[4], 0.0);
}

TEST(CameraFrustum, CentredPrincipalPointHasNoOffCentreTerms) {
  const CameraParam camera = simpleCamera(640, 480, 500, 520, 0.0, 319.5, 239.5);
  double m[16];
  arglCameraFrustum(&camera, 0.1, 100.0, m);
  EXPECT_NEAR(m[8], 0.0, 1e-15);
  EXPECT_NEAR(m[9], 0.0, 1e-15);
}

// A camera-space point goes to the pixel the camera matrix gives, with pixel 0 and pixel w - 1
// on the viewport's edges; depth near..far goes to -1..1. Also for a camera with skew, a
// principal point off the centre and a scaled matrix, and for the shipped camera.
TEST(CameraFrustum, PointsLandOnTheirCameraPixel) {
  CameraParam shipped;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &shipped), 0);
  CameraParam skewed = simpleCamera(320, 240, 300, 310, 4.0, 150.0, 130.0);
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) skewed.projection[r][c] *= 2.5;  // scale does not change the image
  for (const CameraParam& camera : {shipped, skewed}) {
    const double w = camera.xsize, h = camera.ysize;
    const double points[][3] = {{0, 0, 1}, {-0.3, 0.2, 2}, {5, -7, 40}, {0.01, 0.4, 0.5}, {-30, -25, 80}};
    for (const auto& x : points) {
      double u, v, ndc[3];
      cameraPixel(camera.projection, x, &u, &v);
      deviceCoordinates(camera, 0.1, 100.0, x, ndc);
      EXPECT_NEAR(ndc[0], 2 * u / (w - 1) - 1, 1e-12) << u;
      EXPECT_NEAR(ndc[1], 1 - 2 * v / (h - 1), 1e-12) << v;
    }
  }
  // Pixel (0, 0) at the near plane and pixel (w - 1, h - 1) at the far plane: the corners of the
  // viewport and of the depth range.
  const CameraParam camera = simpleCamera(640, 480, 500, 500, 0.0, 300.0, 200.0);
  double ndc[3];
  const double nearPoint[3] = {(0 - 300.0) * 0.1 / 500, (0 - 200.0) * 0.1 / 500, 0.1};  // pixel (0, 0)
  deviceCoordinates(camera, 0.1, 100.0, nearPoint, ndc);
  EXPECT_NEAR(ndc[0], -1.0, 1e-12);
  EXPECT_NEAR(ndc[1], 1.0, 1e-12);
  EXPECT_NEAR(ndc[2], -1.0, 1e-12);
  const double farPoint[3] = {(639 - 300.0) * 100 / 500, (479 - 200.0) * 100 / 500, 100};  // pixel (639, 479)
  deviceCoordinates(camera, 0.1, 100.0, farPoint, ndc);
  EXPECT_NEAR(ndc[0], 1.0, 1e-12);
  EXPECT_NEAR(ndc[1], -1.0, 1e-12);
  EXPECT_NEAR(ndc[2], 1.0, 1e-12);
}

// The decomposition takes out the extrinsic part of a camera matrix K [R | t]; the frustum must
// put it back, so points are still seen where that full matrix sees them.
TEST(CameraFrustum, KeepsTheExtrinsicPartOfTheCameraMatrix) {
  const CameraParam intrinsicOnly = simpleCamera(640, 480, 550, 540, 0.0, 310.0, 250.0);
  const double a = 0.1, b = -0.05;  // turn about z, then about x
  const double rz[3][3] = {{std::cos(a), -std::sin(a), 0}, {std::sin(a), std::cos(a), 0}, {0, 0, 1}};
  const double rx[3][3] = {{1, 0, 0}, {0, std::cos(b), -std::sin(b)}, {0, std::sin(b), std::cos(b)}};
  double rt[3][4] = {{0, 0, 0, 0.5}, {0, 0, 0, -0.2}, {0, 0, 0, 1.0}};
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++)
      for (int k = 0; k < 3; k++) rt[r][c] += rx[r][k] * rz[k][c];
  CameraParam camera = intrinsicOnly;  // projection = K [R | t]
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) {
      camera.projection[r][c] = 0;
      for (int k = 0; k < 3; k++) camera.projection[r][c] += intrinsicOnly.projection[r][k] * rt[k][c];
    }
  const double points[][3] = {{0, 0, 3}, {-0.5, 0.3, 2}, {4, -3, 30}};
  for (const auto& x : points) {
    double u, v, ndc[3];
    cameraPixel(camera.projection, x, &u, &v);
    deviceCoordinates(camera, 0.1, 100.0, x, ndc);
    EXPECT_NEAR(ndc[0], 2 * u / 639.0 - 1, 1e-9);
    EXPECT_NEAR(ndc[1], 1 - 2 * v / 479.0, 1e-9);
  }
}

}  // namespace
