// Cost of the pose of one detected marker with the shipped camera (lens distortion off, so the
// fit can reach the truth): square-on, tilted and far markers, 16 of each with different turns
// and positions and corners off by up to 0.2 pixel. attempts is the mean number of fit
// attempts per marker. MarkerPoseRefined times arMarkerPoseRefined on the same markers, so its
// difference from MarkerPose is what the refinement adds. RefineRotation/fast and /plain time the angle search against its plain
// form (one arComposeProjection per candidate) on the same input. Run from the repository root
// (it reads Data/) with
//   bench_pose --benchmark_repetitions=15 --benchmark_report_aggregates_only=true
// and read the medians.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pose/pose.h"
#include "pose/pose_angles.h"
#include "pose/pose_solve.h"
#include "tests/pose/pose_reference.h"
#include "tests/pose/pose_test_support.h"

namespace {

constexpr int kMarkersPerCase = 16;
const double kOrigin[2] = {0, 0};
const double kModel[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};

CameraParam benchCamera() {
  CameraParam camera = shippedCamera(false);
  if (camera.xsize == 0) {
    std::fprintf(stderr, "bench_pose: cannot read Data/camera_para.dat (run from the repository root)\n");
    std::exit(1);
  }
  return camera;
}

struct Scene {
  double distance;
  double tiltDeg;
};

std::vector<DetectedMarker> markersOf(const CameraParam& camera, const Scene& scene) {
  uint64_t state = 77;
  auto noise = [&state]() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return 0.2 * (2.0 * static_cast<double>(state >> 11) / 9007199254740992.0 - 1.0);
  };
  std::vector<DetectedMarker> markers;
  for (int i = 0; i < kMarkersPerCase; i++) {
    double pose[3][4];
    testPose(scene.distance, scene.tiltDeg, 23.0 * i, 41.0 * i, 0.15 * scene.distance * ((i % 5) - 2) / 2,
             0.1 * scene.distance * ((i % 3) - 1), pose);
    DetectedMarker marker = markerSeenAt(camera, pose, 80, kOrigin, i % 4);
    for (auto& v : marker.vertex) {
      v[0] += noise();
      v[1] += noise();
    }
    drawEdgeLines(&marker);
    markers.push_back(marker);
  }
  return markers;
}

// Fit attempts arMarkerPose makes on a marker, replayed with its public steps.
int attemptsFor(const CameraParam& camera, const DetectedMarker& marker) {
  double rotation[3][3];
  if (arInitialRotation(&marker, camera.projection, rotation) < 0) return 0;
  const int dir = ((marker.dir % 4) + 4) % 4;
  double image[4][2];
  for (int k = 0; k < 4; k++) std::memcpy(image[k], marker.vertex[(4 + k - dir) % 4], sizeof image[k]);
  double out[3][4];
  int attempts = 0;
  while (attempts < 5) {
    attempts++;
    if (arPoseFromPoints(rotation, image, kModel, 4, out, camera.distortion, camera.projection) < 1.0) break;
  }
  return attempts;
}

void markerPose(benchmark::State& state, Scene scene, bool refined) {
  const CameraParam camera = benchCamera();
  arCameraParamSetCurrent(&camera);
  const std::vector<DetectedMarker> markers = markersOf(camera, scene);
  int attempts = 0;
  for (const DetectedMarker& m : markers) attempts += attemptsFor(camera, m);
  size_t next = 0;
  for (auto _ : state) {
    double out[3][4];
    benchmark::DoNotOptimize(refined ? arMarkerPoseRefined(&markers[next], kOrigin, 80, out, nullptr)
                                     : arMarkerPose(&markers[next], kOrigin, 80, out));
    benchmark::DoNotOptimize(out);
    next = (next + 1) % markers.size();
  }
  state.counters["attempts"] = static_cast<double>(attempts) / markers.size();
}

BENCHMARK_CAPTURE(markerPose, frontal, Scene{500, 0}, false)->Name("MarkerPose/frontal")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(markerPose, tilted, Scene{600, 45}, false)->Name("MarkerPose/tilted")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(markerPose, far, Scene{1200, 20}, false)->Name("MarkerPose/far")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(markerPose, frontal, Scene{500, 0}, true)->Name("MarkerPoseRefined/frontal")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(markerPose, tilted, Scene{600, 45}, true)->Name("MarkerPoseRefined/tilted")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(markerPose, far, Scene{1200, 20}, true)->Name("MarkerPoseRefined/far")->Unit(benchmark::kMicrosecond);

// One angle search (10 passes of 27 candidates) on the corners of a tilted marker.
void refineRotation(benchmark::State& state, bool fast) {
  const CameraParam camera = benchCamera();
  double truth[3][4];
  testPose(600, 35, 20, 110, 40, -30, truth);
  double model[4][3], observed[4][2];
  for (int j = 0; j < 4; j++) {
    model[j][0] = kModel[j][0];
    model[j][1] = kModel[j][1];
    model[j][2] = 0;
    projectMarkerPoint(camera, truth, kModel[j][0], kModel[j][1], observed[j]);
    observed[j][0] += 0.1 * (j - 1.5);
  }
  const double t[3] = {truth[0][3], truth[1][3], truth[2][3]};
  double start[3][3];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) start[i][j] = truth[i][j];
  for (auto _ : state) {
    double rotation[3][3];
    std::memcpy(rotation, start, sizeof rotation);
    const double err = fast ? arPoseRefineRotation(rotation, t, camera.projection, model, observed, 4)
                            : referencePoseRefineRotation(rotation, t, camera.projection, model, observed, 4);
    benchmark::DoNotOptimize(err);
    benchmark::DoNotOptimize(rotation);
  }
}

BENCHMARK_CAPTURE(refineRotation, fast, true)->Name("RefineRotation/fast")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(refineRotation, plain, false)->Name("RefineRotation/plain")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
