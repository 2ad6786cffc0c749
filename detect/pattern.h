// Pattern files and the store of loaded patterns, and the correlation that identifies a sampled
// marker interior against them.
#pragma once

#include <cstdint>

#include "detect/detection.h"

constexpr int32_t kArMaxPatterns = 50;     // store slots; a pattern id is its slot number

// Every loaded pattern in its four orientations; static for the whole run, filled lowest slot
// first at start-up and never freed.
struct PatternStore {
  int32_t patternCount;                 // -1 until the first load; then loaded patterns
  int32_t slotState[kArMaxPatterns];    // 0 free, 1 loaded
  // Inverted (255 - value), mean-removed cell values; element (row * 16 + column) * 3 + channel.
  int32_t templates[kArMaxPatterns][4][kArPatternBlockValues];
  double norm[kArMaxPatterns][4];       // Euclidean norm of each template; 1e-7 for a flat one
};

// Correlates a sampled 16 x 16 x 3 grid (same layout as a template, not inverted) with every
// orientation of every loaded pattern. Sets the best id, orientation (dir) and confidence
// (normalised correlation, -1 .. 1); the first pair wins a tie. No positive correlation gives
// -1, -1, 0.0; a uniform grid gives 0, 0, -1.0. Returns 0.
int arMatchPattern(const uint8_t grid[kArPatternBlockValues], int32_t* id, int32_t* dir, double* cf);
