#include "tests/pose/pose_test_support.h"

#include <cmath>

namespace {
constexpr double kDeg = kPi / 180.0;
}  // namespace

void multiply3(const double b[3][3], const double c[3][3], double a[3][3]) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a[i][j] = b[i][0] * c[0][j] + b[i][1] * c[1][j] + b[i][2] * c[2][j];
}

// Rotation by angle about the unit axis (Rodrigues).
void axisRotation(const double n[3], double angle, double r[3][3]) {
  const double c = std::cos(angle), s = std::sin(angle), k = 1 - c;
  const double m[3][3] = {{c + n[0] * n[0] * k, n[0] * n[1] * k - n[2] * s, n[0] * n[2] * k + n[1] * s},
                          {n[1] * n[0] * k + n[2] * s, c + n[1] * n[1] * k, n[1] * n[2] * k - n[0] * s},
                          {n[2] * n[0] * k - n[1] * s, n[2] * n[1] * k + n[0] * s, c + n[2] * n[2] * k}};
  std::memcpy(r, m, sizeof m);
}

void testPose(double distance, double tiltDeg, double tiltAxisDeg, double spinDeg, double offsetX,
              double offsetY, double pose[3][4]) {
  const double frontal[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  const double zAxis[3] = {0, 0, 1};
  const double tiltAxis[3] = {std::cos(tiltAxisDeg * kDeg), std::sin(tiltAxisDeg * kDeg), 0};
  double spin[3][3], tilt[3][3], inPlane[3][3], r[3][3];
  axisRotation(zAxis, spinDeg * kDeg, spin);
  axisRotation(tiltAxis, tiltDeg * kDeg, tilt);
  multiply3(tilt, spin, inPlane);
  multiply3(frontal, inPlane, r);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) pose[i][j] = r[i][j];
  pose[0][3] = offsetX;
  pose[1][3] = offsetY;
  pose[2][3] = distance;
}

void projectMarkerPoint(const CameraParam& camera, const double pose[3][4], double x, double y,
                        double image[2]) {
  double c[3], h[3];
  for (int i = 0; i < 3; i++) c[i] = pose[i][0] * x + pose[i][1] * y + pose[i][3];
  for (int i = 0; i < 3; i++) {
    const double* p = camera.projection[i];
    h[i] = p[0] * c[0] + p[1] * c[1] + p[2] * c[2] + p[3];
  }
  image[0] = h[0] / h[2];
  image[1] = h[1] / h[2];
}

DetectedMarker markerSeenAt(const CameraParam& camera, const double pose[3][4], double width,
                            const double center[2], int dir) {
  DetectedMarker marker = {};
  marker.area = 1000;
  marker.dir = dir;
  marker.cf = 1.0;
  const double h = width / 2;
  const double corners[4][2] = {{center[0] - h, center[1] + h}, {center[0] + h, center[1] + h},
                                {center[0] + h, center[1] - h}, {center[0] - h, center[1] - h}};
  const int turn = ((dir % 4) + 4) % 4;
  for (int k = 0; k < 4; k++) {
    double* v = marker.vertex[(4 + k - turn) % 4];
    projectMarkerPoint(camera, pose, corners[k][0], corners[k][1], v);
    marker.pos[0] += v[0] / 4;
    marker.pos[1] += v[1] / 4;
  }
  drawEdgeLines(&marker);
  return marker;
}

void drawEdgeLines(DetectedMarker* marker) {
  for (int i = 0; i < 4; i++) {
    const double* s = marker->vertex[i];
    const double* e = marker->vertex[(i + 1) % 4];
    const double length = std::hypot(e[0] - s[0], e[1] - s[1]);
    const double ex = (e[0] - s[0]) / length, ey = (e[1] - s[1]) / length;
    // As a fitted line is stored: normal (ey, -ex) through the middle of the edge.
    marker->line[i][0] = ey;
    marker->line[i][1] = -ex;
    marker->line[i][2] = -(ey * (s[0] + e[0]) - ex * (s[1] + e[1])) / 2;
  }
}
