// The tracking driver: turns the newest camera frame into the list of markers to draw.
#pragma once

#include <cstdint>
#include <vector>

#include "app/marker_table.h"
#include "camera/camera_param.h"
#include "detect/detected_marker.h"
#include "detect/detector_options.h"

struct BackgroundSettings;

constexpr int kMaxPatternBindings = 256;
constexpr int kDetectionThreshold = 100;  // default brightness threshold on the 0..255 scale
constexpr int kNoFrameSleepMs = 2;        // sleep when the video has no new frame

// The video library's configuration, passed as it stands; the video layer reads backslashes as
// folder separators.
constexpr const char* kVideoConfigFile = "Data\\WDM_camera_flipV.xml";
constexpr const char* kCameraParamFile = "Data/camera_para.dat";

// The pattern id of a row left out at start-up (its marker width is not a positive number): it
// matches no detection, identified or not.
constexpr int32_t kRowLeftOut = -2;

// One marker-table row's pattern id.
struct PatternBinding {
  int32_t patternId;    // slot returned by arReadPatternFile for the row's pattern file; -1 if it failed
  const MarkerEntry* entry;  // the row itself; points into the process-wide marker table
};

// One matched detection of the current frame, ready to draw.
struct VisibleMarker {
  int32_t entryIndex;         // marker-table row; also the scene's model slot
  double transform[3][4];     // marker-to-camera transform from pose estimation, row-major
  float scale;                // copy of the row's scale
};

struct TrackerState {
  CameraParam camera;              // camera rescaled to the video size; 640 x 480 until start-up
  uint8_t* frame;                  // newest BGRA frame, owned by the video layer; null once released
  DetectedMarker* markers;         // detection result of the current frame, owned by detection
  int32_t markerCount;             // records at markers
  PatternBinding bindings[kMaxPatternBindings];  // element i belongs to table row i
  bool anyVisible;                 // the last update appended at least one VisibleMarker
  BackgroundSettings* background;  // video-background state, created after the window exists
  ArDetectorOptions detector;      // how frames are split into dark and light: command line and keys
  ArDetectionStats detection;      // what detection did with the last frame
};

// The process-wide tracker state, created on first use.
TrackerState& trackerState();

// Which start-up step failed, so that the caller can say so.
enum class StartFailure { None, Video, VideoSize, CameraFile, CameraValues, PatternFile };

// Opens the video, reads the camera parameters, checks that they can serve, rescales them
// (printing them) and makes them current, then loads one pattern file per table row in order. A
// row whose marker width is not a positive finite number is left out (its pattern id is
// kRowLeftOut) with one line on standard error. On failure returns false and names the failing
// step in *failure (and the row in *failedRow for a pattern file). The video is not closed on
// failure.
bool startTracking(TrackerState& state, const MarkerTable& table, StartFailure* failure, int* failedRow);

// One line on standard error naming the failed start-up step.
void reportStartFailure(StartFailure failure, int failedRow, const MarkerTable& table);

// Takes the newest frame and detects markers in it with state.detector's settings. True when a
// new frame was taken and detection succeeded; with no new frame, sleeps 2 ms, releases with
// arVideoCapNext and returns false (state.frame is then null). A frame that could not be tracked
// stays in state.frame to be drawn; the first frame with each kind of problem is reported on
// standard error, later ones are not.
bool grabFrame(TrackerState& state);

// One line on standard error when the video's aspect ratio differs by more than 1 % from the
// camera file's, whose parameters are rescaled by the width ratio alone. True when it printed.
bool warnIfAspectDiffers(const CameraParam& file, int videoWidth, int videoHeight);

// Refills *visible (the scene's visible list) from state.markers: one VisibleMarker per detection
// whose id matches a row's pattern id and whose pose could be estimated, in detection order.
// Returns anyVisible.
bool updateVisibleMarkers(TrackerState& state, const MarkerTable& table, std::vector<VisibleMarker>* visible);
