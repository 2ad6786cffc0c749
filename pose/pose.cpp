#include "pose/pose.h"

#include <cmath>
#include <cstring>

#include "camera/camera_param.h"
#include "pose/pose_axes.h"
#include "pose/pose_solve.h"

namespace {

constexpr int kMaxAttempts = 5;
// Mean squared corner error (pixels squared) below which the fit is good enough.
constexpr double kGoodFit = 1.0;

// dir as 0 .. 3. Detection reports 0 .. 3, or -1 for an orientation it could not settle,
// which selects the corners as 3 does; anything else is reduced the same way.
int markerTurn(int32_t dir) { return ((dir % 4) + 4) % 4; }

// Direction in camera coordinates of the vanishing point of two image lines.
void vanishingDirection(const double* l1, const double* l2, const double projection[3][4],
                        double v[3]) {
  const double(*p)[4] = projection;
  const double w1 = l1[0] * l2[1] - l2[0] * l1[1];
  const double w2 = l1[1] * l2[2] - l2[1] * l1[2];
  const double w3 = l1[2] * l2[0] - l2[2] * l1[0];
  v[0] = w1 * (p[0][1] * p[1][2] - p[0][2] * p[1][1]) + w2 * p[1][1] - w3 * p[0][1];
  v[1] = -w1 * p[0][0] * p[1][2] + w3 * p[0][0];
  v[2] = w1 * p[0][0] * p[1][1];
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  for (int i = 0; i < 3; i++) v[i] /= length;
}

bool allFinite(const double* values, int count) {
  for (int i = 0; i < count; i++)
    if (!std::isfinite(values[i])) return false;
  return true;
}

}  // namespace

int arInitialRotation(const DetectedMarker* marker, const double projection[3][4],
                      double rotation[3][3]) {
  const int dir = markerTurn(marker->dir);
  double axis[2][3];
  for (int j = 0; j < 2; j++) {
    vanishingDirection(marker->line[(4 - dir + j) % 4], marker->line[(6 - dir + j) % 4], projection,
                       axis[j]);
  }
  // x runs from the top-left corner to the top-right one, y from the bottom-left to the top-left.
  if (arOrientAxis(axis[0], marker->vertex[(4 - dir) % 4], marker->vertex[(5 - dir) % 4], projection) < 0)
    return -1;
  if (arOrientAxis(axis[1], marker->vertex[(7 - dir) % 4], marker->vertex[(4 - dir) % 4], projection) < 0)
    return -1;
  if (arOrthogonalizeAxes(axis[0], axis[1]) < 0) return -1;

  const double* u = axis[0];
  const double* v = axis[1];
  double normal[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
  for (double& x : normal) x /= length;

  double result[3][3];
  for (int i = 0; i < 3; i++) {
    result[i][0] = u[i];
    result[i][1] = v[i];
    result[i][2] = normal[i];
  }
  // Parallel or zero-length edge lines end up here as non-finite axes.
  if (!allFinite(&result[0][0], 9)) return -1;
  std::memcpy(rotation, result, sizeof result);
  return 0;
}

double arMarkerPose(const DetectedMarker* marker, const double center[2], double width,
                    double out[3][4]) {
  // A marker of no size, or at no place, has no pose to find.
  if (!(width > 0) || !allFinite(&width, 1) || !allFinite(center, 2)) return kArPoseFailure;
  const CameraParam& camera = arCurrentCamera;
  double rotation[3][3];
  if (arInitialRotation(marker, camera.projection, rotation) < 0) return kArPoseFailure;

  const int dir = markerTurn(marker->dir);
  double image[4][2];
  for (int k = 0; k < 4; k++) {
    image[k][0] = marker->vertex[(4 + k - dir) % 4][0];
    image[k][1] = marker->vertex[(4 + k - dir) % 4][1];
  }
  const double h = width * 0.5;
  const double model[4][2] = {{center[0] - h, center[1] + h},
                              {center[0] + h, center[1] + h},
                              {center[0] + h, center[1] - h},
                              {center[0] - h, center[1] - h}};

  // Each attempt continues from the rotation the previous one refined; the last one counts.
  double pose[3][4];
  double err = kArPoseFailure;
  for (int attempt = 0; attempt < kMaxAttempts; attempt++) {
    err = arPoseFromPoints(rotation, image, model, 4, pose, camera.distortion, camera.projection);
    if (err == kArPoseFailure) return kArPoseFailure;
    if (err < kGoodFit) break;
  }
  // Degenerate corners give non-finite numbers; they are no pose to draw.
  if (!std::isfinite(err) || !allFinite(&pose[0][0], 12)) return kArPoseFailure;
  std::memcpy(out, pose, sizeof pose);
  return err;
}
