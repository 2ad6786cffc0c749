// The tracking driver on the demo scene's first frame (the real detector and pose estimation),
// its pacing and the user scale.
#include "app/tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/scene.h"
#include "app/viewer_shell.h"
#include "detect/detection.h"
#include "pose/pose.h"
#include "video/demo_scene.h"

namespace {

// Rows for hook, off centre, and rocket; flag, moon and ring are in the frame but in no row.
TEST(Tracker, MatchesMarkersToRowsWithTheRowsCentreWidthAndScale) {
  DemoScene scene;
  std::string error;
  ASSERT_TRUE(scene.load(DemoSceneSettings(), &error)) << error;
  std::vector<uint8_t> frame(640 * 480 * 4);
  scene.render(0, frame.data());
  arCameraParamSetCurrent(&scene.camera());
  arResetPatternStore();
  arResetMarkerHistory();
  MarkerTable table = {2, {{"", "", 1, "Data/patterns/hook.patt", 10, -5, 80}, {"", "", 2, "Data/patterns/rocket.patt", 0, 0, 80}}};
  TrackerState state = {};
  for (int i = 0; i < 2; i++) state.bindings[i] = {arReadPatternFile(table.entries[i].patternFile), &table.entries[i]};
  ASSERT_EQ(arFindMarkers(frame.data(), kDetectionThreshold, &state.markers, &state.markerCount), 0);
  ASSERT_EQ(state.markerCount, 5);
  const DetectedMarker* hookMarker = std::find_if(state.markers, state.markers + 5, [&state](const DetectedMarker& m) {
    return m.id == state.bindings[0].patternId;
  });
  std::vector<VisibleMarker> visible(3);  // the previous frame's list is replaced
  EXPECT_TRUE(updateVisibleMarkers(state, table, &visible));
  ASSERT_EQ(visible.size(), 2u);
  EXPECT_EQ(visible[0].entryIndex + visible[1].entryIndex, 1);
  for (const VisibleMarker& v : visible) EXPECT_EQ(v.scale, v.entryIndex + 1.0f);

  // Against the hook's pose about its own centre at width 80, the row's pose is moved by
  // -(10 * column 0 - 5 * column 1) for its centre; at width 40 the same picture is taken to be
  // half as far away. Either way it turns as the marker does.
  double own[3][4];
  const double origin[2] = {0, 0};
  ASSERT_GE(arMarkerPose(hookMarker, origin, 80, own), 0);
  const std::vector<DemoSceneMarker> placed = scene.markersAt(0);  // patterns in name order: flag, hook, ...
  const double(&truth)[3][4] = placed[1].pose;
  for (float width : {80.0f, 40.0f}) {
    table.entries[0].width = width;
    ASSERT_TRUE(updateVisibleMarkers(state, table, &visible));
    const double(&m)[3][4] = visible[visible[0].entryIndex == 0 ? 0 : 1].transform;
    for (int r = 0; r < 3; r++) {
      EXPECT_NEAR(m[r][3], own[r][3] * width / 80 - (10 * own[r][0] - 5 * own[r][1]), 0.1) << r << " at " << width;
      for (int c = 0; c < 3; c++) EXPECT_NEAR(m[r][c], truth[r][c], 0.05) << r << c;
    }
  }

  // --refine: the rows' poses come from the refined estimator, which turns far closer to the truth.
  table.entries[0].width = 80;
  double errorDeg[2];
  for (bool refine : {false, true}) {
    arSetRefinement(&state.detector, refine);
    ASSERT_TRUE(updateVisibleMarkers(state, table, &visible));
    const double(&m)[3][4] = visible[visible[0].entryIndex == 0 ? 0 : 1].transform;
    double trace = 0;
    for (int r = 0; r < 3; r++)
      for (int c = 0; c < 3; c++) trace += m[r][c] * truth[r][c];
    errorDeg[refine] = std::acos(std::fmin(1.0, (trace - 1) / 2)) * 180 / M_PI;
  }
  EXPECT_LT(errorDeg[1], errorDeg[0] / 2) << errorDeg[0];
  arSetRefinement(&state.detector, false);

  // Copies of a marker are each drawn; unidentified markers and those whose pose cannot be
  // started are left out.
  DetectedMarker list[4] = {*hookMarker, *hookMarker, {}, *hookMarker};
  list[1].id = -1;
  list[2].id = state.bindings[1].patternId, list[2].cf = 0.9;
  state.markers = list, state.markerCount = 4;
  EXPECT_TRUE(updateVisibleMarkers(state, table, &visible));
  EXPECT_EQ(visible.size(), 2u);
  state.markers = &list[1], state.markerCount = 2;
  EXPECT_FALSE(updateVisibleMarkers(state, table, &visible));
  EXPECT_FALSE(state.anyVisible);
  EXPECT_TRUE(visible.empty());
}

// No video is open here: a due tick tries to grab a frame, finds none and keeps the last list.
TEST(Tracker, IdleTicksComeTwentyMillisecondsApartAndKeepTheListWithoutAFrame) {
  for (auto [now, last, due] : {std::tuple{19, 0, false}, {20, 0, true}, {999, 980, false}, {1000, 980, true}})
    EXPECT_EQ(idleTickDue(now, last), due) << now << " " << last;
  sceneState().visible.assign(2, VisibleMarker{});
  trackerState().anyVisible = true;
  EXPECT_FALSE(idleTick(19));
  EXPECT_EQ(lastTickMs(), 0);
  EXPECT_FALSE(idleTick(20));
  EXPECT_EQ(lastTickMs(), 20);
  EXPECT_EQ(sceneState().visible.size(), 2u);
  EXPECT_TRUE(trackerState().anyVisible);
}

TEST(Tracker, UserScaleStepsByATenthDownToATenth) {
  SceneState scene{};
  resetUserScale(scene);
  raiseUserScale(scene);
  EXPECT_EQ(scene.userScale, 1.1f);
  float lowest = 1;
  for (int i = 0; i < 30; i++) lowerUserScale(scene), lowest = std::min(lowest, scene.userScale);
  EXPECT_EQ(lowest, 0.1f);
}

}  // namespace
