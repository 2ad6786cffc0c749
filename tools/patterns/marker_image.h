// Finding the interior picture in an image of a marker and resampling pictures.
#pragma once

#include <string>

#include "sim/sim_image.h"

enum class MarkerImageKind {
  Auto,         // a black square border is looked for; without one the image is the interior
  WholeMarker,  // the image shows the marker with its border (a white margin around it is fine)
  Interior,     // the image is the interior picture alone
};

// The interior picture's rectangle in image coordinates where pixel i spans i .. i + 1.
struct MarkerInterior {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool wholeMarker = false;  // true when the picture was found inside a black border
};

// Locates the interior. The border is the largest dark connected region; it counts as a marker
// border when its bounding box is square and the outer quarter of that box is dark all round.
// false with *cause set when kind is WholeMarker and no border is found, or the image is empty.
bool findMarkerInterior(const SimImage& image, MarkerImageKind kind, MarkerInterior* out,
                        std::string* cause);

// Box-filtered average RGB of the image over the rectangle (clipped to the image; alpha is
// composited over white). An empty rectangle gives white.
void averageRgb(const SimImage& image, double x0, double y0, double x1, double y1, double rgb[3]);

// The rectangle resampled to a width x height RGB picture by box filtering.
SimImage resampleRegion(const SimImage& image, double x0, double y0, double x1, double y1,
                        int width, int height);

// The upright 16 x 16 picture of a marker image: its interior found as above and averaged
// cell by cell. false with *cause set when there is no interior or it is of uniform colour
// (a pattern needs contrast to be told apart).
bool patternPictureFromImage(const SimImage& image, MarkerImageKind kind, SimImage* picture,
                             MarkerInterior* found, std::string* cause);
