// Cost of labelling and of the whole per-frame detection on 640 x 480 synthetic frames from the
// shipped camera (lens distortion included) with 0, 1, 4 and 10 markers, clean and noisy.
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
};

Scene renderScene(int markerCount, bool noisy) {
  static const CameraParam camera = shippedCamera();
  static const std::vector<SimImage> pictures = [] {
    arCameraParamSetCurrent(&camera);
    return loadPatterns();
  }();
  static const SimRenderer renderer(camera, kWidth, kHeight);
  std::vector<SimMarker> markers;
  placeMarkers(markerCount, pictures, &markers);
  SimEffects effects;
  if (noisy) {
    effects.noiseSigma = 6;
    effects.blurSigma = 0.6;
    effects.brightnessGradient = 0.2;
  }
  Scene scene;
  scene.frame.resize(static_cast<size_t>(kWidth) * kHeight * 4);
  renderer.render(SimBackground(), markers.data(), markerCount, effects, scene.frame.data(), nullptr);
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

void registerAll() {
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
