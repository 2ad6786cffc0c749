// Rendering cost of synthetic frames: the demo video source renders 640 x 480 live.
// Run with --benchmark_repetitions=9 --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"

namespace {

CameraParam shippedCamera() {
  CameraParam camera{};
  if (arCameraParamRead("Data/camera_para.dat", 1, &camera) != 0) std::abort();
  return camera;
}

SimImage checkerPicture() {
  SimImage image;
  image.width = image.height = 16;
  image.channels = 3;
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c) image.pixels.push_back(((i / 16 + i % 16) % 2) ? 255 : 0);
  return image;
}

// Four 80 mm markers at 350..600 mm, tilted and turned: each covers about 100 x 100 pixels.
void fourMarkers(SimMarker markers[4], const SimImage* picture) {
  simPoseLookAt(450, 20, 0, 10, -150, -90, markers[0].pose);
  simPoseLookAt(350, 40, 90, 60, 120, -80, markers[1].pose);
  simPoseLookAt(600, 10, 45, 200, -120, 120, markers[2].pose);
  simPoseLookAt(500, 55, 30, 300, 150, 110, markers[3].pose);
  for (int i = 0; i < 4; ++i) markers[i].interior = picture;
}

// mapSupersample 3 renders from the distortion map; 1 makes supersample-3 frames compute
// every sample's ideal point on the fly (identical bytes), which shows what the map saves.
void renderFrame(benchmark::State& state, const SimEffects& effects, int mapSupersample = 3) {
  const SimRenderer renderer(shippedCamera(), 640, 480, mapSupersample);
  const SimImage picture = checkerPicture();
  SimMarker markers[4];
  fourMarkers(markers, &picture);
  SimBackground background;
  background.kind = SimBackgroundKind::Gradient;
  std::vector<uint8_t> frame(640 * 480 * 4);
  SimMarkerTruth truth[4];
  for (auto _ : state) {
    renderer.render(background, markers, 4, effects, frame.data(), truth);
    benchmark::DoNotOptimize(frame.data());
  }
}

void BM_Render640x480FourMarkers(benchmark::State& state) { renderFrame(state, SimEffects()); }

void BM_Render640x480FourMarkersWithoutMap(benchmark::State& state) { renderFrame(state, SimEffects(), 1); }

void BM_Render640x480FourMarkersNoiseBlur(benchmark::State& state) {
  SimEffects effects;
  effects.noiseSigma = 3;
  effects.blurSigma = 0.7;
  effects.brightnessGradient = 0.2;
  renderFrame(state, effects);
}

void BM_BuildDistortionMap640x480(benchmark::State& state) {
  const CameraParam camera = shippedCamera();
  for (auto _ : state) {
    SimRenderer renderer(camera, 640, 480);
    benchmark::DoNotOptimize(&renderer);
  }
}

}  // namespace

BENCHMARK(BM_Render640x480FourMarkers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render640x480FourMarkersWithoutMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render640x480FourMarkersNoiseBlur)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildDistortionMap640x480)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
