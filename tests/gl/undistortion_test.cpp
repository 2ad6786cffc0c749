// The background takes the shipped camera's lens distortion out: lines that are straight in
// ideal coordinates, drawn bent into a frame as the camera would see them, come out straight.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <cstdio>
#include <vector>

#include "camera/distortion.h"
#include "gl/background.h"
#include "tests/gl/gl_pixels.h"
#include "tests/support/gl_test_context.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A segment in ideal image coordinates (pixel centres at integers, y down).
struct Segment {
  double x0, y0, x1, y1;
  bool horizontal() const { return std::fabs(x1 - x0) > std::fabs(y1 - y0); }
};

// Where the segment's pixels are found in an image: for every column (or row, for a steep
// segment) within its span, the intensity-weighted centre of the bright pixels within a band
// around the ideal line. Returns the points (x, y) found.
std::vector<std::array<double, 2>> locateLine(const std::vector<uint8_t>& rgba, const Segment& s,
                                              double band) {
  std::vector<std::array<double, 2>> points;
  const bool h = s.horizontal();
  const double a0 = h ? s.x0 : s.y0, a1 = h ? s.x1 : s.y1;
  const int first = static_cast<int>(std::ceil(std::min(a0, a1))) + 4;
  const int last = static_cast<int>(std::floor(std::max(a0, a1))) - 4;
  for (int a = first; a <= last; a++) {
    const double t = (a - a0) / (a1 - a0);
    const double expected = h ? s.y0 + t * (s.y1 - s.y0) : s.x0 + t * (s.x1 - s.x0);
    double sum = 0, weighted = 0;
    for (int b = static_cast<int>(expected - band); b <= static_cast<int>(expected + band); b++) {
      const int x = h ? a : b, y = h ? b : a;
      if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) continue;
      const int v = rgba[(static_cast<size_t>(y) * kWidth + x) * 4 + 1];  // green
      if (v == 0) continue;
      sum += v;
      weighted += v * b;
    }
    if (sum > 0) points.push_back(h ? std::array<double, 2>{double(a), weighted / sum}
                                    : std::array<double, 2>{weighted / sum, double(a)});
  }
  return points;
}

struct Residual {
  double max = 0;
  double rms = 0;
};

// Distances of the points from their least-squares line (fitted as y(x) for a flat line, x(y)
// for a steep one).
Residual straightnessResidual(const std::vector<std::array<double, 2>>& points, bool horizontal) {
  const int u = horizontal ? 0 : 1, v = 1 - u;
  double su = 0, sv = 0, suu = 0, suv = 0;
  for (const auto& p : points) {
    su += p[u];
    sv += p[v];
    suu += p[u] * p[u];
    suv += p[u] * p[v];
  }
  const double n = static_cast<double>(points.size());
  const double slope = (n * suv - su * sv) / (n * suu - su * su);
  const double offset = (sv - slope * su) / n;
  Residual r;
  for (const auto& p : points) {
    const double d = std::fabs(p[v] - (offset + slope * p[u])) / std::sqrt(1 + slope * slope);
    r.max = std::max(r.max, d);
    r.rms += d * d;
  }
  r.rms = std::sqrt(r.rms / n);
  return r;
}

// Largest distance of the points from the segment's own ideal line.
double distanceFromIdeal(const std::vector<std::array<double, 2>>& points, const Segment& s) {
  const double dx = s.x1 - s.x0, dy = s.y1 - s.y0, length = std::hypot(dx, dy);
  double worst = 0;
  for (const auto& p : points)
    worst = std::max(worst, std::fabs((p[0] - s.x0) * dy - (p[1] - s.y0) * dx) / length);
  return worst;
}

