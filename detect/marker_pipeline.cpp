#include "detect/marker_pipeline.h"

#include <cstdio>

#include "camera/camera_param.h"
#include "camera/distortion.h"
#include "detect/corner_refinement.h"
#include "detect/edge_lines.h"
#include "detect/labeling.h"
#include "detect/marker_history.h"
#include "detect/pattern_sampling.h"

namespace {

DetectedMarker gMarkers[kArMaxMarkers];

bool frameFitsLabelImage() {
  const int64_t cells = static_cast<int64_t>(arFrameWidth) * arFrameHeight;
  if (arFrameWidth >= 0 && arFrameHeight >= 0 && cells <= kArLabelImageCells) return true;
  std::fprintf(stderr, "arFindMarkers: frame of %d x %d pixels is larger than the %d-pixel label image; frame skipped\n",
               arFrameWidth, arFrameHeight, kArLabelImageCells);
  return false;
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
                     DetectedMarker* markers, int32_t* markerCount, const ArDetectorSettings& settings) {
  int32_t n = 0;
  for (int32_t i = 0; i < candidateCount && n < kArMaxMarkers; i++) {
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

int arFindMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count) {
  ArDetectorSettings settings;
  settings.threshold = threshold;
  return arDetectMarkers(frame, settings, markers, count);
}

int arDetectMarkers(const uint8_t* frame, const ArDetectorSettings& settings, DetectedMarker** markers, int* count) {
  *count = 0;
  *markers = gMarkers;
  if (!frame || !frameFitsLabelImage()) return -1;
  const LabelSet* labels = arLabelImage(frame, settings.threshold);
  if (!labels) return -1;

  int32_t candidateCount = 0;
  const SquareCandidate* candidates =
      arFindSquares(labels, kArMaxRegionArea, kArMinRegionArea, kArSquareFactor, &candidateCount);
  int32_t markerCount = 0;
  arMeasureMarkers(frame, candidates, candidateCount, gMarkers, &markerCount, settings);
  arUpdateMarkerHistory(gMarkers, &markerCount, kArMaxMarkers);

  *count = markerCount;
  return 0;
}
