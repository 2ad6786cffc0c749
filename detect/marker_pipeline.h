// The per-frame pipeline of marker detection: the stages after labelling and square fitting.
#pragma once

#include <cstdint>

#include "detect/contours.h"
#include "detect/detection.h"

constexpr int32_t kArMaxRegionArea = 100000;   // pixels; larger dark regions are not markers
constexpr int32_t kArMinRegionArea = 70;       // pixels; smaller ones are noise
constexpr double kArSquareFactor = 1.0;        // straightness factor of the square check

// One record per candidate whose edge lines could be fitted, in candidate order: area, centre,
// lines and vertices, and the identification of its interior. Writes at most capacity records to
// markers and their number to *markerCount. settings say whether corners and identification are
// refined (no other field is used here). Returns 0.
int arMeasureMarkers(const uint8_t* frame, const SquareCandidate* candidates, int32_t candidateCount,
                     DetectedMarker* markers, int32_t* markerCount, int32_t capacity = kArMaxMarkers,
                     const ArDetectorSettings& settings = ArDetectorSettings());

// Why the settings cannot be used, as a short phrase naming the field and its range, or null
// when every field is within its range.
const char* arDetectorSettingsProblem(const ArDetectorSettings& settings);
