#include "tools/patterns/pattern_designs.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {

// Shapes are laid out on a 16 x 16 grid (x right, y down), the size of the pattern grid, so
// that every stroke is at least two cells wide.
using Shape = std::function<bool(double x, double y)>;

Shape rect(double x0, double y0, double x1, double y1) {
  return [=](double x, double y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
}

Shape disc(double cx, double cy, double r) {
  return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

// A convex polygon, corners in either winding.
Shape polygon(std::vector<std::pair<double, double>> corners) {
  return [=](double x, double y) {
    int sign = 0;
    for (size_t i = 0; i < corners.size(); ++i) {
      const auto& [ax, ay] = corners[i];
      const auto& [bx, by] = corners[(i + 1) % corners.size()];
      const double cross = (bx - ax) * (y - ay) - (by - ay) * (x - ax);
      if (cross == 0) continue;
      const int s = cross > 0 ? 1 : -1;
      if (sign != 0 && s != sign) return false;
      sign = s;
    }
    return true;
  };
}

Shape unite(std::vector<Shape> parts) {
  return [=](double x, double y) {
    return std::any_of(parts.begin(), parts.end(), [&](const Shape& p) { return p(x, y); });
  };
}

Shape subtract(Shape from, Shape cut) {
  return [=](double x, double y) { return from(x, y) && !cut(x, y); };
}

const std::map<std::string, Shape>& designs() {
  static const std::map<std::string, Shape> table = {
      // A bar down the left with a foot to the right, and a dot at the top right.
      {"hook", unite({rect(2, 2, 5, 12), rect(2, 12, 10, 14.5), disc(11.5, 5, 2.5)})},
      // A pole with a pennant flying right from its top, and a block at the bottom right.
      {"flag", unite({rect(2.5, 1.5, 5.5, 14.5), polygon({{5.5, 1.5}, {14, 5.5}, {5.5, 9.5}}),
                      rect(8, 12, 14, 14.5)})},
      // A crescent opening to the top right, and a diamond below its tip.
      {"moon", unite({subtract(disc(7, 8.5, 6), disc(10, 6.5, 5)),
                      polygon({{12, 10.5}, {14.3, 12.8}, {12, 15.1}, {9.7, 12.8}})})},
      // A ring low on the left, and a bar at the top right.
      {"ring", unite({subtract(disc(6.5, 9.5, 4.5), disc(6.5, 9.5, 2)), rect(9, 2, 14, 5)})},
      // A rocket pointing up on the left, and a dot at the bottom right.
      {"rocket", unite({rect(4.5, 7, 7, 14.5), polygon({{1.5, 8}, {10, 8}, {5.75, 1.5}}),
                        disc(12, 12, 2.2)})},
  };
  return table;
}

}  // namespace

const std::vector<std::string>& patternDesignNames() {
  static const std::vector<std::string> names = {"hook", "flag", "moon", "ring", "rocket"};
  return names;
}

bool drawPatternDesign(const std::string& name, int size, SimImage* out) {
  const auto found = designs().find(name);
  if (found == designs().end() || size < 16 || size > 4096) return false;
  constexpr int kSamples = 4;
  out->width = out->height = size;
  out->channels = 1;
  out->pixels.assign(static_cast<size_t>(size) * size, 255);
  const double toGrid = 16.0 / size;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      int ink = 0;
      for (int j = 0; j < kSamples; ++j)
        for (int i = 0; i < kSamples; ++i)
          ink += found->second((x + (i + 0.5) / kSamples) * toGrid, (y + (j + 0.5) / kSamples) * toGrid);
      out->pixels[static_cast<size_t>(y) * size + x] =
          static_cast<uint8_t>(std::lround(255.0 * (1 - ink / double(kSamples * kSamples))));
    }
  return true;
}
