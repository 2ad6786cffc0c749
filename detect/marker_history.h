// A short memory across frames that steadies marker identities and bridges markers missed for
// one or two frames.
#pragma once

#include <cstdint>

#include "detect/detected_marker.h"

constexpr int32_t kArMaxHistoryEntries = 90;
constexpr int32_t kArHistoryAgeLimit = 4;  // an entry is dropped when its age reaches this
constexpr double kArConfidenceFloor = 0.5;  // markers below it are reported with id -1

struct MarkerHistoryEntry {
  DetectedMarker marker;  // the marker as last seen with this id
  int32_t age;            // frames since it was last refreshed; 1 when fresh
};

// Remembered markers, unique by id; static, carried from frame to frame, starts empty.
struct MarkerHistory {
  MarkerHistoryEntry entries[kArMaxHistoryEntries];
  int32_t count;
};

// Runs the memory on this frame's list markers[0 .. *count - 1], which has room for capacity
// records: a weak marker near a remembered, more confident one takes over its id and confidence
// (its dir re-derived from the best corner correspondence); markers with cf below 0.5 get id
// -1; identified markers refresh the memory; remembered markers with no current marker near
// them are appended to the list while it has room. Entries not refreshed for 3 frames go.
void arUpdateMarkerHistory(DetectedMarker* markers, int32_t* count, int32_t capacity);

// Empties the memory (arResetMarkerHistory also resets what the Auto threshold mode learnt).
void arClearMarkerHistory();
