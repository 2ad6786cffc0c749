// The tracking driver on real components: frames rendered with known poses, the real detector and
// the real pose estimation.
#include "app/tracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/scene.h"
#include "app/viewer_shell.h"
#include "detect/detection.h"
#include "sim/sim_image.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/test_files.h"
#include "video/video.h"

namespace {

MarkerEntry row(const char* pattern, double cx, double cy, float width, float scale) {
  MarkerEntry e = {};
  std::snprintf(e.patternFile, sizeof e.patternFile, "%s", pattern);
  e.centerX = cx;
  e.centerY = cy;
  e.width = width;
  e.scale = scale;
  return e;
}

// A frame of the shipped camera with the given markers, each an interior picture at a pose.
struct Scene {
  CameraParam camera;
  std::vector<uint8_t> frame;
  std::vector<SimMarkerTruth> truth;
};

Scene render(const std::vector<std::pair<std::string, std::vector<double>>>& placed) {
  Scene s;
  EXPECT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &s.camera), 0);
  arCameraParamSetCurrent(&s.camera);
  static std::vector<SimImage> pictures(8);
  std::vector<SimMarker> markers(placed.size());
  for (size_t i = 0; i < placed.size(); i++) {
    std::string error;
    EXPECT_TRUE(simLoadImage("Data/patterns/" + placed[i].first + ".png", &pictures[i], &error)) << error;
    const std::vector<double>& p = placed[i].second;  // distance, tilt, tilt axis, spin, x, y
    simPoseLookAt(p[0], p[1], p[2], p[3], p[4], p[5], markers[i].pose);
    markers[i].width = 80;
    markers[i].interior = &pictures[i];
  }
  SimRenderer renderer(s.camera, 640, 480);
  s.frame.assign(640 * 480 * 4, 0);
  s.truth.resize(placed.size());
  renderer.render(SimBackground{}, markers.data(), static_cast<int>(markers.size()), SimEffects{}, s.frame.data(),
                  s.truth.data());
  return s;
}

class TrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each case starts with no remembered markers and an empty pattern store.
    arResetMarkerHistory();
    arResetPatternStore();
    table_ = {};
    table_.entries[0] = row("Data/patterns/hook.patt", 10, -5, 80, 1.0f);
    table_.entries[1] = row("Data/patterns/rocket.patt", 0, 0, 80, 2.0f);
    table_.count = 2;
    state_ = {};
    for (int i = 0; i < table_.count; i++) {
      state_.bindings[i].patternId = arReadPatternFile(table_.entries[i].patternFile);
      state_.bindings[i].entry = &table_.entries[i];
      ASSERT_GE(state_.bindings[i].patternId, 0);
    }
    visible_.clear();
  }
  void detect(Scene& s) {
    ASSERT_EQ(arFindMarkers(s.frame.data(), kDetectionThreshold, &state_.markers, &state_.markerCount), 0);
  }
  MarkerTable table_;
  TrackerState state_;
  std::vector<VisibleMarker> visible_;
};

// Two copies of one marker, a marker of another row, and a marker no row uses (ring, correlating
// at most 0.26 with the two loaded ones).
TEST_F(TrackerTest, MatchesDetectionsToRowsInDetectionOrder) {
  Scene s = render({{"rocket", {500, 10, 0, 0, -120, -60}},
                    {"hook", {550, 15, 90, 30, 110, -50}},
                    {"rocket", {600, 20, 45, 200, 100, 90}},
                    {"ring", {520, 5, 0, 90, -110, 80}}});
  detect(s);
  ASSERT_EQ(state_.markerCount, 4);
  EXPECT_TRUE(updateVisibleMarkers(state_, table_, &visible_));
  EXPECT_TRUE(state_.anyVisible);
  const std::vector<VisibleMarker>& visible = visible_;
  ASSERT_EQ(visible.size(), 3u);

  std::vector<int> expectedRows;
  for (int i = 0; i < state_.markerCount; i++) {
    if (state_.markers[i].id == state_.bindings[0].patternId) expectedRows.push_back(0);
    if (state_.markers[i].id == state_.bindings[1].patternId) expectedRows.push_back(1);
  }
  ASSERT_EQ(expectedRows.size(), 3u);
  for (size_t k = 0; k < 3; k++) {
    EXPECT_EQ(visible[k].entryIndex, expectedRows[k]);
    EXPECT_EQ(visible[k].scale, table_.entries[expectedRows[k]].scale);
  }
  int rocketCopies = 0;
  for (const VisibleMarker& v : visible) rocketCopies += v.entryIndex == 1;
  EXPECT_EQ(rocketCopies, 2);
}

// The row's centre and width reach the pose: the hook row's centre (10, -5) moves the translation
// by -(10 * column 0 - 5 * column 1) against the true pose of the marker's own centre.
TEST_F(TrackerTest, EachRowsCentreAndWidthReachThePose) {
  Scene s = render({{"hook", {500, 0, 0, 0, 0, 0}}});
  detect(s);
  ASSERT_TRUE(updateVisibleMarkers(state_, table_, &visible_));
  const VisibleMarker& v = visible_.at(0);
  EXPECT_EQ(v.entryIndex, 0);
  const double(&t)[3][4] = s.truth[0].pose;
  for (int r = 0; r < 3; r++) {
    const double expected = t[r][3] - (10 * t[r][0] - 5 * t[r][1]);
    EXPECT_NEAR(v.transform[r][3], expected, 0.02 * 500) << r;
    for (int c = 0; c < 3; c++) EXPECT_NEAR(v.transform[r][c], t[r][c], 0.05) << r << c;
  }

  // Half the width: the same picture is taken to be half as far away.
  table_.entries[0].width = 40;
  ASSERT_TRUE(updateVisibleMarkers(state_, table_, &visible_));
  EXPECT_NEAR(visible_.at(0).transform[2][3], 250, 0.02 * 250);
}

