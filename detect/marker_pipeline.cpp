#include "detect/marker_pipeline.h"

#include <algorithm>
#include <memory>
#include <new>

#include "camera/camera_param.h"
#include "camera/distortion.h"
#include "detect/auto_threshold.h"
#include "detect/corner_refinement.h"
#include "detect/edge_lines.h"
#include "detect/frame_levels.h"
#include "detect/labeling.h"
#include "detect/marker_history.h"
#include "detect/pattern_sampling.h"

namespace {

// The marker list: room for the largest candidate limit asked for so far (kArMaxMarkers at
// start); it grows between frames, never within one.
DetectedMarker gFirstMarkers[kArMaxMarkers];
std::unique_ptr<DetectedMarker[]> gGrownMarkers;
DetectedMarker* gMarkers = gFirstMarkers;
int32_t gMarkerRoom = kArMaxMarkers;

// In the Adaptive mode the black level is this low percentile of the frame's levels, but at most
// half its median, so that a frame with little black keeps its background light.
constexpr double kBlackPercentile = 0.001;

bool reserveMarkers(int32_t n) {
  if (n <= gMarkerRoom) return true;
  DetectedMarker* grown = new (std::nothrow) DetectedMarker[n];
  if (!grown) return false;
  gGrownMarkers.reset(grown);
  gMarkers = grown;
  gMarkerRoom = n;
  return true;
}

ArDetectionProblem problemOf(ArLabelFailure failure) {
  switch (failure) {
    case ArLabelFailure::FrameTooLarge: return ArDetectionProblem::FrameTooLarge;
    case ArLabelFailure::OutOfMemory: return ArDetectionProblem::OutOfMemory;
    case ArLabelFailure::TooManyLabels: return ArDetectionProblem::TooManyRegions;
    case ArLabelFailure::None: break;
  }
  return ArDetectionProblem::None;
}

// The frame's black level on the blue + green + red scale, for the Adaptive mode.
int blackSumOf(const uint8_t* frame) {
  ArLevelHistogram histogram;
  arSampleLevels(frame, arFrameWidth, arFrameHeight, &histogram);
  const int black = std::min(arLevelPercentile(histogram, kBlackPercentile), arLevelPercentile(histogram, 0.5) / 2);
  return 3 * black;
}

const LabelSet* labelFrame(const uint8_t* frame, const ArDetectorSettings& settings, ArDetectionStats* stats) {
  ArLabelFailure failure = ArLabelFailure::None;
  const LabelSet* labels = nullptr;
  // Checked before any mode reads the frame; labelling itself checks the same for its callers.
  if (arFrameWidth < 0 || arFrameHeight < 0 || static_cast<int64_t>(arFrameWidth) * arFrameHeight > kArMaxFramePixels) {
    stats->problem = ArDetectionProblem::FrameTooLarge;
    stats->threshold = -1;
    return nullptr;
  }
  switch (settings.thresholdMode) {
    case ArThresholdMode::Fixed:
      stats->threshold = settings.threshold;
      labels = arLabelImage(frame, settings.threshold, &failure);
      break;
    case ArThresholdMode::Auto:
      stats->threshold = arAutoThresholdChoose(frame);
      labels = arLabelImage(frame, stats->threshold, &failure);
      if (!labels) arAutoThresholdLearn(frame, stats->threshold, nullptr, 0);
      break;
    case ArThresholdMode::Adaptive:
      labels = arLabelImageAdaptive(frame, settings.adaptiveRadius, settings.adaptiveLevel, blackSumOf(frame), &failure);
      break;
  }
  stats->problem = problemOf(failure);
  if (!labels) stats->threshold = -1;
  return labels;
}

// Squares beyond the candidate limit are traced and counted only when the caller reads the count.
int detectFrame(const uint8_t* frame, const ArDetectorSettings& settings, DetectedMarker** markers, int* count,
                ArDetectionStats* stats, bool countBeyondLimit) {
  *count = 0;
  *markers = gMarkers;
  *stats = ArDetectionStats();
  if (!frame) {
    stats->problem = ArDetectionProblem::NoFrame;
    return -1;
  }
  if (!arReserveSquareCandidates(settings.maxCandidates) || !reserveMarkers(settings.maxCandidates)) {
    stats->problem = ArDetectionProblem::OutOfMemory;
    return -1;
  }
  *markers = gMarkers;
  const LabelSet* labels = labelFrame(frame, settings, stats);
  if (!labels) return -1;

  int32_t candidateCount = 0;
  const SquareCandidate* candidates =
      arFindSquares(labels, kArMaxRegionArea, kArMinRegionArea, kArSquareFactor, &candidateCount,
                    settings.maxCandidates, countBeyondLimit ? &stats->candidatesBeyondLimit : nullptr);
  int32_t markerCount = 0;
  arMeasureMarkers(frame, candidates, candidateCount, gMarkers, &markerCount, settings.maxCandidates, settings);
  if (settings.thresholdMode == ArThresholdMode::Auto)
    arAutoThresholdLearn(frame, stats->threshold, gMarkers, markerCount);
  arUpdateMarkerHistory(gMarkers, &markerCount, settings.maxCandidates);

  stats->candidates = candidateCount;
  *count = markerCount;
  return 0;
}

// Identifies the interior bounded by the marker's corners, taken back to observed pixels.
void identifyAtVertices(const uint8_t* frame, DetectedMarker& m) {
  double corners[4][2];
  for (int k = 0; k < 4; k++)
    arIdealToObserved(arCurrentCamera.distortion, m.vertex[k][0], m.vertex[k][1], &corners[k][0], &corners[k][1]);
  arIdentifyInterior(frame, corners, &m.id, &m.dir, &m.cf);
}

}  // namespace

