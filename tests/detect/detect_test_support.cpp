#include "detect_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tests/test_files.h"
#include "camera/camera_param.h"
#include "detect/pattern.h"

TestFrame::TestFrame(int width, int height, uint8_t grey)
    : width_(width), height_(height), bgra_(static_cast<size_t>(width) * height * 4, grey) {
  for (size_t i = 3; i < bgra_.size(); i += 4) bgra_[i] = 255;
}

void TestFrame::set(int x, int y, uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha) {
  uint8_t* p = &bgra_[(static_cast<size_t>(y) * width_ + x) * 4];
  p[0] = blue, p[1] = green, p[2] = red, p[3] = alpha;
}

void TestFrame::fillRect(int x0, int y0, int x1, int y1, uint8_t grey) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) setGrey(x, y, grey);
}

void TestFrame::fillPolygon(const std::vector<Point2>& c, uint8_t grey) {
  const size_t n = c.size();
  double area = 0;
  for (size_t i = 0; i < n; i++) area += c[i][0] * c[(i + 1) % n][1] - c[(i + 1) % n][0] * c[i][1];
  for (int y = 0; y < height_; y++)
    for (int x = 0; x < width_; x++) {
      bool inside = true;
      for (size_t i = 0; i < n && inside; i++) {
        const Point2 &a = c[i], &b = c[(i + 1) % n];
        inside = (area > 0 ? 1 : -1) * ((b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0])) >= 0;
      }
      if (inside) setGrey(x, y, grey);
    }
}

void TestFrame::drawMarker(int x, int y, int cell, const std::vector<uint8_t>& picture) {
  fillRect(x, y, x + 32 * cell - 1, y + 32 * cell - 1);
  for (int i = 0; i < 256; i++) {
    const int left = x + (8 + i % 16) * cell, top = y + (8 + i / 16) * cell;
    fillRect(left, top, left + cell - 1, top + cell - 1, picture[i]);
  }
}

void useTestCamera(int width, int height) {
  CameraParam c = {};
  c.xsize = width, c.ysize = height;
  c.projection[0][0] = c.projection[1][1] = 500;
  c.projection[0][2] = c.distortion[0] = width / 2.0;
  c.projection[1][2] = c.distortion[1] = height / 2.0;
  c.projection[2][2] = c.distortion[3] = 1.0;
  arCameraParamSetCurrent(&c);
}

std::vector<uint8_t> asymmetricPicture() {
  std::vector<uint8_t> p(256, 230);
  for (int r = 2; r < 14; r++)
    for (int c = 2; c < 14; c++) p[r * 16 + c] = c < 6 || (r >= 10 && c < 12) ? 20 : r < 4 && c >= 10 ? 60 : 230;  // an L, a dot
  return p;
}

std::vector<uint8_t> rotateCounterClockwise(const std::vector<uint8_t>& picture) {
  std::vector<uint8_t> out(256);
  for (int r = 0; r < 16; r++)
    for (int s = 0; s < 16; s++) out[r * 16 + s] = picture[s * 16 + (15 - r)];
  return out;
}

std::string patternFileText(const std::vector<uint8_t>& picture) {
  std::ostringstream text;
  std::vector<uint8_t> block = picture;
  for (int o = 0; o < 4; o++, block = rotateCounterClockwise(block))
    for (int c = 0; c < 3; c++)
      for (int i = 0; i < 256; i++) text << static_cast<int>(block[i]) << (i % 16 == 15 ? "\n" : " ");
  return text.str();
}

int loadPatternText(const std::string& text, std::string* printed) {
  static TempDir dir;
  static int files = 0;
  const std::string path = dir.file("p" + std::to_string(files++) + ".patt");
  writeText(path, text);
  testing::internal::CaptureStdout();
  const int id = arReadPatternFile(path.c_str());
  const std::string out = testing::internal::GetCapturedStdout();
  if (printed) *printed = out;
  return id;
}

std::vector<Point2> squareCorners(double cx, double cy, double side, double angleDeg) {
  const double c = std::cos(angleDeg * M_PI / 180), s = std::sin(angleDeg * M_PI / 180), h = side / 2;
  const double model[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
  std::vector<Point2> out(4);
  for (int k = 0; k < 4; k++) out[k] = {cx + c * model[k][0] - s * model[k][1], cy + s * model[k][0] + c * model[k][1]};
  return out;
}
