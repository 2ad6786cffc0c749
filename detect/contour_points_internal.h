// Small geometry on traced contour points, shared by the tracer and the square check.
#pragma once

#include <cstdint>

// Index of the contour point among first .. last farthest from point 0 (squared integer
// distance; the first of equal maxima wins; 0 when no point is apart from point 0).
inline int32_t arFarthestFromStart(const int32_t* x, const int32_t* y, int32_t first, int32_t last) {
  int32_t best = 0;
  int32_t bestD2 = 0;
  for (int32_t i = first; i <= last; i++) {
    const int32_t dx = x[i] - x[0];
    const int32_t dy = y[i] - y[0];
    const int32_t d2 = dx * dx + dy * dy;
    if (d2 > bestD2) {
      bestD2 = d2;
      best = i;
    }
  }
  return best;
}