int arMeasureMarkers(const uint8_t* frame, const SquareCandidate* candidates, int32_t candidateCount,
                     DetectedMarker* markers, int32_t* markerCount, int32_t capacity,
                     const ArDetectorSettings& settings) {
  int32_t n = 0;
  for (int32_t i = 0; i < candidateCount && n < capacity; i++) {
    const SquareCandidate& c = candidates[i];
    DetectedMarker& m = markers[n];
    m.area = c.area;
    m.pos[0] = c.centre[0];
    m.pos[1] = c.centre[1];
    if (arFitEdgeLines(c.contourX, c.contourY, c.cornerIndex, arCurrentCamera.distortion, m.line, m.vertex) < 0)
      continue;
    if (settings.refineCorners)
      arRefineCorners(frame, arFrameWidth, arFrameHeight, arCurrentCamera.distortion, m.line, m.vertex, nullptr);
    if (settings.refineIdentification)
      identifyAtVertices(frame, m);
    else
      arIdentifyPattern(frame, c.contourX, c.contourY, c.cornerIndex, &m.id, &m.dir, &m.cf);
    n++;
  }
  *markerCount = n;
  return 0;
}

const char* arDetectorSettingsProblem(const ArDetectorSettings& s) {
  if (s.thresholdMode != ArThresholdMode::Fixed && s.thresholdMode != ArThresholdMode::Auto &&
      s.thresholdMode != ArThresholdMode::Adaptive)
    return "the threshold mode is not fixed, auto or adaptive";
  if (s.threshold < 0 || s.threshold > 255) return "the threshold is outside 0 .. 255";
  if (s.adaptiveRadius < 1 || s.adaptiveRadius > kArMaxAdaptiveRadius) return "the adaptive radius is outside 1 .. 100";
  if (s.adaptiveLevel < 1 || s.adaptiveLevel > 99) return "the adaptive level is outside 1 .. 99";
  if (s.maxCandidates < 1 || s.maxCandidates > kArMaxCandidatesLimit) return "the candidate limit is outside 1 .. 1024";
  return nullptr;
}

int arFindMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count) {
  // Any threshold is taken as it stands (below 0 nothing is dark, above 255 everything is).
  ArDetectorSettings settings;
  settings.threshold = threshold;
  ArDetectionStats stats;
  return detectFrame(frame, settings, markers, count, &stats, false);
}

int arDetectMarkers(const uint8_t* frame, const ArDetectorSettings& settings, DetectedMarker** markers, int* count,
                    ArDetectionStats* stats) {
  ArDetectionStats local;
  const bool countBeyondLimit = stats != nullptr;
  if (!stats) stats = &local;
  if (arDetectorSettingsProblem(settings)) {
    *count = 0;
    *markers = gMarkers;
    *stats = ArDetectionStats();
    stats->problem = ArDetectionProblem::InvalidSettings;
    return -1;
  }
  return detectFrame(frame, settings, markers, count, stats, countBeyondLimit);
}

const char* arDetectionProblemText(ArDetectionProblem problem) {
  switch (problem) {
    case ArDetectionProblem::None: return "";
    case ArDetectionProblem::NoFrame: return "no frame was given";
    case ArDetectionProblem::InvalidSettings: return "the detector settings are out of range";
    case ArDetectionProblem::FrameTooLarge: return "the frame is larger than 16777216 pixels (4096 x 4096)";
    case ArDetectionProblem::OutOfMemory: return "there is not enough memory for the frame's buffers";
    case ArDetectionProblem::TooManyRegions: return "the frame has more than 32768 separate dark spots";
  }
  return "";
}

void arResetMarkerHistory() {
  arClearMarkerHistory();
  arAutoThresholdReset();
}