TEST_F(TrackerTest, UnidentifiedAndUnknownMarkersAreSkipped) {
  Scene s = render({{"ring", {500, 10, 0, 0, 0, 0}}});
  detect(s);
  ASSERT_EQ(state_.markerCount, 1);
  visible_.push_back(VisibleMarker{});
  EXPECT_FALSE(updateVisibleMarkers(state_, table_, &visible_));
  EXPECT_FALSE(state_.anyVisible);
  EXPECT_TRUE(visible_.empty());

  DetectedMarker unidentified = state_.markers[0];
  unidentified.id = -1;
  state_.markers = &unidentified;
  EXPECT_FALSE(updateVisibleMarkers(state_, table_, &visible_));
}

// A matched marker whose pose cannot be started is left out, never drawn with an unset transform.
TEST_F(TrackerTest, MarkerWithoutPoseIsSkippedForTheFrame) {
  DetectedMarker degenerate = {};
  degenerate.id = state_.bindings[1].patternId;
  degenerate.dir = 0;
  degenerate.cf = 0.9;
  state_.markers = &degenerate;
  state_.markerCount = 1;
  EXPECT_FALSE(updateVisibleMarkers(state_, table_, &visible_));
  EXPECT_FALSE(state_.anyVisible);
  EXPECT_TRUE(visible_.empty());
}

TEST(StartTracking, RowsNamingTheSamePatternFileGetTheirOwnIds) {
  // The video source here is the shipped configuration; without a camera it is the demo scene.
  MarkerTable table = {};
  table.entries[0] = row("Data/patterns/moon.patt", 0, 0, 80, 1);
  table.entries[1] = row("Data/patterns/moon.patt", 0, 0, 80, 1);
  table.count = 2;
  TrackerState& state = trackerState();
  StartFailure failure;
  int failedRow;
  testing::internal::CaptureStdout();
  const bool ok = startTracking(state, table, &failure, &failedRow);
  const std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(ok) << static_cast<int>(failure);
  EXPECT_NE(state.bindings[0].patternId, state.bindings[1].patternId);
  EXPECT_EQ(state.bindings[1].entry, &table.entries[1]);
  EXPECT_NE(printed.find("SIZE = "), std::string::npos);
  EXPECT_EQ(arFrameWidth, state.camera.xsize);
  arVideoClose();  // the next case opens the video again
}

TEST(StartTracking, AMissingPatternFileNamesItsLineOfTheTable) {
  MarkerTable table = {};
  table.entries[0] = row("Data/patterns/moon.patt", 0, 0, 80, 1);
  table.entries[1] = row("Data/patterns/no-such.patt", 0, 0, 80, 1);
  table.entries[2] = row("Data/patterns/ring.patt", 0, 0, 80, 1);
  table.count = 3;
  StartFailure failure;
  int failedRow;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(startTracking(trackerState(), table, &failure, &failedRow));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(failure, StartFailure::PatternFile);
  EXPECT_EQ(failedRow, 1);
  testing::internal::CaptureStderr();
  reportStartFailure(failure, failedRow, table);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Data/patterns/no-such.patt"), std::string::npos) << err;
  EXPECT_NE(err.find("named on line 3 of Data/markerdata.mkd"), std::string::npos) << "row 2 follows the header" << err;
}

TEST(IdlePacing, NineteenMillisecondsDoNothingTwentyGrab) {
  // No video is open here, so a due tick grabs nothing; what counts is whether it tried.
  ASSERT_EQ(lastTickMs(), 0);
  EXPECT_FALSE(idleTickDue(19, 0));
  EXPECT_TRUE(idleTickDue(20, 0));
  EXPECT_TRUE(idleTickDue(1000, 980));
  EXPECT_FALSE(idleTickDue(999, 980));
  EXPECT_FALSE(idleTick(19));
  EXPECT_EQ(lastTickMs(), 0);
  idleTick(20);
  EXPECT_EQ(lastTickMs(), 20);
}

// When a frame cannot be taken the previous frame's visible list and flag stay for the display.
TEST(IdlePacing, VisibleListIsKeptWhenNoFrameArrives) {
  sceneState().visible.assign(2, VisibleMarker{});
  trackerState().anyVisible = true;
  EXPECT_FALSE(idleTick(100));  // no video: grabFrame finds no frame
  EXPECT_EQ(sceneState().visible.size(), 2u);
  EXPECT_TRUE(trackerState().anyVisible);
  EXPECT_EQ(trackerState().frame, nullptr);
}

TEST(UserScale, ArrowKeysInSinglePrecisionWithAFloor) {
  SceneState scene{};
  scene.userScale = 1.0f;
  lowerUserScale(scene);
  EXPECT_EQ(scene.userScale, 1.0f - 0.1f);
  for (int i = 0; i < 30; i++) {
    lowerUserScale(scene);
    EXPECT_GE(scene.userScale, 0.1f);
  }
  EXPECT_EQ(scene.userScale, 0.1f);
  resetUserScale(scene);
  EXPECT_EQ(scene.userScale, 1.0f);
  raiseUserScale(scene);
  EXPECT_EQ(scene.userScale, 1.1f);
  const float rowScale = 2.0f;
  EXPECT_EQ(rowScale * scene.userScale, 2.0f * 1.1f);
  for (int i = 0; i < 100; i++) raiseUserScale(scene);
  EXPECT_GT(scene.userScale, 10.0f);  // no upper limit
}

}  // namespace
