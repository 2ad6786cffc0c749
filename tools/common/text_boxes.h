// Text as filled rectangles in a small blocky face, for captions and labels drawn into pictures.
#pragma once

#include <string>
#include <vector>

struct TextBox {
  double x0, y0, x1, y1;   // pixels; x0 < x1, y0 < y1
};

// The rectangles of text with its top-left corner at (x, y) and capitals height pixels tall.
// Characters outside printable ASCII are drawn as '?'.
std::vector<TextBox> textBoxes(const std::string& text, double x, double y, double height);

// Width in pixels of text drawn height pixels tall.
double textWidth(const std::string& text, double height);
