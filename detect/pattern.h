// Pattern files and the store of loaded patterns, and the correlation that identifies a sampled
// marker interior against them.
//
// A pattern file holds 3072 decimal integers: 4 orientation blocks, each 3 colour planes (blue,
// green, red) of 16 rows of 16 brightness values (0 black .. 255 white). Block o is the upright
// interior picture turned o quarter turns counter-clockwise as displayed.
#pragma once

#include <cstdint>

constexpr int32_t kArMaxPatterns = 50;     // store slots; a pattern id is its slot number
constexpr int32_t kArPatternSize = 16;     // cells per side of the interior grid
constexpr int32_t kArPatternValues = 768;  // 16 x 16 cells x 3 channels, channel innermost

// Every loaded pattern in its four orientations; static for the whole run, filled lowest slot
// first at start-up and never freed.
struct PatternStore {
  int32_t patternCount;                 // -1 until the first load; then loaded patterns
  int32_t slotState[kArMaxPatterns];    // 0 free, 1 loaded
  // Inverted (255 - value), mean-removed cell values; element (row * 16 + column) * 3 + channel.
  int32_t templates[kArMaxPatterns][4][kArPatternValues];
  double norm[kArMaxPatterns][4];       // Euclidean norm of each template; 1e-7 for a flat one
};

// Loads a pattern file into the lowest free slot and returns the slot id (0 .. 49), or -1:
// prints "\"<file>\" not found!!\n" when it cannot be opened, "Pattern Data read error!!\n"
// when it holds fewer than 3072 integers or a value beyond +-65536 (the slot stays free), and
// nothing when all 50 slots are taken. Anything after the 3072nd number is ignored.
int arReadPatternFile(const char* filename);

// Correlates a sampled 16 x 16 x 3 grid (same layout as a template, not inverted) with every
// orientation of every loaded pattern. Sets the best id, orientation (dir) and confidence
// (normalised correlation, -1 .. 1); the first pair wins a tie. No positive correlation gives
// -1, -1, 0.0; a uniform grid gives 0, 0, -1.0. Returns 0.
int arMatchPattern(const uint8_t grid[kArPatternValues], int32_t* id, int32_t* dir, double* cf);
