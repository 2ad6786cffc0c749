#include "detect/marker_pipeline.h"

#include <cstdio>

#include "camera/camera_param.h"
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

}  // namespace

int arMeasureMarkers(const uint8_t* frame, const SquareCandidate* candidates, int32_t candidateCount,
                     DetectedMarker* markers, int32_t* markerCount) {
  int32_t n = 0;
  for (int32_t i = 0; i < candidateCount && n < kArMaxMarkers; i++) {
    const SquareCandidate& c = candidates[i];
    DetectedMarker& m = markers[n];
    m.area = c.area;
    m.pos[0] = c.centre[0];
    m.pos[1] = c.centre[1];
    if (arFitEdgeLines(c.contourX, c.contourY, c.cornerIndex, arCurrentCamera.distortion, m.line, m.vertex) < 0)
      continue;
    arIdentifyPattern(frame, c.contourX, c.contourY, c.cornerIndex, &m.id, &m.dir, &m.cf);
    n++;
  }
  *markerCount = n;
  return 0;
}

int arFindMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count) {
  *count = 0;
  *markers = gMarkers;
  if (!frame || !frameFitsLabelImage()) return -1;
  const LabelSet* labels = arLabelImage(frame, threshold);
  if (!labels) return -1;

  int32_t candidateCount = 0;
  const SquareCandidate* candidates =
      arFindSquares(labels, kArMaxRegionArea, kArMinRegionArea, kArSquareFactor, &candidateCount);
  int32_t markerCount = 0;
  arMeasureMarkers(frame, candidates, candidateCount, gMarkers, &markerCount);
  arUpdateMarkerHistory(gMarkers, &markerCount, kArMaxMarkers);

  *count = markerCount;
  return 0;
}

int arDetectMarkers(const uint8_t* frame, const ArDetectorSettings& settings, DetectedMarker** markers, int* count) {
  return arFindMarkers(frame, settings.threshold, markers, count);
}
