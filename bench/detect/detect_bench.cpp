// Cost of labelling and of the whole per-frame detection on synthetic frames from the shipped
// camera (lens distortion included): 640 x 480 with 0, 1, 4 and 10 markers, clean and noisy;
// the threshold modes; 1280 x 720 and 1920 x 1080; 20 markers and the candidate limit; and a
// tracking frame of 4 markers, detection alone and with the pose of every marker, plain and
// refined (Tracking/...), whose differences are what refinement costs.
// Run from the repository root (it reads Data/) with
//   bench_detect --benchmark_repetitions=15 --benchmark_report_aggregates_only=true
// and read the medians; frames_per_second is the rate of whole frames.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "detect/labeling.h"
#include "detect/marker_pipeline.h"
#include "detect/pattern.h"
#include "pose/pose.h"
#include "sim/pattern_picture.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kThreshold = 100;

CameraParam shippedCamera() {
  CameraParam camera{};
  if (arCameraParamRead("Data/camera_para.dat", 1, &camera) != 0) {
    std::fprintf(stderr, "bench_detect: cannot read Data/camera_para.dat (run from the repository root)\n");
    std::exit(1);
  }
  return camera;
}

// The interior pictures of the shipped patterns, loaded into the pattern store as the viewer
// would at start-up. With no shipped patterns, a few generated ones stand in.
std::vector<SimImage> loadPatterns() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("Data/patterns", ec))
    if (entry.path().extension() == ".patt") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  std::vector<SimImage> pictures;
  if (files.empty()) {
    for (int k = 0; k < 4; k++) {
      SimImage picture;
      picture.width = picture.height = 16;
      picture.channels = 1;
      for (int i = 0; i < 256; i++)
        picture.pixels.push_back(((i / 16) * (k + 2) + (i % 16) * (k + 1)) % 7 < 3 ? 20 : 235);
      const std::string path = (std::filesystem::temp_directory_path() / ("bench_detect_" + std::to_string(k) + ".patt")).string();
      std::string error;
      if (!simWritePatternFile(path, picture, &error)) std::abort();
      files.push_back(path);
    }
  }
  for (const std::string& file : files) {
    if (arReadPatternFile(file.c_str()) < 0) std::exit(1);
    SimImage picture;
    std::string error;
    if (!simPictureFromPatternFile(file, &picture, &error)) std::exit(1);
    pictures.push_back(picture);
  }
  return pictures;
}

// 80 mm markers: up to ten on a 5 x 2 grid at 600 mm (about 75 pixels a side), each tilted
// and spun a little differently; the first four are larger and nearer, as in a typical view.
void placeMarkers(int count, const std::vector<SimImage>& pictures, std::vector<SimMarker>* markers) {
  markers->assign(count, SimMarker());
  for (int i = 0; i < count; i++) {
    SimMarker& m = (*markers)[i];
    m.interior = &pictures[i % pictures.size()];
    if (count <= 4) {
      const double x = (i % 2 ? 110.0 : -110.0), y = (i / 2 ? 80.0 : -80.0);
      simPoseLookAt(450 + 40 * i, 15 + 10 * i, 30 * i, 20 + 75 * i, x, y, m.pose);
    } else {
      const double x = -260 + 130 * (i % 5), y = (i < 5 ? -110.0 : 110.0);
      simPoseLookAt(600, 10 + 4 * i, 40 * i, 33 * i, x, y, m.pose);
    }
  }
}

struct Scene {
  std::vector<uint8_t> frame;
  CameraParam camera;
};

// The scene at 640 x 480, or the same view at another size (the shipped camera rescaled, so the
// markers cover the same share of the frame). 20 markers: a 5 x 4 grid of smaller ones.
Scene renderScene(int markerCount, bool noisy, int width = kWidth, int height = kHeight) {
  static const CameraParam shipped = shippedCamera();
  static const std::vector<SimImage> pictures = [] {
    arCameraParamSetCurrent(&shipped);
    return loadPatterns();
  }();
  Scene scene;
  arCameraParamResize(&shipped, width, height, &scene.camera);
  const SimRenderer renderer(scene.camera, width, height, 1);
  std::vector<SimMarker> markers;
  if (markerCount == 20) {
    markers.assign(20, SimMarker());
    for (int i = 0; i < 20; i++) {
      markers[i].interior = &pictures[i % pictures.size()];
      simPoseLookAt(900, 10 + i, 30 * i, 17 * i, -280 + 140 * (i % 5), -165 + 110 * (i / 5), markers[i].pose);
    }
  } else {
    placeMarkers(markerCount, pictures, &markers);
  }
  SimEffects effects;
  if (noisy) {
    effects.noiseSigma = 6;
    effects.blurSigma = 0.6;
    effects.brightnessGradient = 0.2;
  }
  scene.frame.resize(static_cast<size_t>(width) * height * 4);
  renderer.render(SimBackground(), markers.data(), markerCount, effects, scene.frame.data(), nullptr);
  arCameraParamSetCurrent(&scene.camera);
  return scene;
}

void reportRate(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations());
  state.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                           benchmark::Counter::kIsRate);
}

