#include "app/tracker.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "detect/detection.h"
#include "pose/pose.h"
#include "video/video.h"
#include "video/video_config.h"

namespace {

// Why the camera file's record cannot serve, from the last startTracking; null when it can.
const char* gCameraProblem = nullptr;

bool transformIsFinite(const double t[3][4]) {
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++)
      if (!std::isfinite(t[r][c])) return false;
  return true;
}

}  // namespace

TrackerState& trackerState() {
  static TrackerState state = [] {
    TrackerState s = {};
    s.camera.xsize = 640;
    s.camera.ysize = 480;
    return s;
  }();
  return state;
}

bool startTracking(TrackerState& state, const MarkerTable& table, StartFailure* failure, int* failedRow) {
  *failure = StartFailure::None;
  *failedRow = -1;
  int width = 0;
  int height = 0;
  CameraParam stored;
  if (arVideoOpen(kVideoConfigFile) < 0) {
    // The demo source cannot open without the camera file either; name the file, not the source.
    *failure = arCameraParamRead(kCameraParamFile, 1, &stored) < 0 ? StartFailure::CameraFile : StartFailure::Video;
    return false;
  }
  if (arVideoInqSize(&width, &height) < 0) {
    *failure = StartFailure::VideoSize;
    return false;
  }
  if (arCameraParamRead(kCameraParamFile, 1, &stored) < 0) {
    *failure = StartFailure::CameraFile;
    return false;
  }
  gCameraProblem = arCameraParamProblem(&stored);
  if (gCameraProblem != nullptr) {
    *failure = StartFailure::CameraValues;
    return false;
  }
  warnIfAspectDiffers(stored, width, height);
  arCameraParamResize(&stored, width, height, &state.camera);
  arCameraParamPrint(&state.camera);
  arCameraParamSetCurrent(&state.camera);

  for (int i = 0; i < table.count; i++) {
    const float width = table.entries[i].width;
    state.bindings[i].entry = &table.entries[i];
    if (!(std::isfinite(width) && width > 0.0f)) {
      // The table's first line is its header, so row i is on line i + 2.
      std::fprintf(stderr, "arviewer: %s:%d: the marker width %g is not a positive number; the row is left out\n",
                   kMarkerTableFile, i + 2, static_cast<double>(width));
      state.bindings[i].patternId = kRowLeftOut;
      continue;
    }
    const int id = arReadPatternFile(table.entries[i].patternFile);
    state.bindings[i].patternId = id;
    if (id < 0) {
      *failure = StartFailure::PatternFile;
      *failedRow = i;
      return false;
    }
  }
  return true;
}

void reportStartFailure(StartFailure failure, int failedRow, const MarkerTable& table) {
  switch (failure) {
    case StartFailure::None:
      return;
    case StartFailure::Video:
      std::fprintf(stderr, "arviewer: cannot open the video source configured in %s\n",
                   arVideoConfigPath(kVideoConfigFile).c_str());
      return;
    case StartFailure::VideoSize:
      std::fprintf(stderr, "arviewer: the video source configured in %s reports no frame size\n",
                   arVideoConfigPath(kVideoConfigFile).c_str());
      return;
    case StartFailure::CameraFile:
      std::fprintf(stderr, "arviewer: cannot read the camera parameter file %s (missing, unreadable or shorter than %d bytes)\n",
                   kCameraParamFile, kCameraParamFileRecordSize);
      return;
    case StartFailure::CameraValues:
      std::fprintf(stderr, "arviewer: the camera parameter file %s cannot be used: %s\n", kCameraParamFile,
                   gCameraProblem != nullptr ? gCameraProblem : "its values are not usable");
      return;
    case StartFailure::PatternFile:
      // Row i is on line i + 2 of the file: line 1 is the header.
      std::fprintf(stderr, "arviewer: cannot load the pattern file \"%s\" named on line %d of %s\n",
                   table.entries[failedRow].patternFile, failedRow + 2, kMarkerTableFile);
      return;
  }
}

bool grabFrame(TrackerState& state) {
  state.markers = nullptr;
  state.frame = nullptr;
  state.frame = arVideoGetImage();
  if (!state.frame) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kNoFrameSleepMs));
    arVideoCapNext();
    return false;
  }
  if (arDetectMarkers(state.frame, state.detector.settings, &state.markers, &state.markerCount, &state.detection) >= 0)
    return true;
  static bool reported[static_cast<int>(ArDetectionProblem::TooManyRegions) + 1] = {};
  bool& once = reported[static_cast<int>(state.detection.problem)];
  if (!once) {
    std::fprintf(stderr, "arviewer: a %d x %d frame could not be tracked: %s; it is still shown (later frames "
                 "with this problem are not reported)\n",
                 state.camera.xsize, state.camera.ysize, arDetectionProblemText(state.detection.problem));
    once = true;
  }
  return false;
}

bool warnIfAspectDiffers(const CameraParam& file, int videoWidth, int videoHeight) {
  if (file.xsize <= 0 || file.ysize <= 0 || videoWidth <= 0 || videoHeight <= 0) return false;
  const double ratio = (static_cast<double>(videoWidth) / videoHeight) / (static_cast<double>(file.xsize) / file.ysize);
  if (std::fabs(ratio - 1.0) <= 0.01) return false;
  std::fprintf(stderr, "arviewer: the video is %d x %d but the camera file %s is for %d x %d, another aspect "
               "ratio; its parameters are rescaled by the width alone, so poses will be wrong (write a camera "
               "file for this size)\n",
               videoWidth, videoHeight, kCameraParamFile, file.xsize, file.ysize);
  return true;
}

bool updateVisibleMarkers(TrackerState& state, const MarkerTable& table, std::vector<VisibleMarker>* visible) {
  visible->clear();
  state.anyVisible = false;
  for (int i = 0; i < state.markerCount; i++) {
    const DetectedMarker& marker = state.markers[i];
    int row = -1;
    for (int j = 0; j < table.count; j++) {
      if (state.bindings[j].patternId == marker.id) {
        row = j;
        break;
      }
    }
    if (row < 0) continue;  // unidentified, or a pattern no row uses

    const MarkerEntry& entry = table.entries[row];
    const double center[2] = {entry.centerX, entry.centerY};
    VisibleMarker v;
    v.entryIndex = row;
    v.scale = entry.scale;
    // A marker whose pose cannot be started (or that degenerates into non-finite numbers) has no
    // transform to draw with: skip it this frame.
    const double width = static_cast<double>(entry.width);
    const double err = state.detector.refine ? arMarkerPoseRefined(&marker, center, width, v.transform, nullptr)
                                        : arMarkerPose(&marker, center, width, v.transform);
    if (err < 0.0) continue;
    if (!transformIsFinite(v.transform)) continue;
    visible->push_back(v);
    state.anyVisible = true;
  }
  return state.anyVisible;
}
