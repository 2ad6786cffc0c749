// Splitting a closed contour into four nearly straight sides.
#pragma once

#include <cstdint>

#include "detect/contours.h"

// Fills candidate->cornerIndex from its contour when the contour splits into exactly four sides.
// The straightness threshold is area / 75 * factor squared pixels. 0, or -1 (not a square).
int arFitSquare(int32_t area, double factor, SquareCandidate* candidate);

// Recursively splits the contour span [start, end] at the point farthest from the chord while
// its squared distance exceeds threshold, appending split indices to list in contour order and
// raising *count. -1 when a seventh split point would be needed (list needs room for 6).
int arSplitAtFarthest(const int32_t* x, const int32_t* y, int32_t start, int32_t end, double threshold,
                      int32_t* list, int32_t* count);
