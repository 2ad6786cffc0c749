#include "detect_test_support.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "camera/camera_param.h"

TestFrame::TestFrame(int width, int height, uint8_t grey)
    : width_(width), height_(height), bgra_(static_cast<size_t>(width) * height * 4, grey) {
  for (size_t i = 3; i < bgra_.size(); i += 4) bgra_[i] = 255;
}

void TestFrame::set(int x, int y, uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha) {
  uint8_t* p = &bgra_[(static_cast<size_t>(y) * width_ + x) * 4];
  p[0] = blue;
  p[1] = green;
  p[2] = red;
  p[3] = alpha;
}

void TestFrame::fillRect(int x0, int y0, int x1, int y1, uint8_t grey) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) setGrey(x, y, grey);
}

void TestFrame::fillPolygon(const std::vector<Point2>& corners, uint8_t grey) {
  const size_t n = corners.size();
  double area = 0;
  for (size_t i = 0; i < n; i++) {
    const Point2& a = corners[i];
    const Point2& b = corners[(i + 1) % n];
    area += a[0] * b[1] - b[0] * a[1];
  }
  const double sign = area > 0 ? 1.0 : -1.0;
  for (int y = 0; y < height_; y++) {
    for (int x = 0; x < width_; x++) {
      bool inside = true;
      for (size_t i = 0; i < n && inside; i++) {
        const Point2& a = corners[i];
        const Point2& b = corners[(i + 1) % n];
        const double cross = (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0]);
        inside = sign * cross >= 0;
      }
      if (inside) setGrey(x, y, grey);
    }
  }
}

namespace {

// Solves the 3 x 3 homography taking the unit square's corners (0,0), (1,0), (1,1), (0,1) to
// the quad q, then returns its inverse (image -> unit square) in inv.
void unitSquareInverse(const std::array<Point2, 4>& q, double inv[9]) {
  // Closed form for the square-to-quad mapping.
  const double x0 = q[0][0], y0 = q[0][1], x1 = q[1][0], y1 = q[1][1];
  const double x2 = q[2][0], y2 = q[2][1], x3 = q[3][0], y3 = q[3][1];
  const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
  const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
  const double det = dx1 * dy2 - dx2 * dy1;
  const double g = (sx * dy2 - dx2 * sy) / det;
  const double h = (dx1 * sy - sx * dy1) / det;
  const double m[9] = {x1 - x0 + g * x1, x3 - x0 + h * x3, x0, y1 - y0 + g * y1, y3 - y0 + h * y3, y0, g, h, 1.0};
  const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], gg = m[6], hh = m[7], ii = m[8];
  inv[0] = e * ii - f * hh;
  inv[1] = c * hh - b * ii;
  inv[2] = b * f - c * e;
  inv[3] = f * gg - d * ii;
  inv[4] = a * ii - c * gg;
  inv[5] = c * d - a * f;
  inv[6] = d * hh - e * gg;
  inv[7] = b * gg - a * hh;
  inv[8] = a * e - b * d;
}

}  // namespace

void TestFrame::drawMarker(const std::array<Point2, 4>& outer, const std::vector<uint8_t>& picture) {
  double inv[9];
  unitSquareInverse(outer, inv);
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const Point2& p : outer) {
    minX = std::min(minX, p[0]);
    maxX = std::max(maxX, p[0]);
    minY = std::min(minY, p[1]);
    maxY = std::max(maxY, p[1]);
  }
  // Four sub-samples per pixel keep edges straight enough for the line fit.
  for (int y = std::max(0, static_cast<int>(minY) - 1); y <= std::min(height_ - 1, static_cast<int>(maxY) + 1); y++) {
    for (int x = std::max(0, static_cast<int>(minX) - 1); x <= std::min(width_ - 1, static_cast<int>(maxX) + 1); x++) {
      int covered = 0;
      int sum = 0;
      for (int sy = 0; sy < 4; sy++) {
        for (int sx = 0; sx < 4; sx++) {
          const double px = x - 0.5 + (sx + 0.5) / 4, py = y - 0.5 + (sy + 0.5) / 4;
          const double w = inv[6] * px + inv[7] * py + inv[8];
          const double u = (inv[0] * px + inv[1] * py + inv[2]) / w;
          const double v = (inv[3] * px + inv[4] * py + inv[5]) / w;
          if (u < 0 || u >= 1 || v < 0 || v >= 1) continue;
          covered++;
          if (u >= 0.25 && u < 0.75 && v >= 0.25 && v < 0.75) {
            const int col = std::min(15, static_cast<int>((u - 0.25) * 32));
            const int row = std::min(15, static_cast<int>((v - 0.25) * 32));
            sum += picture[row * 16 + col];
          }
        }
      }
      if (covered == 0) continue;
      const uint8_t* p = data() + (static_cast<size_t>(y) * width_ + x) * 4;
      const int background = p[0];
      const int value = (sum + background * (16 - covered)) / 16;
      setGrey(x, y, static_cast<uint8_t>(value));
    }
  }
}

void useTestCamera(int width, int height, double distortionCoefficient) {
  CameraParam c = {};
  c.xsize = width;
  c.ysize = height;
  const double cx = width / 2.0, cy = height / 2.0;
  const double p[3][4] = {{500, 0, cx, 0}, {0, 500, cy, 0}, {0, 0, 1, 0}};
  for (int r = 0; r < 3; r++)
    for (int k = 0; k < 4; k++) c.projection[r][k] = p[r][k];
  c.distortion[0] = cx;
  c.distortion[1] = cy;
  c.distortion[2] = distortionCoefficient;
  c.distortion[3] = 1.0;
  arCameraParamSetCurrent(&c);
}

std::vector<uint8_t> asymmetricPicture(int variant) {
  std::vector<uint8_t> p(256, 230);
  // An L: a bar down the left side and a foot along the bottom, plus a variant-dependent dot.
  for (int r = 2; r < 14; r++)
    for (int c = 2; c < 6; c++) p[r * 16 + c] = 20;
  for (int r = 10; r < 14; r++)
    for (int c = 2; c < 12; c++) p[r * 16 + c] = 20;
  const int dot = 2 + 3 * (variant % 4);
  for (int r = dot; r < dot + 2; r++)
    for (int c = 10; c < 14; c++) p[r * 16 + c] = 60;
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
  for (int o = 0; o < 4; o++) {
    for (int c = 0; c < 3; c++) {
      for (int r = 0; r < 16; r++) {
        for (int s = 0; s < 16; s++) text << static_cast<int>(block[r * 16 + s]) << (s == 15 ? "\n" : " ");
      }
    }
    text << "\n";
    block = rotateCounterClockwise(block);
  }
  return text.str();
}

std::array<Point2, 4> squareCorners(double cx, double cy, double side, double angleDeg) {
  const double a = angleDeg * M_PI / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  const double h = side / 2;
  const double model[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
  std::array<Point2, 4> out;
  for (int k = 0; k < 4; k++)
    out[k] = {cx + c * model[k][0] - s * model[k][1], cy + s * model[k][0] + c * model[k][1]};
  return out;
}
