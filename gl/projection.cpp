#include "gl/projection.h"

#include <cstdio>

#include "camera/decomposition.h"

void arglCameraFrustum(const CameraParam* camera, double nearPlane, double farPlane, double m[16]) {
  double intrinsic[3][4];
  double extrinsic[3][4];
  if (arParamDecompMat(camera->projection, intrinsic, extrinsic) < 0) {
    std::printf("arglCameraFrustum(): arParamDecompMat() indicated parameter error.\n");
    return;
  }
  // Image rows count downwards, OpenGL's y upwards: mirror the image's vertical axis.
  for (int c = 0; c < 4; c++) intrinsic[1][c] = (camera->ysize - 1.0) * intrinsic[2][c] - intrinsic[1][c];

  double p[3][3];
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) p[r][c] = intrinsic[r][c] / intrinsic[2][2];

  // The matrix is applied to eye coordinates, which are camera coordinates with y and z negated
  // (arglPoseToModelView). The mirrored y row above absorbs that flip for the focal length and
  // principal point; the skew term of the x row and the extrinsic part need it explicitly:
  // negated skew, and the extrinsic part conjugated by the flip, F T F with F = diag(1, -1, -1).
  // For the usual camera matrix, no skew and an identity extrinsic part, both are no-ops.
  const double w1 = camera->xsize - 1.0;  // pixel spans w - 1 and h - 1: pixel 0 and pixel w - 1
  const double h1 = camera->ysize - 1.0;  // land on the viewport's edges
  const double q[4][4] = {
      {2.0 * p[0][0] / w1, -(2.0 * p[0][1] / w1), -(2.0 * p[0][2] / w1 - 1.0), 0.0},
      {0.0, -(2.0 * p[1][1] / h1), -(2.0 * p[1][2] / h1 - 1.0), 0.0},
      {0.0, 0.0, (nearPlane + farPlane) / (nearPlane - farPlane),
       2.0 * nearPlane * farPlane / (nearPlane - farPlane)},
      {0.0, 0.0, -1.0, 0.0},
  };
  const double flip[3] = {1.0, -1.0, -1.0};
  double t[3][4];
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) t[r][c] = flip[r] * extrinsic[r][c] * flip[c];
    t[r][3] = flip[r] * extrinsic[r][3];
  }

  for (int r = 0; r < 4; r++) {
    for (int c = 0; c < 3; c++) m[r + 4 * c] = q[r][0] * t[0][c] + q[r][1] * t[1][c] + q[r][2] * t[2][c];
    m[r + 12] = q[r][0] * t[0][3] + q[r][1] * t[1][3] + q[r][2] * t[2][3] + q[r][3];
  }
}

void arglPoseToModelView(const double transform[3][4], double m[16], double scale) {
  const double sign[3] = {1.0, -1.0, -1.0};  // camera y down, z forward -> eye y up, z backward
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 4; c++) m[r + 4 * c] = sign[r] * transform[r][c];
  }
  m[3] = m[7] = m[11] = 0.0;
  m[15] = 1.0;
  if (scale != 0.0) {
    m[12] *= scale;
    m[13] *= scale;
    m[14] *= scale;
  }
}
