#include "sim/sim_pose.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

void multiply3(const double a[3][3], const double b[3][3], double out[3][3]) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c];
}

// Rotation by angle about the unit axis (ax, ay, az), right-handed.
void axisRotation(double ax, double ay, double az, double angle, double out[3][3]) {
  const double c = std::cos(angle), s = std::sin(angle), k = 1 - c;
  out[0][0] = c + ax * ax * k;      out[0][1] = ax * ay * k - az * s; out[0][2] = ax * az * k + ay * s;
  out[1][0] = ay * ax * k + az * s; out[1][1] = c + ay * ay * k;      out[1][2] = ay * az * k - ax * s;
  out[2][0] = az * ax * k - ay * s; out[2][1] = az * ay * k + ax * s; out[2][2] = c + az * az * k;
}

}  // namespace

void simPoseLookAt(double distance, double tiltDeg, double tiltAxisDeg, double spinDeg,
                   double offsetX, double offsetY, double pose[3][4]) {
  const double upright[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  const double axisAngle = tiltAxisDeg * kPi / 180;
  double spin[3][3], tilt[3][3], tiltSpin[3][3], r[3][3];
  // The marker's z axis points towards the camera, so a positive turn about it is
  // counter-clockwise as the camera sees the marker.
  axisRotation(0, 0, 1, spinDeg * kPi / 180, spin);
  axisRotation(std::cos(axisAngle), std::sin(axisAngle), 0, tiltDeg * kPi / 180, tilt);
  multiply3(tilt, spin, tiltSpin);
  multiply3(upright, tiltSpin, r);
  const double t[3] = {offsetX, offsetY, distance};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) pose[i][j] = r[i][j];
    pose[i][3] = t[i];
  }
}

bool simProjectMarkerPoint(const double pose[3][4], const double projection[3][4], double x,
                           double y, double* ix, double* iy) {
  double cam[3];
  for (int i = 0; i < 3; ++i) cam[i] = pose[i][0] * x + pose[i][1] * y + pose[i][3];
  double h[3];
  for (int i = 0; i < 3; ++i)
    h[i] = projection[i][0] * cam[0] + projection[i][1] * cam[1] + projection[i][2] * cam[2] +
           projection[i][3];
  if (!(h[2] > 0)) return false;
  *ix = h[0] / h[2];
  *iy = h[1] / h[2];
  return true;
}
