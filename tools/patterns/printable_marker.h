// Printable markers: the interior picture inside its black border on white paper, at a given
// physical size.
#pragma once

#include <string>

#include "sim/sim_image.h"

struct PrintOptions {
  double sizeMm = 80;     // side of the marker, border included
  double dpi = 300;       // print resolution, pixels per inch
  double marginMm = 10;   // white margin on every side
  std::string caption;    // drawn in the bottom margin when not empty and the margin allows
};

// Checks the options; false with *cause naming the bad value.
bool checkPrintOptions(const PrintOptions& options, std::string* cause);

// Pixels for a length in millimetres at the options' resolution.
int printPixels(double mm, double dpi);

// The printable marker as an RGB picture: margin, border (a quarter of the side on every edge)
// and the interior resampled by box filtering into the central half. *captionDrawn tells
// whether the caption fitted. false with *cause set for bad options.
bool makePrintableMarker(const SimImage& interior, const PrintOptions& options, SimImage* out,
                         bool* captionDrawn, std::string* cause);

// The same marker as SVG with exact millimetre sizes, from an upright 16 x 16 picture (one
// square per cell). Empty string for a picture of another size.
std::string printableMarkerSvg(const SimImage& picture16, const PrintOptions& options);
