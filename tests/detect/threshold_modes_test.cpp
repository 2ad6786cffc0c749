// The threshold modes and the candidate limit on rendered scenes: the fixed default is the
// specified detector bit for bit, auto settles after the light changes and then holds still,
// adaptive agrees with fixed in plain light, large frames and crowded scenes are tracked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "camera/camera_param.h"
#include "detect/detection.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/shipped_data.h"

namespace {

class ThresholdModes : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &shipped_), 0);
    arResetPatternStore();
    arResetMarkerHistory();
    for (const std::string& file : shippedPatternFiles()) {
      pictures_.emplace_back();
      ASSERT_EQ(arReadPatternFile(file.c_str()), static_cast<int>(pictures_.size()) - 1);
      std::string error;
      ASSERT_TRUE(simPictureFromPatternFile(file, &pictures_.back(), &error)) << error;
    }
    useSize(640, 480);
  }
  void TearDown() override {
    arResetPatternStore();
    arResetMarkerHistory();
  }

  // The shipped camera at this frame size, current, with a renderer for it.
  void useSize(int width, int height) {
    arCameraParamResize(&shipped_, width, height, &camera_);
    arCameraParamSetCurrent(&camera_);
    renderer_ = std::make_unique<SimRenderer>(camera_, width, height, 2);
    ASSERT_TRUE(renderer_->valid()) << renderer_->error();
  }

  // A marker of about `side` pixels centred at pixel (u, v), shipped pattern `pattern`.
  SimMarker markerAt(size_t pattern, double side, double tilt, double spin, double u, double v) const {
    SimMarker m;
    m.interior = &pictures_[pattern % pictures_.size()];
    const double f = camera_.projection[0][0], distance = f * m.width / side;
    simPoseLookAt(distance, tilt, 40, spin, (u - camera_.projection[0][2]) * distance / f,
                  (v - camera_.projection[1][2]) * distance / f, m.pose);
    return m;
  }

  // Four markers, one in each quarter of the frame, about a fifth of its height wide.
  std::vector<SimMarker> fourMarkers() const {
    const double w = renderer_->width(), h = renderer_->height();
    std::vector<SimMarker> markers;
    for (int i = 0; i < 4; i++)
      markers.push_back(markerAt(i, h / 5, 10 + 8 * i, 20 * i + 5, w * (i % 2 ? 0.7 : 0.3), h * (i / 2 ? 0.7 : 0.3)));
    return markers;
  }

  std::vector<uint8_t> render(const std::vector<SimMarker>& markers, const SimEffects& effects) const {
    std::vector<uint8_t> frame(static_cast<size_t>(renderer_->width()) * renderer_->height() * 4);
    renderer_->render(SimBackground(), markers.data(), static_cast<int>(markers.size()), effects, frame.data(), nullptr);
    return frame;
  }

  // Markers identified with the pattern they were drawn with, near where they were drawn.
  int identified(const std::vector<SimMarker>& markers, const DetectedMarker* found, int count) const {
    int n = 0;
    for (size_t i = 0; i < markers.size(); i++) {
      double u, v;
      simProjectMarkerPoint(markers[i].pose, camera_.projection, 0, 0, &u, &v);
      for (int j = 0; j < count; j++)
        if (found[j].id == static_cast<int>(i % pictures_.size()) && std::hypot(found[j].pos[0] - u, found[j].pos[1] - v) < 10) {
          n++;
          break;
        }
    }
    return n;
  }

  CameraParam shipped_{}, camera_{};
  std::vector<SimImage> pictures_;
  std::unique_ptr<SimRenderer> renderer_;
};

