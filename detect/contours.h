// Square candidates: dark regions of plausible size, away from the frame border, whose outer
// contour is made of four nearly straight sides.
#pragma once

#include <cstdint>

#include "detect/labeling.h"

constexpr int32_t kArMaxContourPoints = 10000;  // per candidate, closing point included
constexpr int32_t kArMaxSquareCandidates = 30;  // per frame, unless a caller asks for more

// One candidate of the current frame; the list is process-wide and rewritten by every frame.
struct SquareCandidate {
  int32_t area;                            // pixels of the region (labelArea); 0 marks a removed one
  double centre[2];                        // region centroid x, y in observed frame pixels
  int32_t pointCount;                      // contour points stored, closing point included
  int32_t contourX[kArMaxContourPoints];   // frame pixel x of each contour point
  int32_t contourY[kArMaxContourPoints];   // frame pixel y
  // Contour indices of the corners: [0] is 0, [1] .. [3] the other corners in contour order
  // (clockwise on screen), [4] = pointCount - 1, the closing point that repeats point 0.
  int32_t cornerIndex[5];
};

// Turns the regions of labels into square candidates: area within [minArea, maxArea], not
// touching the inner border ring, contour traced and split into four sides (factor scales the
// straightness threshold), smaller candidates centred inside larger ones removed. Returns the
// candidate array; *count gets 0 .. maxCount. Once maxCount candidates are accepted the list is
// full; when beyondLimit is given, the remaining regions are still traced and checked (silently)
// and *beyondLimit gets the number that would have been accepted. Contour failures print their
// diagnostic and skip the region. maxCount is cut to the room arReserveSquareCandidates made.
SquareCandidate* arFindSquares(const LabelSet* labels, int32_t maxArea, int32_t minArea, double factor,
                               int32_t* count, int32_t maxCount = kArMaxSquareCandidates,
                               int32_t* beyondLimit = nullptr);

// Makes room for at least n candidates (kArMaxSquareCandidates at start); the list only grows.
// false when memory runs out (the room stays as it was).
bool arReserveSquareCandidates(int32_t n);

// Traces the outer contour of final label `label` clockwise on screen, starting at its topmost,
// then leftmost pixel, and rotates it so that point 0 is the contour point farthest from that
// start; the closing copy of point 0 is appended. clip is the region's labelClip. 0, or -1 after
// printing "??? 1\n" (no start pixel), "??? 2\n" (isolated point) or "??? 3\n" (too long).
int arTraceContour(const LabelSet* labels, int32_t label, const int32_t clip[4], SquareCandidate* candidate);
