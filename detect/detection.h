// Marker detection for callers: teach patterns, find the markers of each camera frame, start over.
//
// Frames are 8-bit BGRA, 4 bytes per pixel, rows top to bottom without gaps, of the current
// camera's size (arCameraParamSetCurrent in camera/camera_param.h sets it), up to
// kArMaxFramePixels pixels of any shape; corners come out in that camera's ideal (undistorted)
// pixels. Detection keeps its buffers, its pattern store and a short memory across frames in
// process-wide storage: one caller at a time, not thread-safe.
//
// detect/bgra_frame.h (included here) makes such frames from grey, RGB and RGBA pictures.
#pragma once

#include <cstdint>

#include "detect/bgra_frame.h"
#include "detect/detected_marker.h"
#include "detect/pattern_file.h"

constexpr int32_t kArMaxMarkers = 30;                  // default records in the marker list of one frame
constexpr int64_t kArMaxFramePixels = 4096 * 4096;     // largest frame, width * height
constexpr int32_t kArMaxCandidatesLimit = 1024;        // highest ArDetectorSettings::maxCandidates
constexpr int32_t kArMaxAdaptiveRadius = 100;          // highest ArDetectorSettings::adaptiveRadius

// Loads a pattern file into the lowest free of the 50 store slots and returns the slot id, which
// is the id detected markers carry; -1 when the file is missing (prints "\"<file>\" not found!!"),
// unreadable as a pattern ("Pattern Data read error!!") or every slot is taken (nothing printed).
int arReadPatternFile(const char* filename);

// Finds the square markers of a frame, dark where blue + green + red <= 3 * threshold
// (threshold 0 .. 255), with room for kArMaxMarkers candidates and records. Sets *count to 0
// first, then *markers to the detection's own list (valid until the next call) and *count to its
// length, 0 .. kArMaxMarkers; returns 0. Returns -1 with no markers, leaving the cross-frame
// memory untouched, when frame is null (no frame ready), when it has more than 32768 separate
// dark spots, or when it has more than kArMaxFramePixels pixels (it is then not read). Prints
// nothing about the frame; arDetectMarkers says why a frame failed.
int arFindMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count);

// How a frame is split into dark and light pixels before the dark regions are labelled.
enum class ArThresholdMode {
  Fixed,     // one global threshold, `threshold`, on every frame
  Auto,      // one global threshold per frame, chosen by a controller: halfway between the dark
             // border and the light surroundings measured on the markers identified in the last
             // frame (changed only when that moves by more than 8 levels, so a steady scene keeps
             // its value); with none identified, from the levels of the frame itself (a
             // three-class Otsu split first), trying the next of five such choices on each
             // following frame until markers are identified
  Adaptive,  // each pixel against the mean of its neighbourhood, for light that changes across
             // the frame (a gradient, a shadow edge): dark when at most adaptiveLevel percent of
             // the way from the frame's black level to the neighbourhood mean
};

// How arDetectMarkers works on a frame. A default-constructed record gives exactly arFindMarkers
// with threshold 100, bit for bit.
struct ArDetectorSettings {
  ArThresholdMode thresholdMode = ArThresholdMode::Fixed;
  int threshold = 100;       // Fixed mode: 0 .. 255, dark where blue + green + red <= 3 * threshold
  int adaptiveRadius = 15;   // Adaptive mode: pixels, 1 .. kArMaxAdaptiveRadius; the neighbourhood
                             // is the (2 radius + 1)-pixel square around a pixel (rows 2k and
                             // 2k + 1 share the one centred on row 2k), cut at the frame edges
  int adaptiveLevel = 50;    // Adaptive mode: percent, 1 .. 99; lower keeps only deeper darks (a
                             // shadow is not taken for dark while it keeps more than about
                             // level / (200 - level) of the light)
  int maxCandidates = 30;    // square candidates examined and marker records per frame,
                             // 1 .. kArMaxCandidatesLimit; regions after the list is full are
                             // only counted (ArDetectionStats::candidatesBeyondLimit)
  // true: after the line fit, every side is moved onto the edge the frame shows at sub-pixel
  // precision (corners unbiased to a few hundredths of a pixel on clean frames); a side that
  // cannot be refined (too near the frame border, no clear edge) keeps its fitted line.
  bool refineCorners = false;
  // true: interiors are sampled between the marker's corners (the refined ones with
  // refineCorners) at the nearest pixel through a well-conditioned mapping, which identifies
  // small, steeply tilted markers that the default sampling misses.
  bool refineIdentification = false;
};

// Why arDetectMarkers returned -1.
enum class ArDetectionProblem {
  None,
  NoFrame,          // the frame pointer was null
  InvalidSettings,  // a settings field is outside its range
  FrameTooLarge,    // more than kArMaxFramePixels pixels, or a size below 1 x 1
  OutOfMemory,      // the buffers for this frame size or candidate limit could not be allocated
  TooManyRegions,   // more than 32768 separate dark spots
};

// What arDetectMarkers did with the last frame.
struct ArDetectionStats {
  ArDetectionProblem problem = ArDetectionProblem::None;
  int threshold = -1;             // 0 .. 255: the global threshold the frame was split with
                                  // (Fixed and Auto modes); -1 in Adaptive mode or when not split
  int candidates = 0;             // square candidates examined (at most maxCandidates)
  int candidatesBeyondLimit = 0;  // further squares found after the candidate list was full;
                                  // above 0, a marker may have been missed for want of room
};

// Detects markers as arFindMarkers does, with the given settings: same ownership of the list
// (now of 0 .. settings.maxCandidates records), same cross-frame memory. Returns 0, or -1 with no
// markers and the cause in stats->problem. stats may be null; then squares beyond the candidate
// limit are not counted (nor traced).
int arDetectMarkers(const uint8_t* frame, const ArDetectorSettings& settings, DetectedMarker** markers, int* count,
                    ArDetectionStats* stats = nullptr);

// A short phrase for a problem, e.g. "the frame is larger than 16777216 pixels"; "" for None.
const char* arDetectionProblemText(ArDetectionProblem problem);

// Forgets every loaded pattern: the next arReadPatternFile fills slot 0 again.
void arResetPatternStore();

// Forgets the markers remembered from earlier frames and what the Auto mode learnt from them,
// as before the first frame.
void arResetMarkerHistory();
