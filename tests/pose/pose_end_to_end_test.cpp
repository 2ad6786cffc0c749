// Poses of rendered markers found by the real detector: the shipped camera and patterns, 80 mm
// markers at 300 to 1200 mm, tilts up to 50 degrees, all four quarter turns. Scenes are seeded,
// so every run sees the same frames. First with the lens distortion switched off, then with the
// shipped lens, whose distortion the fit compares against the plain projection.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "camera/pose.h"
#include "detect/marker_history_internal.h"
#include "detect/marker_pipeline.h"
#include "detect/pattern.h"
#include "detect/pattern_internal.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/pose/pose_test_support.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kMarkerWidth = 80;  // mm
constexpr int kThreshold = 100;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultFrames = 60;  // the sanitizer build runs the first of the same scenes
#else
constexpr int kDefaultFrames = 150;
#endif

// AR_POSE_E2E_FRAMES overrides the number of frames per run (for long runs or quick checks).
int frameCount() {
  const char* value = std::getenv("AR_POSE_E2E_FRAMES");
  return value ? std::max(1, std::atoi(value)) : kDefaultFrames;
}

// How one detected marker's pose compares with the truth.
struct PoseOutcome {
  double distance;            // mm, camera to marker centre
  double fitError;            // pixels squared per corner, as arMarkerPose returns it
  double rotationDeg;         // angle between estimated and true rotation
  double translationPercent;  // translation error, percent of the distance
};

struct PoseFigures {
  int placed = 0;
  int detected = 0;     // found by the detector with the right pattern id
  int failedPoses = 0;  // arMarkerPose gave -1.0
  int unambiguous = 0;  // detected markers whose expected dir is certain
  int dirAsExpected = 0;
  std::vector<PoseOutcome> outcomes;

  // Share of the outcomes between the distances for which field is below limit.
  double share(double PoseOutcome::*field, double limit, double nearest = 0, double farthest = 1e9) const {
    int in = 0, below = 0;
    for (const PoseOutcome& o : outcomes) {
      if (o.distance < nearest || o.distance >= farthest) continue;
      in++;
      below += o.*field < limit;
    }
    return in ? static_cast<double>(below) / in : 0.0;
  }
  double percentile(double PoseOutcome::*field, double p) const {
    std::vector<double> values;
    for (const PoseOutcome& o : outcomes) values.push_back(o.*field);
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t rank = static_cast<size_t>(std::ceil(p * values.size()));
    return values[std::min(values.size() - 1, rank > 0 ? rank - 1 : 0)];
  }
};

void printFigures(const char* label, const PoseFigures& f) {
  std::printf("%s: placed %d, detected %d, no pose %d, dir as expected %d of %d\n", label, f.placed, f.detected,
              f.failedPoses, f.dirAsExpected, f.unambiguous);
  std::printf("  fit error (px^2):  median %.3f, 95th %.3f; below 1.0: %.1f %%\n",
              f.percentile(&PoseOutcome::fitError, 0.5), f.percentile(&PoseOutcome::fitError, 0.95),
              100 * f.share(&PoseOutcome::fitError, 1.0));
  std::printf("  rotation (deg):    median %.3f, 95th %.3f, worst %.3f; within 2: %.1f %%, within 5: %.1f %%\n",
              f.percentile(&PoseOutcome::rotationDeg, 0.5), f.percentile(&PoseOutcome::rotationDeg, 0.95),
              f.percentile(&PoseOutcome::rotationDeg, 1.0), 100 * f.share(&PoseOutcome::rotationDeg, 2.0),
              100 * f.share(&PoseOutcome::rotationDeg, 5.0));
  std::printf("  translation (%%):   median %.3f, 95th %.3f; within 2 %%: %.1f %%, within 5 %%: %.1f %%\n",
              f.percentile(&PoseOutcome::translationPercent, 0.5), f.percentile(&PoseOutcome::translationPercent, 0.95),
              100 * f.share(&PoseOutcome::translationPercent, 2.0),
              100 * f.share(&PoseOutcome::translationPercent, 5.0));
  for (double nearest : {300.0, 600.0, 900.0}) {
    std::printf("  %4.0f-%4.0f mm: rotation within 2 deg %.1f %%, translation within 2 %% %.1f %%\n", nearest,
                nearest + 300, 100 * f.share(&PoseOutcome::rotationDeg, 2.0, nearest, nearest + 300),
                100 * f.share(&PoseOutcome::translationPercent, 2.0, nearest, nearest + 300));
  }
}

class PoseEndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &shipped_), 0);
    ASSERT_EQ(shipped_.xsize, kWidth);
    arResetPatternStore();
    arResetMarkerHistory();
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("Data/patterns", ec))
      if (entry.path().extension() == ".patt") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 4u) << "needs the shipped patterns in Data/patterns";
    for (size_t i = 0; i < files.size(); i++) {
      ASSERT_EQ(arReadPatternFile(files[i].c_str()), static_cast<int>(i));
      SimImage picture;
      std::string error;
      ASSERT_TRUE(simPictureFromPatternFile(files[i], &picture, &error)) << error;
      pictures_.push_back(picture);
    }
  }
  void TearDown() override {
    arResetPatternStore();
    arResetMarkerHistory();
  }

  // Frames of 1 to 4 markers with distinct patterns, fully inside the frame; the detector and
  // the pose see the camera as given.
  PoseFigures run(const CameraParam& camera, uint32_t seedBase) const {
    arCameraParamSetCurrent(&camera);
    SimRenderer renderer(camera, kWidth, kHeight, 2);
    EXPECT_TRUE(renderer.valid()) << renderer.error();
    SimEffects effects;
    effects.supersample = 2;
    const double f = camera.projection[0][0];
    PoseFigures figures;
    int quarter = 0;
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
    for (int n = 0; n < frameCount(); n++) {
      std::mt19937 rng(seedBase + n);
      auto uniform = [&rng](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
      const int wanted = 1 + static_cast<int>(rng() % 4);
      std::vector<SimMarker> markers;
      std::vector<int> patternOf;
      std::vector<std::array<double, 3>> discs;
      for (int attempt = 0; attempt < 200 && static_cast<int>(markers.size()) < wanted; attempt++) {
        const double distance = uniform(300, 1200);
        const double radius = f * kMarkerWidth / distance * 0.75 + 4;
        const double u = uniform(radius, kWidth - radius), v = uniform(radius, kHeight - radius);
        if (u < radius || v < radius) continue;
        bool overlaps = false;
        for (const auto& d : discs) overlaps = overlaps || std::hypot(d[0] - u, d[1] - v) < d[2] + radius;
        const int pattern = static_cast<int>(rng() % pictures_.size());
        for (int p : patternOf) overlaps = overlaps || p == pattern;
        if (overlaps) continue;
        SimMarker m;
        m.width = kMarkerWidth;
        m.interior = &pictures_[pattern];
        // Spins cycle through the four quarter turns, each with up to 40 degrees either way.
        const double spin = 90.0 * (quarter % 4) + uniform(-40, 40);
        simPoseLookAt(distance, uniform(0, 50), uniform(0, 360), spin, (u - camera.projection[0][2]) * distance / f,
                      (v - camera.projection[1][2]) * distance / f, m.pose);
        SimMarkerTruth t;
        renderer.render(SimBackground(), &m, 1, effects, nullptr, &t);
        bool inside = t.fullyVisible;
        for (int k = 0; k < 4 && inside; k++)
          inside = t.observed[k][0] > 4 && t.observed[k][0] < kWidth - 5 && t.observed[k][1] > 4 &&
                   t.observed[k][1] < kHeight - 5;
        if (!inside) continue;
        quarter++;
        discs.push_back({u, v, radius});
        markers.push_back(m);
        patternOf.push_back(pattern);
      }
      std::vector<SimMarkerTruth> truth(markers.size());
      renderer.render(SimBackground(), markers.data(), static_cast<int>(markers.size()), effects, frame.data(),
                      truth.data());

      arResetMarkerHistory();  // the frames are unrelated
      DetectedMarker* found = nullptr;
      int count = 0;
      EXPECT_EQ(arFindMarkers(frame.data(), kThreshold, &found, &count), 0);
      for (size_t i = 0; i < markers.size(); i++) {
        figures.placed++;
        const DetectedMarker* match = nullptr;
        for (int j = 0; j < count; j++)
          if (found[j].id == patternOf[i]) match = &found[j];
        if (!match) continue;
        figures.detected++;
        if (!truth[i].dirAmbiguous) {
          figures.unambiguous++;
          figures.dirAsExpected += match->dir == truth[i].expectedDir;
        }
        const double centre[2] = {0, 0};
        double pose[3][4];
        const double err = arMarkerPose(match, centre, kMarkerWidth, pose);
        if (err < 0) {
          figures.failedPoses++;
          continue;
        }
        const auto& truePose = truth[i].pose;
        const double distance = std::sqrt(truePose[0][3] * truePose[0][3] + truePose[1][3] * truePose[1][3] +
                                          truePose[2][3] * truePose[2][3]);
        figures.outcomes.push_back({distance, err, rotationAngleDeg(pose, truePose),
                                    100 * translationDistance(pose, truePose) / distance});
      }
    }
    return figures;
  }

  CameraParam shipped_{};
  std::vector<SimImage> pictures_;
};

