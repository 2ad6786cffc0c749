// Hand-built camera frames for the detection tests: flat backgrounds, single pixels, filled
// polygons and simple markers drawn through a plane-to-image mapping.
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
  uint8_t* data() { return bgra_.data(); }

  void set(int x, int y, uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha = 255);
  void setGrey(int x, int y, uint8_t grey) { set(x, y, grey, grey, grey); }
  void fillRect(int x0, int y0, int x1, int y1, uint8_t grey);  // inclusive corners
  // Pixels whose centre lies inside the convex polygon (any winding) get grey.
  void fillPolygon(const std::vector<Point2>& corners, uint8_t grey);
  // A marker whose outer corners are the image points outer[0..3] (model corners top-left,
  // top-right, bottom-right, bottom-left of the upright marker): black border a quarter of the
  // side wide, and the 16 x 16 picture (grey values, row 0 on top) in the central half.
  void drawMarker(const std::array<Point2, 4>& outer, const std::vector<uint8_t>& picture);

 private:
  int width_, height_;
  std::vector<uint8_t> bgra_;
};

// Makes a pinhole camera of the given size current (focal length 500, principal point at the
// image centre, distortion coefficient as given: 0 means none).
void useTestCamera(int width, int height, double distortionCoefficient = 0.0);

// A 16 x 16 picture with no rotational symmetry: an L of dark cells and a bright field.
std::vector<uint8_t> asymmetricPicture(int variant = 0);

// Writes a pattern file for an upright 16 x 16 grey picture: block o is the picture turned o
// quarter turns counter-clockwise.
std::string patternFileText(const std::vector<uint8_t>& picture);
// Turns a 16 x 16 picture one quarter turn counter-clockwise (as displayed, y down).
std::vector<uint8_t> rotateCounterClockwise(const std::vector<uint8_t>& picture);

// Corners of a square of the given side centred at (cx, cy), turned by angle degrees
// clockwise on screen; corner 0 starts at the top-left.
std::array<Point2, 4> squareCorners(double cx, double cy, double side, double angleDeg);
