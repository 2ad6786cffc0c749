// Hand-built frames, pictures and pattern files for the detection tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Point2 = std::array<double, 2>;

// A BGRA frame with alpha 255, rows top to bottom.
class TestFrame {
 public:
  TestFrame(int width, int height, uint8_t grey = 200);
  int width() const { return width_; }
  int height() const { return height_; }
  const uint8_t* data() const { return bgra_.data(); }
  void set(int x, int y, uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha = 255);
  void setGrey(int x, int y, uint8_t grey) { set(x, y, grey, grey, grey); }
  void fillRect(int x0, int y0, int x1, int y1, uint8_t grey = 0);  // inclusive corners
  // Pixels whose centre lies inside the convex polygon (any winding).
  void fillPolygon(const std::vector<Point2>& corners, uint8_t grey = 0);
  // An upright marker of 32 x 32 cells of `cell` pixels from pixel (x, y): a black border of 8
  // cells around the 16 x 16 picture.
  void drawMarker(int x, int y, int cell, const std::vector<uint8_t>& picture);

 private:
  int width_, height_;
  std::vector<uint8_t> bgra_;
};

// Pinhole camera of this size (focal length 500, centred, no distortion) made current.
void useTestCamera(int width, int height);
// A 16 x 16 picture without rotational symmetry.
std::vector<uint8_t> asymmetricPicture();
// One quarter turn counter-clockwise as displayed.
std::vector<uint8_t> rotateCounterClockwise(const std::vector<uint8_t>& picture);
// Pattern file text: block o is the picture turned o quarter turns counter-clockwise.
std::string patternFileText(const std::vector<uint8_t>& picture);
// Writes text to a fresh file and loads it; *printed gets what the loader printed.
int loadPatternText(const std::string& text, std::string* printed = nullptr);
// Corners of a square centred at (cx, cy) turned angleDeg clockwise on screen, top-left first.
std::vector<Point2> squareCorners(double cx, double cy, double side, double angleDeg);
