// Finding the interior picture in an image of a marker and resampling pictures.
#pragma once

#include <string>

#include "sim/sim_image.h"

enum class MarkerImageKind {
  Auto,         // a marker border is looked for; without one the image is the interior
  WholeMarker,  // the image shows the marker with its border (a white margin around it is fine)
  Interior,     // the image is the interior picture alone
};

// Where the interior picture lies in image coordinates (pixel i spans i .. i + 1).
struct MarkerInterior {
  // The interior's corners as the upright picture's top-left, top-right, bottom-right and
  // bottom-left: the central half of the marker square, or the image's own corners.
  double corners[4][2] = {};
  bool wholeMarker = false;   // true when the picture was found inside a black border
  double turnDegrees = 0;     // how far the marker is turned in the image, -45 .. 45, clockwise
};

// Locates the interior. A marker is found with the project's own detection (threshold halfway
// between the darkest and brightest grey of the image, a pinhole camera of the image's size) at
// any rotation and in perspective; it counts as a marker border when the band a quarter of the
// side wide inside its outline is dark all round. Of several, the largest is taken; its upright
// top-left is the corner nearest the image's top-left direction. false with *cause set when kind
// is WholeMarker and no border is found, or the image is empty.
bool findMarkerInterior(const SimImage& image, MarkerImageKind kind, MarkerInterior* out,
                        std::string* cause);

// The interior resampled to a width x height RGB picture: a box average for an upright
// rectangle, else the mean of a grid of samples per output pixel through the perspective map.
SimImage sampleInterior(const SimImage& image, const MarkerInterior& interior, int width, int height);

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
