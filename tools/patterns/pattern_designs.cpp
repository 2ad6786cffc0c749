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

// A rectangle cut into nx x ny checks, the top left one black.
Shape checks(double x0, double y0, double x1, double y1, int nx, int ny) {
  const double w = (x1 - x0) / nx, h = (y1 - y0) / ny;
  return [=](double x, double y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    return (static_cast<int>((x - x0) / w) + static_cast<int>((y - y0) / h)) % 2 == 0;
  };
}

// Each design is 26 to 40 % black and spreads its shapes differently, so that no two share a
// large white area: at most 0.3 correlation between any turns of two designs.
const std::map<std::string, Shape>& designs() {
  static const std::map<std::string, Shape> table = {
      // A shank down the right with an eye at the top, curling at the bottom into a short barb
      // on the left.
      {"hook", unite({rect(9, 0.5, 13, 12), rect(4, 0.5, 13, 3.5), rect(2, 10, 13, 14),
                      rect(2, 8.5, 5.5, 14)})},
      // A pole down the left with a checked flag at its top.
      {"flag", unite({rect(1, 0.5, 3.5, 15.5), checks(3.5, 1, 15.5, 10, 3, 3)})},
      // A crescent opening to the bottom right.
      {"moon", subtract(disc(7.5, 7.5, 7), disc(9.5, 9, 5.5))},
      // A ring low on the left, and a bar at the top right.
      {"ring", unite({subtract(disc(6, 10, 5.5), disc(6, 10, 2.7)), rect(11, 0.5, 15.5, 5)})},
      // A rocket pointing up, with a fin on each side.
      {"rocket", unite({rect(4, 7, 10, 13), polygon({{4, 7}, {10, 7}, {7, 0.5}}),
                        polygon({{4, 10}, {4, 15.5}, {0.5, 15.5}}),
                        polygon({{10, 10}, {10, 15.5}, {13.5, 15.5}})})},
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
