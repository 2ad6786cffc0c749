// The background takes the shipped camera's lens distortion out: lines straight in ideal
// coordinates, drawn bent into a frame as the camera sees them, come out straight in the window.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "camera/distortion.h"
#include "tests/gl/gl_test_helpers.h"

namespace {

using Undistortion = BackgroundTest;
constexpr int kWidth = 640, kHeight = 480;

// A segment in ideal image coordinates (pixel centres at integers, y down).
struct Segment {
  double x0, y0, x1, y1;
  bool flat() const { return std::fabs(x1 - x0) > std::fabs(y1 - y0); }
};

// The segments as the camera sees them, white on black: each observed point spread bilinearly
// over its four pixels, so that a line's intensity centre lies on the curve.
std::vector<uint8_t> observedLines(const CameraParam& camera, const std::vector<Segment>& segments) {
  std::vector<double> light(kWidth * kHeight, 0.0);
  for (const Segment& s : segments)
    for (double t = 0; t <= 1; t += 1e-4) {
      double ox, oy;
      arIdealToObserved(camera.distortion, s.x0 + t * (s.x1 - s.x0), s.y0 + t * (s.y1 - s.y0), &ox, &oy);
      const int x = static_cast<int>(std::floor(ox)), y = static_cast<int>(std::floor(oy));
      for (int k = 0; k < 4; k++) {
        const int px = x + k % 2, py = y + k / 2;
        if (px >= 0 && py >= 0 && px < kWidth && py < kHeight)
          light[py * kWidth + px] += (k % 2 ? ox - x : 1 - ox + x) * (k / 2 ? oy - y : 1 - oy + y);
      }
    }
  const double peak = *std::max_element(light.begin(), light.end());
  std::vector<uint8_t> frame(light.size() * 4, 255);
  for (size_t i = 0; i < light.size(); i++)
    std::fill_n(&frame[i * 4], 3, static_cast<uint8_t>(std::lround(255 * light[i] / peak)));
  return frame;
}

// For each column (row, for a steep segment) of the segment's span but a margin: how far the
// intensity centre of the green channel, within band pixels of the ideal line, lies from it.
std::vector<double> offsetsFromIdealLine(const std::vector<uint8_t>& image, const Segment& s, double band) {
  std::vector<double> offsets;
  const bool flat = s.flat();
  const double a0 = flat ? s.x0 : s.y0, a1 = flat ? s.x1 : s.y1;  // along the segment
  const double b0 = flat ? s.y0 : s.x0, b1 = flat ? s.y1 : s.x1;  // across it
  for (int a = static_cast<int>(std::min(a0, a1)) + 5; a <= std::max(a0, a1) - 4; a++) {
    const double ideal = b0 + (a - a0) / (a1 - a0) * (b1 - b0);
    double sum = 0, weighted = 0;
    for (int b = static_cast<int>(ideal - band); b <= static_cast<int>(ideal + band); b++) {
      const int x = flat ? a : b, y = flat ? b : a;
      if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) continue;
      const int v = image[(static_cast<size_t>(y) * kWidth + x) * 4 + 1];
      sum += v;
      weighted += v * b;
    }
    if (sum > 0) offsets.push_back(std::fabs(weighted / sum - ideal));
  }
  return offsets;
}

TEST_F(Undistortion, ShippedCameraStraightensLinesTheLensBends) {
  AR_REQUIRE_GL(ctx_);
  const CameraParam camera = shippedCamera();
  ASSERT_TRUE(camera.xsize == kWidth && camera.ysize == kHeight);
  // Near the border, where the lens bends most, and through the middle; two frames, so no lines cross.
  const std::vector<Segment> families[2] = {
      {{12, 12, 628, 12}, {30, 120, 610, 140}, {40, 240, 600, 240}, {12, 467, 628, 467}},
      {{12, 20, 12, 460}, {140, 30, 160, 450}, {320, 30, 320, 450}, {627, 20, 627, 460}}};
  double worstInFrame = 0;
  for (const auto& segments : families) {
    const auto frame = observedLines(camera, segments);
    const auto window = draw(camera, frame);
    for (const Segment& s : segments) {
      SCOPED_TRACE(testing::Message() << "(" << s.x0 << "," << s.y0 << ")-(" << s.x1 << "," << s.y1 << ")");
      for (double offset : offsetsFromIdealLine(frame, s, 20)) worstInFrame = std::max(worstInFrame, offset);
      const auto offsets = offsetsFromIdealLine(window, s, 6);
      EXPECT_GE(offsets.size(), (s.flat() ? std::fabs(s.x1 - s.x0) : std::fabs(s.y1 - s.y0)) - 10);
      double max = 0, squares = 0;
      for (double offset : offsets) {
        max = std::max(max, offset);
        squares += offset * offset;
      }
      // Nearest-texel sampling alone may put a line up to half a pixel off.
      EXPECT_LE(max, 0.75);
      EXPECT_LE(std::sqrt(squares / offsets.size()), 0.35);
    }
  }
  EXPECT_GE(worstInFrame, 5.0);  // the lens moves them visibly, so the test can tell
}

}  // namespace