void labelImage(benchmark::State& state, int markerCount, bool noisy) {
  const Scene scene = renderScene(markerCount, noisy);
  for (auto _ : state) {
    const LabelSet* labels = arLabelImage(scene.frame.data(), kThreshold);
    benchmark::DoNotOptimize(labels);
  }
  reportRate(state);
}

void findMarkers(benchmark::State& state, int markerCount, bool noisy) {
  const Scene scene = renderScene(markerCount, noisy);
  int found = 0;
  for (auto _ : state) {
    DetectedMarker* markers = nullptr;
    int count = 0;
    if (arFindMarkers(scene.frame.data(), kThreshold, &markers, &count) < 0) state.SkipWithError("detection failed");
    found = count;
    benchmark::DoNotOptimize(markers);
  }
  state.counters["markers"] = found;
  reportRate(state);
}

void detectMarkers(benchmark::State& state, int markerCount, ArDetectorSettings settings, int width, int height) {
  const Scene scene = renderScene(markerCount, false, width, height);
  arResetMarkerHistory();
  int found = 0;
  for (auto _ : state) {
    DetectedMarker* markers = nullptr;
    int count = 0;
    if (arDetectMarkers(scene.frame.data(), settings, &markers, &count) < 0) state.SkipWithError("detection failed");
    found = count;
    benchmark::DoNotOptimize(markers);
  }
  state.counters["markers"] = found;
  reportRate(state);
}

// Detection of the 4-marker frame and, with poses, the pose of every identified marker (80 mm
// wide); refined: corners, identification and poses all refined.
void trackFrame(benchmark::State& state, bool noisy, bool poses, bool refined) {
  const Scene scene = renderScene(4, noisy);
  ArDetectorSettings settings;
  settings.refineCorners = refined;
  settings.refineIdentification = refined;
  const double centre[2] = {0, 0};
  int posed = 0;
  for (auto _ : state) {
    DetectedMarker* markers = nullptr;
    int count = 0;
    if (arDetectMarkers(scene.frame.data(), settings, &markers, &count) < 0) state.SkipWithError("detection failed");
    posed = 0;
    for (int i = 0; poses && i < count; i++) {
      if (markers[i].id < 0) continue;
      double pose[3][4];
      const double err = refined ? arMarkerPoseRefined(&markers[i], centre, 80, pose, nullptr)
                                 : arMarkerPose(&markers[i], centre, 80, pose);
      posed += err >= 0;
      benchmark::DoNotOptimize(pose);
    }
  }
  state.counters["poses"] = posed;
  reportRate(state);
}

void registerAll() {
  for (bool noisy : {false, true})
    for (bool poses : {false, true})
      for (bool refined : {false, true}) {
        const std::string name = std::string("Tracking/640x480/4/") + (noisy ? "noisy" : "clean") +
                                 (poses ? "/poses" : "/detection") + (refined ? "/refined" : "/plain");
        benchmark::RegisterBenchmark(name.c_str(), trackFrame, noisy, poses, refined)->Unit(benchmark::kMicrosecond);
      }
  // Threshold modes, frame sizes and candidate limits, all with the detector's own settings
  // record: DetectMarkers/<size>/<markers>/<mode>/<limit>.
  struct Run {
    int width, height, markers;
    ArThresholdMode mode;
    int limit;
  };
  const char* modeName[] = {"fixed", "auto", "adaptive"};
  for (const Run& r : {Run{640, 480, 4, ArThresholdMode::Fixed, 30}, Run{640, 480, 4, ArThresholdMode::Auto, 30},
                       Run{640, 480, 4, ArThresholdMode::Adaptive, 30}, Run{640, 480, 4, ArThresholdMode::Fixed, 256},
                       Run{640, 480, 20, ArThresholdMode::Fixed, 256}, Run{1280, 720, 4, ArThresholdMode::Fixed, 30},
                       Run{1280, 720, 4, ArThresholdMode::Adaptive, 30}, Run{1920, 1080, 4, ArThresholdMode::Fixed, 30},
                       Run{1920, 1080, 4, ArThresholdMode::Adaptive, 30}}) {
    ArDetectorSettings settings;
    settings.thresholdMode = r.mode;
    settings.maxCandidates = r.limit;
    const std::string name = "DetectMarkers/" + std::to_string(r.width) + "x" + std::to_string(r.height) + "/" +
                             std::to_string(r.markers) + "/" + modeName[static_cast<int>(r.mode)] + "/" +
                             std::to_string(r.limit);
    benchmark::RegisterBenchmark(name.c_str(), detectMarkers, r.markers, settings, r.width, r.height)
        ->Unit(benchmark::kMicrosecond);
  }
  for (bool noisy : {false, true}) {
    for (int n : {0, 1, 4, 10}) {
      const std::string suffix = "/640x480/" + std::to_string(n) + (noisy ? "/noisy" : "");
      benchmark::RegisterBenchmark(("LabelImage" + suffix).c_str(), labelImage, n, noisy)->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("FindMarkers" + suffix).c_str(), findMarkers, n, noisy)->Unit(benchmark::kMicrosecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
