// Sub-pixel marker corners from straight lines fitted to the four sides of a contour.
#pragma once

#include <cstdint>

// Fits line i (a x + b y + c = 0, (a, b) a unit normal) to the contour points between corner
// indices [i] and [i + 1], leaving out about 5 % of the side at each end, after converting them
// from observed to ideal pixels with `distortion`. vertex i is where line i - 1 (line 3 for
// i = 0) meets line i, in ideal pixels. 0, or -1 when a side has too few points, the principal
// axis analysis fails or two adjacent lines are parallel (line and vertex then hold partial
// results). The work matrices are created and released within the call.
int arFitEdgeLines(const int32_t* contourX, const int32_t* contourY, const int32_t cornerIndex[5],
                   const double distortion[4], double line[4][3], double vertex[4][2]);
