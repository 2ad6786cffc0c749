// Detection of rendered markers with known truth: the shipped camera with its lens distortion,
// the shipped patterns, seeded random poses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "camera/camera_param.h"
#include "detect/marker_history_internal.h"
#include "detect/marker_pipeline.h"
#include "detect/pattern.h"
#include "detect/pattern_internal.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/shipped_data.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultFrames = 40;  // the first of the same scenes
#else
constexpr int kDefaultFrames = 500;
#endif

// AR_DETECT_E2E_FRAMES overrides the number of frames.
int frameCount() {
  const char* value = std::getenv("AR_DETECT_E2E_FRAMES");
  return value ? std::max(1, std::atoi(value)) : kDefaultFrames;
}

struct SceneRange {
  double minSide, maxSide, maxTilt;  // pixels of the whole marker seen frontally; degrees
};

struct Tally {
  int placed = 0, found = 0, falseIds = 0, vertices = 0;
  double squaredError = 0;
  double rms() const { return vertices ? std::sqrt(squaredError / vertices) : 0.0; }
  double rate() const { return placed ? static_cast<double>(found) / placed : 0.0; }
};

class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &camera_), 0);
    ASSERT_EQ(camera_.xsize, kWidth);
    ASSERT_NE(camera_.distortion[2], 0.0);  // the lens model is part of what is tested
    arCameraParamSetCurrent(&camera_);
    arResetPatternStore();
    arResetMarkerHistory();
    const std::vector<std::string> files = shippedPatternFiles();
    ASSERT_GE(files.size(), 2u) << "no shipped patterns in Data/patterns";
    pictures_.resize(files.size());
    for (size_t i = 0; i < files.size(); i++) {
      ASSERT_EQ(arReadPatternFile(files[i].c_str()), static_cast<int>(i));
      std::string error;
      ASSERT_TRUE(simPictureFromPatternFile(files[i], &pictures_[i], &error)) << error;
    }
    effects_.supersample = 2;  // antialiased edges, quick rendering
    renderer_ = std::make_unique<SimRenderer>(camera_, kWidth, kHeight, effects_.supersample);
    ASSERT_TRUE(renderer_->valid()) << renderer_->error();
  }
  void TearDown() override {
    arResetPatternStore();
    arResetMarkerHistory();
  }

  // A marker of about `side` pixels centred near pixel (u, v).
  SimMarker markerAt(int pattern, double side, double tilt, double tiltAxis, double spin, double u, double v) const {
    SimMarker m;
    m.width = 80;
    m.interior = &pictures_[pattern];
    const double f = camera_.projection[0][0], distance = f * 80.0 / side;
    simPoseLookAt(distance, tilt, tiltAxis, spin, (u - camera_.projection[0][2]) * distance / f,
                  (v - camera_.projection[1][2]) * distance / f, m.pose);
    return m;
  }

  // Detects one frame with the history cleared; every marker must be found once.
  DetectedMarker* detect(const std::vector<uint8_t>& frame, int* count) const {
    arResetMarkerHistory();
    DetectedMarker* found = nullptr;
    EXPECT_EQ(arFindMarkers(frame.data(), 100, &found, count), 0);
    return found;
  }

  // Renders frame `seed` with 1 to 4 non-overlapping markers fully inside it, detects and scores.
  void runScene(uint32_t seed, const SceneRange& range, Tally* tally, std::string* log) const {
    std::mt19937 rng(seed);
    auto uniform = [&rng](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const size_t wanted = 1 + rng() % 4;
    std::vector<SimMarker> markers;
    std::vector<int> patternOf;
    std::vector<std::array<double, 3>> discs;
    for (int attempt = 0; attempt < 200 && markers.size() < wanted; attempt++) {
      const double side = uniform(range.minSide, range.maxSide), radius = side * 0.75 + 4;
      const double u = uniform(radius, kWidth - radius), v = uniform(radius, kHeight - radius);
      bool overlaps = false;
      for (const auto& d : discs) overlaps = overlaps || std::hypot(d[0] - u, d[1] - v) < d[2] + radius;
      if (overlaps) continue;
      const int pattern = static_cast<int>(rng() % pictures_.size());
      const SimMarker m = markerAt(pattern, side, uniform(0, range.maxTilt), uniform(0, 360), uniform(0, 360), u, v);
      SimMarkerTruth t;
      renderer_->render(SimBackground(), &m, 1, effects_, nullptr, &t);
      bool inside = t.fullyVisible;  // with a margin: markers touching the border are not meant to be found
      for (int k = 0; k < 4 && inside; k++)
        inside = t.observed[k][0] > 4 && t.observed[k][0] < kWidth - 5 && t.observed[k][1] > 4 && t.observed[k][1] < kHeight - 5;
      if (!inside) continue;
      discs.push_back({u, v, radius});
      markers.push_back(m);
      patternOf.push_back(pattern);
    }
    std::vector<SimMarkerTruth> truth(markers.size());
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
    renderer_->render(SimBackground(), markers.data(), static_cast<int>(markers.size()), effects_, frame.data(), truth.data());

    int count = 0;
    const DetectedMarker* found = detect(frame, &count);
    std::string failures;
    auto matches = [&](int j, size_t i) {  // right id, centred on marker i
      double cx = 0, cy = 0;
      for (int k = 0; k < 4; k++) cx += truth[i].observed[k][0] / 4, cy += truth[i].observed[k][1] / 4;
      return found[j].id == patternOf[i] && std::hypot(found[j].pos[0] - cx, found[j].pos[1] - cy) < 15;
    };
    for (size_t i = 0; i < truth.size(); i++) {
      tally->placed++;
      int best = -1;
      for (int j = 0; j < count; j++)
        if (matches(j, i) && (best < 0 || found[j].cf > found[best].cf)) best = j;
      if (best < 0 || found[best].dir < 0) {
        failures += " missed " + std::to_string(i);
        continue;
      }
      double worst = 0, squares = 0;  // model corner k must be vertex (4 + k - dir) % 4
      for (int k = 0; k < 4; k++) {
        const double* v = found[best].vertex[(4 + k - found[best].dir) % 4];
        const double d2 = std::pow(v[0] - truth[i].ideal[k][0], 2) + std::pow(v[1] - truth[i].ideal[k][1], 2);
        worst = std::max(worst, std::sqrt(d2));
        squares += d2;
      }
      if (worst > 3.0) {
        failures += " wrong corners/dir " + std::to_string(i);
        continue;
      }
      tally->found++;
      tally->squaredError += squares;
      tally->vertices += 4;
    }
    for (int j = 0; j < count; j++) {
      bool real = found[j].id < 0;  // an identified report must sit on a marker with that pattern
      for (size_t i = 0; i < truth.size(); i++) real = real || matches(j, i);
      if (!real) tally->falseIds++, failures += " false id " + std::to_string(found[j].id);
    }
    if (!failures.empty() && log->size() < 2000) *log += "frame " + std::to_string(seed) + ":" + failures + "\n";
  }

  Tally run(const SceneRange& range, int frames, uint32_t seedBase, std::string* log) const {
    Tally tally;
    for (int f = 0; f < frames; f++) runScene(seedBase + f, range, &tally, log);
    return tally;
  }

  CameraParam camera_{};
  SimEffects effects_;
  std::vector<SimImage> pictures_;
  std::unique_ptr<SimRenderer> renderer_;
};