// Without lens distortion the fit can reach the truth. The figures below 600 mm meet 2 degrees
// for 95 % of the markers; farther out the corners of a marker of 25 to 40 pixels (errors up to
// a pixel where an edge runs along a pixel row) leave the tilt loosely pinned, and the fit,
// which stops at the first attempt below 1.0, lands within 2 degrees for 60 to 70 % of them.
TEST_F(PoseEndToEndTest, DetectedMarkersWithoutLensDistortionGiveTheirPoses) {
  CameraParam camera = shipped_;
  camera.distortion[2] = 0.0;  // the shipped matrix, no lens distortion
  camera.distortion[3] = 1.0;
  const PoseFigures f = run(camera, 40000);
  printFigures("without lens distortion", f);
  ASSERT_GE(f.placed, frameCount());
  EXPECT_GE(f.detected, 0.97 * f.placed);
  EXPECT_EQ(f.failedPoses, 0);
  EXPECT_GE(f.share(&PoseOutcome::fitError, 1.0), 0.99);
  EXPECT_GE(f.share(&PoseOutcome::translationPercent, 2.0), 0.95);
  EXPECT_GE(f.share(&PoseOutcome::rotationDeg, 2.0, 300, 600), 0.95);
  EXPECT_GE(f.share(&PoseOutcome::rotationDeg, 2.0), 0.75);
  EXPECT_GE(f.share(&PoseOutcome::rotationDeg, 5.0), 0.93);
  EXPECT_LT(f.percentile(&PoseOutcome::rotationDeg, 0.5), 1.0);
  EXPECT_LT(f.percentile(&PoseOutcome::translationPercent, 0.5), 1.0);
}

TEST_F(PoseEndToEndTest, DetectedMarkersThroughTheShippedLens) {
  // The detector reports corners with the distortion taken out; the fit puts it back and
  // compares with the plain projection, so poses away from the image centre are pulled aside
  // (about 2 % of the distance at the median).
  const PoseFigures f = run(shipped_, 40000);
  printFigures("with the shipped lens", f);
  ASSERT_GE(f.placed, frameCount());
  EXPECT_GE(f.detected, 0.97 * f.placed);
  EXPECT_EQ(f.failedPoses, 0);
  EXPECT_GE(f.share(&PoseOutcome::fitError, 1.0), 0.97);
  EXPECT_GE(f.share(&PoseOutcome::rotationDeg, 5.0), 0.88);
  EXPECT_GE(f.share(&PoseOutcome::translationPercent, 5.0), 0.93);
  EXPECT_LT(f.percentile(&PoseOutcome::rotationDeg, 0.5), 2.0);
  EXPECT_LT(f.percentile(&PoseOutcome::translationPercent, 0.5), 3.0);
}

}  // namespace
