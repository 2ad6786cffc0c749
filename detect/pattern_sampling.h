// Sampling a square candidate's interior from the frame through a plane-to-image mapping, and
// identifying it against the pattern store.
#pragma once

#include <cstdint>

#include "detect/pattern.h"

// The projective mapping that takes plane[k] to image[k], k = 0 .. 3, as h[0 .. 8] row-major
// with h[8] = 1: x = (h0 u + h1 v + h2) / w, y = (h3 u + h4 v + h5) / w, w = h6 u + h7 v + 1.
// 0, or -1 when the points are degenerate (singular system) or memory runs out.
int arSolveHomography(const double plane[4][2], const double image[4][2], double h[9]);

// Averages the frame's BGR bytes over the central half of the quadrilateral whose corners are
// contour points cornerIndex[0 .. 3] (observed pixels, no distortion correction) into a
// 16 x 16 x 3 grid; columns run from corner 0 towards corner 1, rows towards corner 3. 16, 32
// or 64 samples per axis, by edge length; samples outside the frame add nothing. 0, or -1 when
// the mapping cannot be built or a sample has projective weight exactly 0.
int arSamplePattern(const uint8_t* frame, const int32_t* contourX, const int32_t* contourY,
                    const int32_t cornerIndex[5], uint8_t grid[kArPatternBlockValues]);

// Samples and matches one candidate. A failed sampling reports it unidentified (id -1, dir -1,
// cf -1.0) and returns -1; otherwise the result of arMatchPattern and 0.
int arIdentifyPattern(const uint8_t* frame, const int32_t* contourX, const int32_t* contourY,
                      const int32_t cornerIndex[5], int32_t* id, int32_t* dir, double* cf);

// The interior of the quadrilateral with corners[0 .. 3] (observed pixels, in the order of
// cornerIndex above) sampled for refined identification: each sample takes the pixel nearest to
// its position (rounded, where arSamplePattern truncates, which moves every sample half a pixel
// up and left on average), through the unit square mapped onto the corners in closed form, which
// stays well conditioned for steep views. Same grid layout and density otherwise; -1 when the
// corners are degenerate.
int arSampleInterior(const uint8_t* frame, const double corners[4][2], uint8_t grid[kArPatternBlockValues]);

// Samples with arSampleInterior and matches; the results of arIdentifyPattern.
int arIdentifyInterior(const uint8_t* frame, const double corners[4][2], int32_t* id, int32_t* dir, double* cf);
