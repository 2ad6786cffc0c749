// Per-frame costs of the video layer: the demo scene must render well inside its frame period
// (33 ms at 30 fps), and handing a frame over (one copy, mirrored or not) must stay small.
// Run from the repository root with --benchmark_repetitions=9 --benchmark_report_aggregates_only=true.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "video/demo_scene.h"
#include "video/frame_exchange.h"

namespace {

void BM_DemoSceneRender640x480(benchmark::State& state) {
  DemoScene scene;
  std::string error;
  if (!scene.load(DemoSceneSettings(), &error)) std::abort();
  std::vector<uint8_t> frame(640 * 480 * 4);
  double t = 0;
  for (auto _ : state) {
    scene.render(t, frame.data());
    t += 1.0 / 30;
    benchmark::DoNotOptimize(frame.data());
  }
}

void BM_FrameHandOff640x480(benchmark::State& state) {
  const bool flipV = state.range(0) & 1, flipH = state.range(0) & 2;
  FrameExchange exchange;
  exchange.configure(640, 480, flipV, flipH);
  exchange.setAccepting(true);
  std::vector<uint8_t> source(640 * 480 * 4, 7);
  for (auto _ : state) {
    exchange.publish(source.data(), 640 * 4, 640, 480);
    benchmark::DoNotOptimize(exchange.take());
    exchange.release();
  }
}

}  // namespace

BENCHMARK(BM_DemoSceneRender640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameHandOff640x480)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
