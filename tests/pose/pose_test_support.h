// Markers with known poses for the pose tests and benchmark.
#pragma once

#include <cstdint>
#include <cstring>

#include "camera/camera_param.h"
#include "detect/detected_marker.h"
#include "sim/sim_pose.h"
#include "tests/support/marker_scenes.h"

constexpr double kPi = 3.14159265358979323846;

// Frontal upright marker at distance, spun by spinDeg about its normal, tilted by tiltDeg about
// the in-plane axis at tiltAxisDeg, and moved by (offsetX, offsetY) across the view.
inline void testPose(double distance, double tiltDeg, double tiltAxisDeg, double spinDeg, double offsetX,
                     double offsetY, double pose[3][4]) {
  simPoseLookAt(distance, tiltDeg, tiltAxisDeg, spinDeg, offsetX, offsetY, pose);
}

// Ideal image position of the marker point (x, y, 0) under pose.
inline void projectMarkerPoint(const CameraParam& camera, const double pose[3][4], double x, double y, double image[2]) {
  simProjectMarkerPoint(pose, camera.projection, x, y, &image[0], &image[1]);
}

// A marker of side width centred at center, seen at pose and reported with dir: model corner k
// goes to vertex[(4 + k - dir) % 4]; line i runs through vertex i and vertex i + 1.
DetectedMarker markerSeenAt(const CameraParam& camera, const double pose[3][4], double width,
                            const double center[2], int dir);

// Recomputes the four edge lines through the marker's vertices (after moving them).
void drawEdgeLines(DetectedMarker* marker);

inline bool sameBits(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

// A seeded linear congruential sequence: reproducible and spread over [lo, hi).
struct Uniform {
  uint64_t state;
  explicit Uniform(uint64_t seed) : state(seed) {}
  double operator()(double lo, double hi) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return lo + (hi - lo) * static_cast<double>(state >> 11) / 9007199254740992.0;
  }
};
