#include "detect_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "../test_files.h"
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

void TestFrame::drawMarker(const std::array<Point2, 4>& q, const std::vector<uint8_t>& picture) {
  // Unit square -> quad in closed form, then inverted (adjugate) to map pixels back.
  const double x0 = q[0][0], y0 = q[0][1], x1 = q[1][0], y1 = q[1][1];
  const double x2 = q[2][0], y2 = q[2][1], x3 = q[3][0], y3 = q[3][1];
  const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
  const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
  const double det = dx1 * dy2 - dx2 * dy1;
  const double g = (sx * dy2 - dx2 * sy) / det, h = (dx1 * sy - sx * dy1) / det;
  const double a = x1 - x0 + g * x1, b = x3 - x0 + h * x3, c = x0, d = y1 - y0 + g * y1, e = y3 - y0 + h * y3, f = y0;
  const double inv[9] = {e - f * h, c * h - b, b * f - c * e, f * g - d, a - c * g, c * d - a * f,
                         d * h - e * g, b * g - a * h, a * e - b * d};
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const Point2& p : q) {
    minX = std::min(minX, p[0]), maxX = std::max(maxX, p[0]);
    minY = std::min(minY, p[1]), maxY = std::max(maxY, p[1]);
  }
  // 4 x 4 sub-samples per pixel keep edges straight enough for the line fit.
  for (int y = std::max(0, static_cast<int>(minY) - 1); y <= std::min(height_ - 1, static_cast<int>(maxY) + 1); y++)
    for (int x = std::max(0, static_cast<int>(minX) - 1); x <= std::min(width_ - 1, static_cast<int>(maxX) + 1); x++) {
      int covered = 0, sum = 0;
      for (int s = 0; s < 16; s++) {
        const double px = x - 0.5 + (s % 4 + 0.5) / 4, py = y - 0.5 + (s / 4 + 0.5) / 4;
        const double w = inv[6] * px + inv[7] * py + inv[8];
        const double u = (inv[0] * px + inv[1] * py + inv[2]) / w, v = (inv[3] * px + inv[4] * py + inv[5]) / w;
        if (u < 0 || u >= 1 || v < 0 || v >= 1) continue;
        covered++;
        if (u >= 0.25 && u < 0.75 && v >= 0.25 && v < 0.75)
          sum += picture[std::min(15, static_cast<int>((v - 0.25) * 32)) * 16 + std::min(15, static_cast<int>((u - 0.25) * 32))];
      }
      if (covered) setGrey(x, y, static_cast<uint8_t>((sum + bgra_[(static_cast<size_t>(y) * width_ + x) * 4] * (16 - covered)) / 16));
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

std::vector<uint8_t> asymmetricPicture(int variant) {
  std::vector<uint8_t> p(256, 230);
  for (int r = 2; r < 14; r++)
    for (int c = 2; c < 12; c++)
      if (c < 6 || r >= 10) p[r * 16 + c] = 20;  // an L
  const int dot = 2 + 3 * (variant % 4);
  for (int r = dot; r < dot + 2; r++)
    for (int c = 10; c < 14; c++) p[r * 16 + c] = 60;
  return p;
}

std::vector<uint8_t> stripesPicture() {
  std::vector<uint8_t> p(256);
  for (int i = 0; i < 256; i++) p[i] = ((i % 16) / 2) % 2 ? 20 : 235;
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

std::array<Point2, 4> squareCorners(double cx, double cy, double side, double angleDeg) {
  const double c = std::cos(angleDeg * M_PI / 180), s = std::sin(angleDeg * M_PI / 180), h = side / 2;
  const double model[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
  std::array<Point2, 4> out;
  for (int k = 0; k < 4; k++) out[k] = {cx + c * model[k][0] - s * model[k][1], cy + s * model[k][0] + c * model[k][1]};
  return out;
}
