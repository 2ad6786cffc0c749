#include "detect/corner_refinement.h"

#include <algorithm>
#include <cmath>

#include "camera/distortion.h"

namespace {

constexpr int32_t kMaxProfilesPerSide = 40;  // evenly spread; more adds time, not accuracy
constexpr double kProfileSpacing = 1.0;      // observed pixels between profiles along a side
// Samples each way from the line along a profile, spread over the window (at most a pixel apart):
// enough for the edge's transition and both levels even in the narrow windows of small markers.
constexpr int32_t kSamplesEachWay = 3;
constexpr int32_t kProfileSamples = 2 * kSamplesEachWay + 1;
constexpr double kMaxHalfWidth = 3.0;        // observed pixels each way from the current line
constexpr double kMinHalfWidth = 1.0;
// The window reaches this share of the black border's width inwards, so that the light interior
// beyond the border stays out of it.
constexpr double kBorderShare = 0.45;
constexpr double kMinContrast = 12.0;        // grey levels (mean of blue, green, red) between the ends
constexpr int32_t kMinEdgePoints = 5;        // per side; fewer keeps the starting line
constexpr double kOutlierPixels = 0.75;      // edge points this far off the first fit are dropped
constexpr double kMaxLineShift = 2.0;        // ideal pixels at either end of the side
constexpr double kMinSidePixels = 6.0;

struct Point {
  double x, y;
};

Point add(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point scale(Point a, double s) { return {a.x * s, a.y * s}; }
Point sub(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
double norm(Point a) { return std::sqrt(dot(a, a)); }

Point toObserved(const double distortion[4], Point ideal) {
  Point o;
  arIdealToObserved(distortion, ideal.x, ideal.y, &o.x, &o.y);
  return o;
}

// The ideal offset that the lens turns into the observed offset `observed` at ideal point at:
// edge points lie within a few pixels of points whose ideal position is known, so one linear
// step replaces the iterative inverse of the lens model.
Point idealOffset(const double distortion[4], Point at, Point observed) {
  double j[2][2];
  arIdealToObservedJacobian(distortion, at.x, at.y, j);
  const double det = j[0][0] * j[1][1] - j[0][1] * j[1][0];
  return {(j[1][1] * observed.x - j[0][1] * observed.y) / det, (j[0][0] * observed.y - j[1][0] * observed.x) / det};
}

// Blue + green + red at (x, y), interpolated between the four nearest pixel centres (pixel
// centres at whole coordinates).
struct Frame {
  const uint8_t* bgra;
  int32_t width, height;

  // Whether (x, y) and its four neighbours lie inside the frame.
  bool holds(Point p) const { return p.x >= 0 && p.y >= 0 && p.x < width - 1 && p.y < height - 1; }

  // Only for points that the frame holds.
  float level(double x, double y) const {
    const int32_t x0 = static_cast<int32_t>(x), y0 = static_cast<int32_t>(y);
    const float ax = static_cast<float>(x - x0), ay = static_cast<float>(y - y0);
    const uint8_t* p = bgra + (static_cast<size_t>(y0) * width + x0) * 4;
    const uint8_t* q = p + static_cast<size_t>(width) * 4;
    const float top = (p[0] + p[1] + p[2]) + ax * ((p[4] + p[5] + p[6]) - (p[0] + p[1] + p[2]));
    const float bottom = (q[0] + q[1] + q[2]) + ax * ((q[4] + q[5] + q[6]) - (q[0] + q[1] + q[2]));
    return top + ay * (bottom - top);
  }
};

// Line a x + b y + c = 0 with (a, b) a unit normal.
struct Line {
  double a, b, c;
  double distance(Point p) const { return a * p.x + b * p.y + c; }
};

bool intersect(const double l1[3], const double l2[3], double out[2]) {
  const double w = l2[1] * l1[0] - l1[1] * l2[0];
  if (w == 0.0 || !std::isfinite(w)) return false;
  out[0] = (l1[1] * l2[2] - l2[1] * l1[2]) / w;
  out[1] = (l1[2] * l2[0] - l2[2] * l1[0]) / w;
  return std::isfinite(out[0]) && std::isfinite(out[1]);
}

// Total least squares line through points; false when they do not define a direction.
bool fitLine(const Point* points, int32_t count, Line* line) {
  if (count < 2) return false;
  Point mean = {0, 0};
  for (int32_t k = 0; k < count; k++) mean = add(mean, points[k]);
  mean = scale(mean, 1.0 / count);
  double sxx = 0, sxy = 0, syy = 0;
  for (int32_t k = 0; k < count; k++) {
    const Point d = sub(points[k], mean);
    sxx += d.x * d.x;
    sxy += d.x * d.y;
    syy += d.y * d.y;
  }
  if (!(sxx + syy > 0)) return false;
  const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);  // direction of largest spread
  line->a = std::sin(angle);
  line->b = -std::cos(angle);
  line->c = -(line->a * mean.x + line->b * mean.y);
  return true;
}

// The geometry one side is refined in.
struct Side {
  Point start, end;        // ideal corners the side runs between
  Point outward;           // unit normal of the side in ideal pixels, away from the marker
  double halfWidth;        // observed pixels each way from the line along a profile
  double margin[2];        // observed pixels kept free at the start and end corner
};

// Inner angle's cotangent at a corner between directions u (along this side, away from the
// corner) and v (along the other side, away from the corner); 0 for right or obtuse corners.
double cotangentAt(Point u, Point v) {
  const double cosine = dot(u, v) / (norm(u) * norm(v));
  if (!(cosine > 0)) return 0.0;
  const double sine = std::sqrt(std::max(1e-12, 1 - cosine * cosine));
  return std::min(3.0, cosine / sine);
}

Side sideGeometry(const double vertex[4][2], int i) {
  auto corner = [&](int k) { return Point{vertex[k % 4][0], vertex[k % 4][1]}; };
  Side side;
  side.start = corner(i);
  side.end = corner(i + 1);
  const Point along = sub(side.end, side.start);
  const double length = norm(along);
  Point normal = {along.y / length, -along.x / length};
  const Point centre = scale(add(add(corner(0), corner(1)), add(corner(2), corner(3))), 0.25);
  if (dot(normal, sub(side.start, centre)) < 0) normal = scale(normal, -1);
  side.outward = normal;
  // The border is a quarter of the marker across; the far side's middle gives its extent.
  const Point farMiddle = scale(add(corner(i + 2), corner(i + 3)), 0.5);
  const double border = std::abs(dot(normal, sub(farMiddle, side.start))) / 4;
  side.halfWidth = std::clamp(kBorderShare * border, kMinHalfWidth, kMaxHalfWidth);
  // Near an acute corner a profile's inner half would cross the neighbouring side.
  side.margin[0] = 1 + side.halfWidth * std::max(1.0, cotangentAt(along, sub(corner(i + 3), side.start)));
  side.margin[1] = 1 + side.halfWidth * std::max(1.0, cotangentAt(scale(along, -1), sub(corner(i + 2), side.end)));
  return side;
}

// Edge points of one side in ideal pixels, from profiles across the line through the side
// (current estimate) between its corners. Returns how many were found.
int32_t collectEdgePoints(const Frame& frame, const double distortion[4], const Side& side, const Line& current,
                          Point* points) {
  const Point startObs = toObserved(distortion, side.start);
  const Point endObs = toObserved(distortion, side.end);
  const double observedLength = norm(sub(endObs, startObs));
  const double usable = observedLength - side.margin[0] - side.margin[1];
  if (!(observedLength >= kMinSidePixels) || !(usable > 0)) return 0;
  const int32_t profiles = std::clamp(static_cast<int32_t>(usable / kProfileSpacing) + 1, 1, kMaxProfilesPerSide);

  // Profiles run from inside to outside across the chord of the observed side. Any transversal
  // crosses the edge at a true edge point, so the slight bend the lens gives the side does not
  // bias the points, it only shifts them along the edge.
  Point outwardObs = {(endObs.y - startObs.y) / observedLength, -(endObs.x - startObs.x) / observedLength};
  if (dot(outwardObs, side.outward) < 0) outwardObs = scale(outwardObs, -1);
  const double step = side.halfWidth / kSamplesEachWay;
  const double reach = side.halfWidth;

  const double dx = outwardObs.x * step, dy = outwardObs.y * step;
  float values[kProfileSamples];
  int32_t found = 0;
  for (int32_t k = 0; k < profiles; k++) {
    const double f = (side.margin[0] + (profiles == 1 ? usable / 2 : usable * k / (profiles - 1))) / observedLength;
    // The point on the current line nearest to the ideal point at this fraction of the side.
    const Point guess = add(side.start, scale(sub(side.end, side.start), f));
    const double off = current.distance(guess);
    const Point onLine = sub(guess, scale(Point{current.a, current.b}, off));
    const Point base = toObserved(distortion, onLine);
    const Point first = sub(base, scale(outwardObs, reach));
    const Point last = add(base, scale(outwardObs, reach));
    if (!frame.holds(first) || !frame.holds(last)) continue;  // the frame is convex
    double x = first.x, y = first.y;
    for (int32_t s = 0; s < kProfileSamples; s++, x += dx, y += dy) values[s] = frame.level(x, y);
    const double edge = arLocateEdge(values, kProfileSamples, step, 3 * kMinContrast);
    if (edge < 0) continue;
    points[found++] = add(onLine, idealOffset(distortion, onLine, scale(outwardObs, edge - reach)));
  }
  return found;
}

// Fits the side to its edge points, dropping points far off a first fit. false when too few
// points remain or the line would move more than kMaxLineShift at either corner.
bool fitSide(Point* points, int32_t count, const Side& side, Line* line, int32_t* used) {
  if (count < kMinEdgePoints || !fitLine(points, count, line)) return false;
  int32_t kept = 0;
  for (int32_t k = 0; k < count; k++)
    if (std::abs(line->distance(points[k])) <= kOutlierPixels) points[kept++] = points[k];
  if (kept < kMinEdgePoints || !fitLine(points, kept, line)) return false;
  if (std::abs(line->distance(side.start)) > kMaxLineShift || std::abs(line->distance(side.end)) > kMaxLineShift)
    return false;
  *used = kept;
  return true;
}

}  // namespace

double arLocateEdge(const float* samples, int32_t count, double step, double minContrast) {
  if (count < 5) return -1.0;
  const double dark = 0.5 * (samples[0] + samples[1]);
  const double light = 0.5 * (samples[count - 2] + samples[count - 1]);
  const double contrast = light - dark;
  if (!(contrast >= minContrast)) return -1.0;
  // Trapezoid area under the normalised profile; the edge lies that far before the last sample.
  double area = 0.5 * ((samples[0] - dark) + (samples[count - 1] - dark));
  for (int32_t k = 1; k < count - 1; k++) area += samples[k] - dark;
  const double edge = (count - 1) * step - step * area / contrast;
  if (!(edge > 0 && edge < (count - 1) * step)) return -1.0;
  return edge;
}

int32_t arRefineCorners(const uint8_t* frame, int32_t width, int32_t height, const double distortion[4],
                        double line[4][3], double vertex[4][2], ArCornerRefinement* report) {
  ArCornerRefinement local;
  ArCornerRefinement& r = report ? *report : local;
  r = ArCornerRefinement{};
  if (!frame || width < 2 || height < 2) return 0;
  const Frame image{frame, width, height};

  double refinedLines[4][3];
  std::copy(&line[0][0], &line[0][0] + 12, &refinedLines[0][0]);
  Point points[kMaxProfilesPerSide];
  for (int i = 0; i < 4; i++) {
    const Side side = sideGeometry(vertex, i);
    const Line current{line[i][0], line[i][1], line[i][2]};
    const int32_t count = collectEdgePoints(image, distortion, side, current, points);
    Line fitted;
    if (!fitSide(points, count, side, &fitted, &r.edgePoints[i])) continue;
    // Keep the starting line's sign, so that a refined line faces the same way.
    const double sign = fitted.a * line[i][0] + fitted.b * line[i][1] < 0 ? -1.0 : 1.0;
    refinedLines[i][0] = sign * fitted.a;
    refinedLines[i][1] = sign * fitted.b;
    refinedLines[i][2] = sign * fitted.c;
    r.sideRefined[i] = true;
  }
  // A corner between two kept sides stays exactly as it was.
  double corners[4][2];
  std::copy(&vertex[0][0], &vertex[0][0] + 8, &corners[0][0]);
  for (int i = 0; i < 4; i++) {
    if (!r.sideRefined[(i + 3) % 4] && !r.sideRefined[i]) continue;
    if (!intersect(refinedLines[(i + 3) % 4], refinedLines[i], corners[i])) {
      r = ArCornerRefinement{};
      return 0;
    }
  }

  int32_t refined = 0;
  for (int i = 0; i < 4; i++) {
    refined += r.sideRefined[i];
    r.cornerShift[i] = std::hypot(corners[i][0] - vertex[i][0], corners[i][1] - vertex[i][1]);
    r.maxCornerShift = std::max(r.maxCornerShift, r.cornerShift[i]);
  }
  std::copy(&refinedLines[0][0], &refinedLines[0][0] + 12, &line[0][0]);
  std::copy(&corners[0][0], &corners[0][0] + 8, &vertex[0][0]);
  return refined;
}
