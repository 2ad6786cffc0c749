#include "detect/marker_history.h"

#include "detect/detection.h"
#include "detect/marker_history_internal.h"

namespace {

constexpr double kMinAreaRatio = 0.7;
constexpr double kMaxAreaRatio = 1.43;
constexpr double kMaxNormalisedDistance = 0.5;  // squared centre distance / current area
constexpr double kInitialBestVertexDistance = 1e8;

MarkerHistory gHistory = {};

// Squared centre distance of h from m divided by m's area, when the two are of similar size and
// close enough to be the same marker; a negative value otherwise.
double nearness(const DetectedMarker& h, const DetectedMarker& m) {
  const double ratio = static_cast<double>(h.area) / m.area;
  if (ratio < kMinAreaRatio || ratio > kMaxAreaRatio) return -1.0;
  const double dx = m.pos[0] - h.pos[0];
  const double dy = m.pos[1] - h.pos[1];
  const double d = (dx * dx + dy * dy) / m.area;
  return d < kMaxNormalisedDistance ? d : -1.0;
}

// The dir of m that puts m's corners on the model corners h's corners stand for: the cyclic
// shift of m's vertices closest to h's. -1 when no shift comes near (or h has no dir).
int32_t carriedDirection(const DetectedMarker& h, const DetectedMarker& m) {
  if (h.dir < 0) return -1;
  double best = kInitialBestVertexDistance;
  int32_t dir = -1;
  for (int j = 0; j < 4; j++) {
    double sum = 0.0;
    for (int k = 0; k < 4; k++) {
      const double dx = h.vertex[k][0] - m.vertex[(k + j) % 4][0];
      const double dy = h.vertex[k][1] - m.vertex[(k + j) % 4][1];
      sum += dx * dx + dy * dy;
    }
    if (sum < best) {
      best = sum;
      dir = (h.dir - j + 4) % 4;
    }
  }
  return dir;
}

void inheritConfidence(DetectedMarker* markers, int32_t count) {
  for (int32_t e = 0; e < gHistory.count; e++) {
    const DetectedMarker& h = gHistory.entries[e].marker;
    int32_t nearest = -1;
    double nearestDistance = 0.0;
    for (int32_t i = 0; i < count; i++) {
      const double d = nearness(h, markers[i]);
      if (d >= 0.0 && (nearest < 0 || d < nearestDistance)) {
        nearest = i;
        nearestDistance = d;
      }
    }
    if (nearest < 0) continue;
    DetectedMarker& m = markers[nearest];
    if (h.cf > m.cf) {
      m.cf = h.cf;
      m.id = h.id;
      m.dir = carriedDirection(h, m);
    }
  }
}

void applyConfidenceFloor(DetectedMarker* markers, int32_t count) {
  for (int32_t i = 0; i < count; i++)
    if (markers[i].cf < kArConfidenceFloor) markers[i].id = -1;
}

void ageEntries() {
  int32_t kept = 0;
  for (int32_t e = 0; e < gHistory.count; e++) {
    MarkerHistoryEntry entry = gHistory.entries[e];
    entry.age++;
    if (entry.age >= kArHistoryAgeLimit) continue;
    gHistory.entries[kept++] = entry;
  }
  gHistory.count = kept;
}

void refreshEntries(const DetectedMarker* markers, int32_t count) {
  for (int32_t i = 0; i < count; i++) {
    if (markers[i].id < 0) continue;
    int32_t e = 0;
    while (e < gHistory.count && gHistory.entries[e].marker.id != markers[i].id) e++;
    if (e == gHistory.count) {
      if (gHistory.count == kArMaxHistoryEntries) continue;
      gHistory.count++;
    }
    gHistory.entries[e].marker = markers[i];
    gHistory.entries[e].age = 1;
  }
}

void recallMissing(DetectedMarker* markers, int32_t* count, int32_t capacity) {
  for (int32_t e = 0; e < gHistory.count && *count < capacity; e++) {
    const DetectedMarker& h = gHistory.entries[e].marker;
    bool seen = false;
    for (int32_t i = 0; i < *count && !seen; i++) seen = nearness(h, markers[i]) >= 0.0;
    if (!seen) markers[(*count)++] = h;
  }
}

}  // namespace

void arUpdateMarkerHistory(DetectedMarker* markers, int32_t* count, int32_t capacity) {
  inheritConfidence(markers, *count);
  applyConfidenceFloor(markers, *count);
  ageEntries();
  refreshEntries(markers, *count);
  recallMissing(markers, count, capacity);
}

const MarkerHistory* arMarkerHistoryView() { return &gHistory; }

void arClearMarkerHistory() { gHistory.count = 0; }
