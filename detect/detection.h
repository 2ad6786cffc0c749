// Marker detection for callers: teach patterns, find the markers of each camera frame, start over.
//
// Frames are 8-bit BGRA, 4 bytes per pixel, rows top to bottom without gaps, of the current
// camera's size (arCameraParamSetCurrent in camera/camera_param.h sets it); corners come out in
// that camera's ideal (undistorted) pixels. Detection keeps its buffers, its pattern store and a
// short memory across frames in process-wide storage: one caller at a time, not thread-safe.
#pragma once

#include <cstdint>

#include "detect/detected_marker.h"
#include "detect/pattern_file.h"

constexpr int32_t kArMaxMarkers = 30;  // records in the marker list of one frame

// Loads a pattern file into the lowest free of the 50 store slots and returns the slot id, which
// is the id detected markers carry; -1 when the file is missing (prints "\"<file>\" not found!!"),
// unreadable as a pattern ("Pattern Data read error!!") or every slot is taken (nothing printed).
int arReadPatternFile(const char* filename);

// Finds the square markers of a frame, dark where blue + green + red <= 3 * threshold
// (threshold 0 .. 255). Sets *count to 0 first, then *markers to the detection's own list (valid
// until the next call) and *count to its length, 0 .. kArMaxMarkers; returns 0. Returns -1 with no
// markers, leaving the cross-frame memory untouched, when frame is null (no frame ready), when it
// has more than 32768 separate dark spots, or when it is larger than the label image (1,048,576
// pixels; one line then goes to stderr and the frame is not read).
int arFindMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count);

// How arDetectMarkers works on a frame. A default-constructed record gives exactly arFindMarkers
// with threshold 100.
struct ArDetectorSettings {
  int threshold = 100;  // 0 .. 255: dark where blue + green + red <= 3 * threshold
};

// arFindMarkers with the given settings; same results, ownership and failures.
int arDetectMarkers(const uint8_t* frame, const ArDetectorSettings& settings, DetectedMarker** markers, int* count);

// Forgets every loaded pattern: the next arReadPatternFile fills slot 0 again.
void arResetPatternStore();

// Forgets the markers remembered from earlier frames, as before the first frame.
void arResetMarkerHistory();
