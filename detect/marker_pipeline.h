// The per-frame entry of marker detection.
#pragma once

#include <cstdint>

#include "detect/contours.h"
#include "detect/detected_marker.h"

constexpr int32_t kArMaxMarkers = 30;          // records in the static marker list
constexpr int32_t kArMaxRegionArea = 100000;   // pixels; larger dark regions are not markers
constexpr int32_t kArMinRegionArea = 70;       // pixels; smaller ones are noise
constexpr double kArSquareFactor = 1.0;        // straightness factor of the square check

// Finds the square markers of a BGRA frame of arFrameWidth x arFrameHeight (rows top to
// bottom), dark where blue + green + red <= 3 * threshold; corners in ideal pixels of
// arCurrentCamera, clockwise on screen. Sets *count to 0 first, then *markers to the static
// list (valid until the next call) and *count to its length; returns 0. Returns -1 with no
// markers, leaving the history untouched, when frame is null (no frame ready), when it has
// more than 32768 separate dark spots, or when it is larger than the label image (1,048,576
// pixels; one line then goes to stderr and the frame is not read).
int arFindMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count);

// One record per candidate whose edge lines could be fitted, in candidate order: area, centre,
// lines and vertices, and the identification of its interior. Writes at most kArMaxMarkers
// records to markers and their number to *markerCount. Returns 0.
int arMeasureMarkers(const uint8_t* frame, const SquareCandidate* candidates, int32_t candidateCount,
                     DetectedMarker* markers, int32_t* markerCount);
