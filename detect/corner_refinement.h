// Sub-pixel corners: each side of a detected square moved onto the edge the frame shows.
//
// The line fit through contour pixels leaves every side on the centres of the outermost dark
// pixels, about half a pixel inside the true edge. This stage samples short brightness profiles
// across each side in the observed frame, locates the dark-to-light edge on each at sub-pixel
// precision, takes the edge points to ideal pixels and fits the side line to them; the corners
// are the intersections of adjacent lines.
#pragma once

#include <cstdint>

// What the refinement of one marker did. Shifts are in ideal pixels.
struct ArCornerRefinement {
  bool sideRefined[4];    // true: line i was fitted to its edge; false: it kept its starting line
  int32_t edgePoints[4];  // edge points line i was fitted to; 0 for a side that kept its line
  double cornerShift[4];  // distance from each starting corner to its refined corner
  double maxCornerShift;  // the largest of cornerShift
};

// Refines the edge lines and corners of one dark square with a light surround in a BGRA frame of
// width x height pixels. line[4] and vertex[4] are the starting estimate in ideal pixels, in the
// layout of DetectedMarker (line i runs from vertex i to vertex i + 1; vertex i is where line
// i - 1 meets line i), and receive the result; distortion is the camera's lens model. A side
// keeps its starting line when too few of its profiles lie inside the frame or show a clear edge,
// or when its fit would move it implausibly far. Returns the number of refined sides (0 .. 4);
// when the refined lines would not meet in four corners, every line and corner is left as it was
// and 0 is returned. report may be null. Allocates nothing.
int32_t arRefineCorners(const uint8_t* frame, int32_t width, int32_t height, const double distortion[4],
                        double line[4][3], double vertex[4][2], ArCornerRefinement* report);

// Where a dark-to-light edge lies along one profile of count brightness samples taken step
// apart (sample 0 on the dark side): the distance from sample 0, found from the area between
// the profile and its dark level, which is exact for a straight edge seen through any symmetric
// blur or pixel footprint. The dark and light levels are the means of the two samples at each
// end. -1 when count < 5 or the light level is not at least minContrast above the dark one.
double arLocateEdge(const float* samples, int32_t count, double step, double minContrast);
