#include "tests/pose/pose_test_support.h"

#include <cmath>

DetectedMarker markerSeenAt(const CameraParam& camera, const double pose[3][4], double width,
                            const double center[2], int dir) {
  DetectedMarker marker = {};
  marker.area = 1000, marker.dir = dir, marker.cf = 1.0;
  const double h = width / 2;
  const double corners[4][2] = {{center[0] - h, center[1] + h}, {center[0] + h, center[1] + h},
                                {center[0] + h, center[1] - h}, {center[0] - h, center[1] - h}};
  for (int k = 0; k < 4; k++) {
    double* v = marker.vertex[(4 + k - ((dir % 4) + 4) % 4) % 4];
    projectMarkerPoint(camera, pose, corners[k][0], corners[k][1], v);
    marker.pos[0] += v[0] / 4, marker.pos[1] += v[1] / 4;
  }
  drawEdgeLines(&marker);
  return marker;
}

void drawEdgeLines(DetectedMarker* marker) {
  for (int i = 0; i < 4; i++) {
    const double *s = marker->vertex[i], *e = marker->vertex[(i + 1) % 4];
    const double length = std::hypot(e[0] - s[0], e[1] - s[1]), ex = (e[0] - s[0]) / length, ey = (e[1] - s[1]) / length;
    // As a fitted line is stored: normal (ey, -ex) through the middle of the edge.
    marker->line[i][0] = ey, marker->line[i][1] = -ex;
    marker->line[i][2] = -(ey * (s[0] + e[0]) - ex * (s[1] + e[1])) / 2;
  }
}