TEST_F(EndToEndTest, MarkersOfSixtyToTwoHundredFiftyPixelsTiltedUpToFiftyDegrees) {
  std::string log;
  const Tally tally = run({60, 250, 50}, frameCount(), 1000, &log);
  std::printf("placed %d, found %d (%.2f %%), false ids %d, vertex RMS %.3f px\n", tally.placed, tally.found,
              100.0 * tally.rate(), tally.falseIds, tally.rms());
  EXPECT_GE(tally.placed, frameCount());
  EXPECT_GE(tally.rate(), 0.99) << log;
  EXPECT_EQ(tally.falseIds, 0) << log;
  EXPECT_LE(tally.rms(), 1.0);
}

TEST_F(EndToEndTest, SmallAndSteepMarkersAreMeasured) {
  // The rates are reported, not required, apart from a sanity floor.
  std::string log;
  const Tally small = run({30, 60, 50}, frameCount() / 5, 5000, &log);
  const Tally steep = run({60, 250, 70}, frameCount() / 5, 7000, &log);
  for (const auto& [name, t] : {std::pair{"sides 30-60 px", small}, std::pair{"tilts to 70 deg", steep}}) {
    std::printf("%s: found %d of %d (%.1f %%), false ids %d, RMS %.3f px\n", name, t.found, t.placed, 100.0 * t.rate(),
                t.falseIds, t.rms());
    EXPECT_GT(t.rate(), 0.5) << name;
  }
  EXPECT_EQ(small.falseIds + steep.falseIds, 0) << log;
}

TEST_F(EndToEndTest, QuarterTurnsGiveTheFourDirectionsInOrder) {
  // Spins just off the axes, with a little tilt, leave one corner topmost and so a definite dir;
  // a quarter turn counter-clockwise as seen makes the next model corner the topmost.
  for (int pattern = 0; pattern < static_cast<int>(pictures_.size()); pattern++) {
    SCOPED_TRACE(testing::Message() << "pattern " << pattern);
    std::vector<int> dirs;
    for (int quarter = 0; quarter < 4; quarter++) {
      const SimMarker m = markerAt(pattern, 160, 10, 30, 90 * quarter + 4, 321, 237.5);
      SimMarkerTruth t;
      std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
      renderer_->render(SimBackground(), &m, 1, effects_, frame.data(), &t);
      ASSERT_FALSE(t.dirAmbiguous);
      int count = 0;
      const DetectedMarker* found = detect(frame, &count);
      ASSERT_EQ(count, 1);
      EXPECT_EQ(found[0].id, pattern);
      EXPECT_EQ(found[0].dir, t.expectedDir);
      ASSERT_GE(found[0].dir, 0);
      for (int k = 0; k < 4; k++) {
        const double* v = found[0].vertex[(4 + k - found[0].dir) % 4];
        EXPECT_NEAR(std::hypot(v[0] - t.ideal[k][0], v[1] - t.ideal[k][1]), 0.0, 1.4) << "model corner " << k;
        for (const double* line : {found[0].line[(k + 3) % 4], found[0].line[k]}) {  // vertex k joins lines k - 1, k
          EXPECT_NEAR(line[0] * found[0].vertex[k][0] + line[1] * found[0].vertex[k][1] + line[2], 0.0, 1e-9);
          EXPECT_NEAR(line[0] * line[0] + line[1] * line[1], 1.0, 1e-12);
        }
      }
      dirs.push_back(found[0].dir);
    }
    for (int i = 1; i < 4; i++) EXPECT_EQ(dirs[i], (dirs[i - 1] + 1) % 4);
  }
}

}  // namespace