// The frame as the camera sees the segments: each at its observed positions, white on black,
// drawn with sub-pixel accuracy: in every column (row, for a steep segment) the observed curve
// at y (x) lights rows floor(y) and floor(y) + 1 in proportion, so the column's intensity centre
// lies on the curve.
std::vector<uint8_t> observedLines(const CameraParam& camera, const std::vector<Segment>& segments) {
  std::vector<uint8_t> frame(kWidth * kHeight * 4, 0);
  for (size_t i = 3; i < frame.size(); i += 4) frame[i] = 255;
  for (const Segment& s : segments) {
    const bool h = s.horizontal();
    const double length = std::hypot(s.x1 - s.x0, s.y1 - s.y0);
    double previousA = 0, previousB = 0;
    for (double d = 0; d <= length; d += 0.05) {
      double ox, oy;
      arIdealToObserved(camera.distortion, s.x0 + (s.x1 - s.x0) * d / length,
                        s.y0 + (s.y1 - s.y0) * d / length, &ox, &oy);
      const double a = h ? ox : oy, b = h ? oy : ox;  // along and across the segment
      // When the curve passes a whole column (row) a, interpolate its position b there.
      if (d > 0 && std::floor(a) != std::floor(previousA)) {
        const double whole = std::floor(std::max(a, previousA));
        const double across = previousB + (b - previousB) * (whole - previousA) / (a - previousA);
        const int lower = static_cast<int>(std::floor(across));
        const double upperWeight = across - lower;
        for (int k = 0; k < 2; k++) {
          const int x = h ? int(whole) : lower + k, y = h ? lower + k : int(whole);
          if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) continue;
          const auto value = static_cast<uint8_t>(std::lround(255 * (k ? upperWeight : 1 - upperWeight)));
          for (int c = 0; c < 3; c++) frame[(static_cast<size_t>(y) * kWidth + x) * 4 + c] = value;
        }
      }
      previousA = a;
      previousB = b;
    }
  }
  return frame;
}

TEST(Undistortion, ShippedCameraStraightensLinesTheLensBends) {
  const auto ctx = openGlTestContext(kWidth, kHeight);
  AR_REQUIRE_GL(*ctx);
  CameraParam camera;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &camera), 0);
  ASSERT_EQ(camera.xsize, kWidth);
  ASSERT_EQ(camera.ysize, kHeight);

  // Lines near the image border, where the lens bends them most, and through the middle; drawn
  // in two frames so that no two lines cross.
  const std::vector<Segment> families[2] = {
      {{12, 12, 628, 12}, {30, 120, 610, 140}, {40, 240, 600, 240}, {12, 467, 628, 467}},
      {{12, 20, 12, 460}, {140, 30, 160, 450}, {320, 30, 320, 450}, {627, 20, 627, 460}}};
  Residual worstBent, worstStraight;
  double worstFromIdeal = 0;
  for (const auto& segments : families) {
    const std::vector<uint8_t> frame = observedLines(camera, segments);
    BackgroundSettings* settings = arglCreateBackground();
    clearWindow();
    arglDrawBackground(frame.data(), &camera, 1.0, settings);
    const auto window = ctx->readPixels();
    arglDestroyBackground(settings);
    for (const Segment& s : segments) {
      // The frame's BGRA bytes read as RGBA are fine here: the lines are grey.
      const auto before = locateLine(frame, s, 20);
      const auto after = locateLine(window, s, 6);
      const double span = s.horizontal() ? std::fabs(s.x1 - s.x0) : std::fabs(s.y1 - s.y0);
      // Every column (row) of the segment's span, but a margin, must be found.
      EXPECT_GE(after.size(), static_cast<size_t>(span - 10));
      const Residual bent = straightnessResidual(before, s.horizontal());
      const Residual straight = straightnessResidual(after, s.horizontal());
      const double fromIdeal = distanceFromIdeal(after, s);
      std::printf("line (%g,%g)-(%g,%g): residual from a straight line max/rms: frame %.2f/%.2f px, "
                  "window %.2f/%.2f px; window from the ideal line max %.2f px\n",
                  s.x0, s.y0, s.x1, s.y1, bent.max, bent.rms, straight.max, straight.rms, fromIdeal);
      worstBent.max = std::max(worstBent.max, bent.max);
      worstBent.rms = std::max(worstBent.rms, bent.rms);
      worstStraight.max = std::max(worstStraight.max, straight.max);
      worstStraight.rms = std::max(worstStraight.rms, straight.rms);
      worstFromIdeal = std::max(worstFromIdeal, fromIdeal);
      // Nearest-texel sampling alone may put a line up to half a pixel off.
      EXPECT_LE(straight.max, 0.6);
      EXPECT_LE(straight.rms, 0.35);
      EXPECT_LE(fromIdeal, 0.75);
    }
  }
  std::printf("worst residual from a straight line, max/rms: frame %.2f/%.2f px, window %.2f/%.2f px; "
              "window from the ideal line %.2f px\n", worstBent.max, worstBent.rms, worstStraight.max,
              worstStraight.rms, worstFromIdeal);
  EXPECT_GE(worstBent.max, 2.0);  // the lens bends them visibly, so the test can tell
}

}  // namespace
