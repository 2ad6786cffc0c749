// The shipped markers, rendered through the shipped camera, are found by the detector with the
// right id, dir and corners; and a printed marker read back by armkpatt matches its pattern.
#include <gtest/gtest.h>

#include <cmath>

#include "camera/camera_param.h"
#include "detect/detection.h"
#include "sim/pattern_picture.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/test_files.h"
#include "tests/tools/tool_run.h"
#include "tools/patterns/pattern_designs.h"

namespace {

constexpr double kCornerTolerance = 1.0;  // pixels

class ShippedMarkerDetection : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &camera_), 0);
    arCameraParamSetCurrent(&camera_);
    renderer_ = new SimRenderer(camera_, camera_.xsize, camera_.ysize);
  }
  static void TearDownTestSuite() {
    delete renderer_;
    renderer_ = nullptr;
  }
  void SetUp() override {
    arResetPatternStore();
    arResetMarkerHistory();
    for (const std::string& name : patternDesignNames()) {
      const std::string path = "Data/patterns/" + name + ".patt";
      ids_.push_back(arReadPatternFile(path.c_str()));
      ASSERT_GE(ids_.back(), 0) << path;
      SimImage picture;
      std::string error;
      ASSERT_TRUE(simPictureFromPatternFile(path, &picture, &error)) << error;
      pictures_.push_back(picture);
    }
  }
  void TearDown() override {
    arResetPatternStore();
    arResetMarkerHistory();
  }

  // Renders one marker and runs the detector on a fresh history; returns the identified
  // markers found.
  std::vector<DetectedMarker> detect(size_t design, const double pose[3][4], const SimEffects& effects,
                                     SimMarkerTruth* truth) {
    SimMarker marker;
    marker.interior = &pictures_[design];
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c) marker.pose[r][c] = pose[r][c];
    std::vector<uint8_t> frame(static_cast<size_t>(camera_.xsize) * camera_.ysize * 4);
    SimBackground background;
    background.kind = SimBackgroundKind::Gradient;
    background.grey = 140;
    background.grey2 = 220;
    renderer_->render(background, &marker, 1, effects, frame.data(), truth);
    arResetMarkerHistory();
    DetectedMarker* markers = nullptr;
    int count = 0;
    EXPECT_EQ(arFindMarkers(frame.data(), 100, &markers, &count), 0);
    std::vector<DetectedMarker> found;
    for (int i = 0; i < count; ++i)
      if (markers[i].id >= 0) found.push_back(markers[i]);
    return found;
  }

  // Checks id, dir, and that vertex (4 - dir + k) % 4 is model corner k. The detector fits its
  // edges through the centres of the outermost dark pixels, which lie up to a pixel inside the
  // true edge (half a pixel on average), hence the tolerance.
  void expectDetected(size_t design, const double pose[3][4], const SimEffects& effects, const std::string& label) {
    SimMarkerTruth truth;
    const std::vector<DetectedMarker> found = detect(design, pose, effects, &truth);
    ASSERT_TRUE(truth.fullyVisible) << label;
    ASSERT_EQ(found.size(), 1u) << label;
    const DetectedMarker& m = found[0];
    EXPECT_EQ(m.id, ids_[design]) << label;
    EXPECT_EQ(m.dir, truth.expectedDir) << label;
    EXPECT_GT(m.cf, 0.8) << label;
    if (m.dir < 0 || m.dir > 3) return;
    for (int k = 0; k < 4; ++k) {
      const double* v = m.vertex[(4 - m.dir + k) % 4];
      EXPECT_NEAR(v[0], truth.ideal[k][0], kCornerTolerance) << label << " corner " << k;
      EXPECT_NEAR(v[1], truth.ideal[k][1], kCornerTolerance) << label << " corner " << k;
    }
  }

  static CameraParam camera_;
  static SimRenderer* renderer_;
  std::vector<int> ids_;
  std::vector<SimImage> pictures_;
};

CameraParam ShippedMarkerDetection::camera_;
SimRenderer* ShippedMarkerDetection::renderer_ = nullptr;

TEST_F(ShippedMarkerDetection, EveryMarkerAtEveryQuarterTurnGivesItsIdAndDir) {
  for (size_t design = 0; design < pictures_.size(); ++design)
    for (int turn = 0; turn < 4; ++turn) {
      double pose[3][4];
      simPoseLookAt(500, 0, 0, 90.0 * turn, 0, 0, pose);
      expectDetected(design, pose, SimEffects(), patternDesignNames()[design] + " turn " + std::to_string(turn));
    }
}