TEST_F(ThresholdModes, DefaultSettingsGiveArFindMarkersBitForBit) {
  std::mt19937 rng(5);
  for (int scene = 0; scene < 12; scene++) {
    std::vector<SimMarker> markers;
    for (int i = 0; i < 1 + scene % 4; i++)
      markers.push_back(markerAt(rng(), 60 + rng() % 120, rng() % 50, rng() % 360, 100 + 140 * i, 120 + rng() % 240));
    SimEffects effects;
    effects.noiseSigma = scene % 3 * 3;
    effects.seed = scene;
    const std::vector<uint8_t> frame = render(markers, effects);
    for (int limit : {30, 256}) {  // a higher limit changes nothing while the list has room
      ArDetectorSettings settings;
      settings.maxCandidates = limit;
      settings.threshold = 80 + scene * 5;
      DetectedMarker *a, *b;
      int na = -1, nb = -1;
      arResetMarkerHistory();
      ASSERT_EQ(arFindMarkers(frame.data(), settings.threshold, &a, &na), 0);
      const std::vector<DetectedMarker> expected(a, a + na);
      arResetMarkerHistory();
      ArDetectionStats stats;
      ASSERT_EQ(arDetectMarkers(frame.data(), settings, &b, &nb, &stats), 0);
      ASSERT_EQ(nb, na) << scene;
      for (int i = 0; i < na; i++) {  // field by field: the record has padding
        const DetectedMarker &x = expected[i], &y = b[i];
        EXPECT_TRUE(x.area == y.area && x.id == y.id && x.dir == y.dir && x.cf == y.cf) << scene;
        EXPECT_EQ(std::memcmp(x.pos, y.pos, sizeof x.pos), 0) << scene;
        EXPECT_EQ(std::memcmp(x.line, y.line, sizeof x.line), 0) << scene;
        EXPECT_EQ(std::memcmp(x.vertex, y.vertex, sizeof x.vertex), 0) << scene;
      }
      EXPECT_EQ(stats.threshold, settings.threshold);
      EXPECT_EQ(stats.candidatesBeyondLimit, 0);
    }
  }
}

TEST_F(ThresholdModes, AutoSettlesWithinFiveFramesOfALightChangeAndThenHoldsStill) {
  const std::vector<SimMarker> markers = fourMarkers();
  auto light = [](double gain, double black, double exposure) {
    SimEffects e;
    e.lighting.gain = gain, e.lighting.black = black, e.lighting.exposure = exposure;
    e.noiseSigma = 2;
    return e;
  };
  // Studio, dim room, washed-out print, over-exposed, studio again: 12 noisy frames each.
  const SimEffects segments[] = {light(1, 0, 1), light(0.35, 0, 1), light(1, 110, 1), light(1, 40, 3), light(1, 0, 1)};
  ArDetectorSettings settings;
  settings.thresholdMode = ArThresholdMode::Auto;
  int frameNumber = 0;
  for (const SimEffects& segment : segments) {
    SCOPED_TRACE(testing::Message() << "segment starting at frame " << frameNumber);
    std::vector<std::pair<bool, int>> seen;  // all four identified, threshold
    for (int f = 0; f < 12; f++, frameNumber++) {
      SimEffects effects = segment;
      effects.seed = frameNumber + 1;
      const std::vector<uint8_t> frame = render(markers, effects);
      DetectedMarker* found;
      int count;
      ArDetectionStats stats;
      ASSERT_EQ(arDetectMarkers(frame.data(), settings, &found, &count, &stats), 0);
      seen.emplace_back(identified(markers, found, count) == 4, stats.threshold);
    }
    // Settled: from this frame on every marker is identified on every frame, at one threshold.
    int settled = static_cast<int>(seen.size());
    while (settled > 0 && seen[settled - 1].first && seen[settled - 1].second == seen.back().second) settled--;
    EXPECT_LE(settled, 4) << "more than 5 frames to settle";
    std::printf("auto: settled on frame %d of the segment at threshold %d\n", settled + 1, seen.back().second);
  }
}

TEST_F(ThresholdModes, AdaptiveAgreesWithFixedInPlainLightAndTracksLargeFrames) {
  for (auto [width, height] : {std::pair{640, 480}, {1280, 720}, {1920, 1080}}) {
    useSize(width, height);
    const std::vector<SimMarker> markers = fourMarkers();
    SimEffects effects;
    effects.noiseSigma = 2;
    const std::vector<uint8_t> frame = render(markers, effects);
    std::vector<DetectedMarker> fixed;
    for (auto mode : {ArThresholdMode::Fixed, ArThresholdMode::Adaptive}) {
      SCOPED_TRACE(testing::Message() << width << " x " << height << " mode " << static_cast<int>(mode));
      ArDetectorSettings settings;
      settings.thresholdMode = mode;
      DetectedMarker* found;
      int count;
      arResetMarkerHistory();
      ASSERT_EQ(arDetectMarkers(frame.data(), settings, &found, &count), 0);
      EXPECT_EQ(identified(markers, found, count), 4);
      if (mode == ArThresholdMode::Fixed) {
        fixed.assign(found, found + count);
        continue;
      }
      ASSERT_EQ(count, static_cast<int>(fixed.size()));
      // The same markers in the same order. The corners move by up to a pixel: the local threshold
      // sits nearer the dark side of each blurred edge than the fixed one does.
      for (int i = 0; i < count; i++) {
        EXPECT_EQ(found[i].id, fixed[i].id);
        EXPECT_EQ(found[i].dir, fixed[i].dir);
        for (int k = 0; k < 4; k++)
          EXPECT_LT(std::hypot(found[i].vertex[k][0] - fixed[i].vertex[k][0], found[i].vertex[k][1] - fixed[i].vertex[k][1]), 1.5);
      }
    }
  }
}