TEST_F(ShippedMarkerDetection, TiltedOffCentreNoisyAndBlurredMarkersAreStillIdentified) {
  SimEffects effects;
  effects.noiseSigma = 3;
  effects.blurSigma = 0.6;
  effects.brightnessGradient = 0.3;
  for (size_t design = 0; design < pictures_.size(); ++design)
    for (int turn = 0; turn < 4; ++turn) {
      double pose[3][4];
      simPoseLookAt(450 + 40 * turn, 35, 30.0 * design, 90.0 * turn + 20, -120 + 60 * turn, 40, pose);
      effects.seed = static_cast<uint32_t>(design * 4 + turn + 1);
      expectDetected(design, pose, effects,
                     patternDesignNames()[design] + " tilted, turn " + std::to_string(turn));
    }
}

TEST_F(ShippedMarkerDetection, AllMarkersInOneFrameAreToldApart) {
  std::vector<SimMarker> markers(pictures_.size());
  for (size_t i = 0; i < markers.size(); ++i) {
    const double x = -200 + 100.0 * i, y = (i % 2 ? 70 : -70);
    simPoseLookAt(650, 15, 45.0 * i, 70.0 * i + 10, x, y, markers[i].pose);
    markers[i].interior = &pictures_[i];
  }
  std::vector<SimMarkerTruth> truth(markers.size());
  std::vector<uint8_t> frame(static_cast<size_t>(camera_.xsize) * camera_.ysize * 4);
  renderer_->render(SimBackground(), markers.data(), static_cast<int>(markers.size()), SimEffects(),
                    frame.data(), truth.data());
  arResetMarkerHistory();
  DetectedMarker* found = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(frame.data(), 100, &found, &count), 0);
  ASSERT_EQ(count, static_cast<int>(markers.size()));
  for (size_t i = 0; i < markers.size(); ++i) {
    // The detected marker whose centre is nearest the middle of the true corners.
    const double cx = (truth[i].observed[0][0] + truth[i].observed[2][0]) / 2;
    const double cy = (truth[i].observed[0][1] + truth[i].observed[2][1]) / 2;
    const DetectedMarker* nearest = &found[0];
    for (int j = 1; j < count; ++j)
      if (std::hypot(found[j].pos[0] - cx, found[j].pos[1] - cy) < std::hypot(nearest->pos[0] - cx, nearest->pos[1] - cy))
        nearest = &found[j];
    EXPECT_LT(std::hypot(nearest->pos[0] - cx, nearest->pos[1] - cy), 3.0) << i;
    EXPECT_EQ(nearest->id, ids_[i]) << patternDesignNames()[i];
    EXPECT_EQ(nearest->dir, truth[i].expectedDir) << patternDesignNames()[i];
  }
}

TEST(PrintedMarkerReadBack, ArmarkerThenArmkpattMatchesTheShippedPatternInTheMatcher) {
  arResetPatternStore();
  TempDir dir;
  for (const std::string& name : patternDesignNames()) {
    const std::string original = "Data/patterns/" + name + ".patt";
    const std::string marker = dir.file(name + ".png"), back = dir.file(name + ".patt");
    ASSERT_EQ(runPatternTool("armarker", "--dpi 200 " + original + " " + marker).status, 0);
    ASSERT_EQ(runPatternTool("armkpatt", marker + " " + back).status, 0);
    std::vector<int> values, originalValues;
    std::string error;
    ASSERT_EQ(arReadPatternValues(back, &values, &error), ArPatternFileStatus::Ok) << error;
    ASSERT_EQ(arReadPatternValues(original, &originalValues, &error), ArPatternFileStatus::Ok) << error;
    // Every orientation of the read-back pattern, taken as a sampled interior, matches the same
    // orientation of the original best.
    for (int o = 0; o < 4; ++o) {
      int best = -1;
      double cf = -1;
      for (int b = 0; b < 4; ++b) {
        const double c = arPatternCorrelation(values, o, originalValues, b);
        if (c > cf) cf = c, best = b;
      }
      EXPECT_EQ(best, o) << name;
      EXPECT_GT(cf, 0.95) << name;
    }
  }
}

}  // namespace