TEST_F(ThresholdModes, CrowdedSceneNeedsARaisedCandidateLimit) {
  // 20 markers of 40 to 80 pixels below 48 dark squares that come first in label order.
  std::vector<SimMarker> markers;
  std::mt19937 rng(11);
  for (int i = 0; i < 20; i++)
    markers.push_back(markerAt(i, 40 + 2 * i, rng() % 20, rng() % 360, 64 + 128 * (i % 5), 150 + 90 * (i / 5)));
  std::vector<uint8_t> frame = render(markers, SimEffects());
  for (int i = 0; i < 48; i++)
    for (int y = 12 + 40 * (i / 24); y < 26 + 40 * (i / 24) + i % 3; y++)
      for (int x = 10 + 26 * (i % 24); x < 24 + 26 * (i % 24); x++) std::memset(&frame[(y * 640 + x) * 4], 20, 3);

  struct Case {
    int limit, identified;
    bool hit;
  };
  for (const Case& c : {Case{256, 20, false}, Case{30, 0, true}}) {
    SCOPED_TRACE(c.limit);
    ArDetectorSettings settings;
    settings.maxCandidates = c.limit;
    DetectedMarker* found;
    int count;
    ArDetectionStats stats;
    arResetMarkerHistory();
    ASSERT_EQ(arDetectMarkers(frame.data(), settings, &found, &count, &stats), 0);
    EXPECT_EQ(identified(markers, found, count), c.identified);
    EXPECT_EQ(stats.candidatesBeyondLimit > 0, c.hit);
    EXPECT_LE(stats.candidates, c.limit);
    if (c.hit) {
      EXPECT_GE(stats.candidatesBeyondLimit, 20);  // every marker was left unexamined
    }
  }
  // The default limit is the specified detector, which stops at 30.
  DetectedMarker* found;
  int count;
  arResetMarkerHistory();
  ASSERT_EQ(arFindMarkers(frame.data(), 100, &found, &count), 0);
  EXPECT_EQ(count, 30);
  EXPECT_EQ(identified(markers, found, count), 0);
}

TEST_F(ThresholdModes, UnusableSettingsAndFramesSayWhy) {
  const std::vector<uint8_t> frame = render(fourMarkers(), SimEffects());
  auto set = [](auto change) {
    ArDetectorSettings s;
    change(s);
    return s;
  };
  const ArDetectorSettings bad[] = {
      set([](ArDetectorSettings& s) { s.threshold = 256; }), set([](ArDetectorSettings& s) { s.maxCandidates = 0; }),
      set([](ArDetectorSettings& s) { s.maxCandidates = kArMaxCandidatesLimit + 1; }),
      set([](ArDetectorSettings& s) { s.adaptiveRadius = 0; }), set([](ArDetectorSettings& s) { s.adaptiveLevel = 100; }),
      set([](ArDetectorSettings& s) { s.thresholdMode = static_cast<ArThresholdMode>(7); })};
  for (const ArDetectorSettings& settings : bad) {
    DetectedMarker* found;
    int count = -1;
    ArDetectionStats stats;
    EXPECT_EQ(arDetectMarkers(frame.data(), settings, &found, &count, &stats), -1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(stats.problem, ArDetectionProblem::InvalidSettings);
  }
  for (auto mode : {ArThresholdMode::Fixed, ArThresholdMode::Auto, ArThresholdMode::Adaptive}) {
    ArDetectorSettings settings;
    settings.thresholdMode = mode;
    DetectedMarker* found;
    int count = -1;
    ArDetectionStats stats;
    EXPECT_EQ(arDetectMarkers(nullptr, settings, &found, &count, &stats), -1);
    EXPECT_EQ(stats.problem, ArDetectionProblem::NoFrame);
    CameraParam huge = camera_;
    huge.xsize = 4097, huge.ysize = 4096;
    arCameraParamSetCurrent(&huge);
    EXPECT_EQ(arDetectMarkers(frame.data(), settings, &found, &count, &stats), -1);  // not read
    EXPECT_EQ(stats.problem, ArDetectionProblem::FrameTooLarge);
    EXPECT_NE(std::string(arDetectionProblemText(stats.problem)).find("16777216"), std::string::npos);
    arCameraParamSetCurrent(&camera_);
  }
}

}  // namespace
