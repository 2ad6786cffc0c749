// Frames, cameras and window read-back for the background's pixel tests.
#pragma once

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "camera/camera_param.h"
#include "tests/support/gl_test_context.h"

// A GL test context, retried for a while when the X server refuses the connection: a busy Xvfb
// answers a burst of connections with EAGAIN now and then (measured: 1 to 10 in 100 quick
// connections on the shared build machine), and a refused connection would skip the test.
inline std::unique_ptr<GlTestContext> openGlTestContext(int width, int height) {
  for (int attempt = 1;; attempt++) {
    auto ctx = std::make_unique<GlTestContext>(width, height);
    if (ctx->ok() || attempt == 40 || !std::getenv("DISPLAY")) return ctx;
    std::this_thread::sleep_for(std::chrono::milliseconds(25 * attempt));
  }
}

// A camera of the given size with no skew, focal length 500, principal point at the image centre,
// and the given distortion (zero distortion: centre, coefficient 0, scale 1).
inline CameraParam testCamera(int width, int height) {
  CameraParam camera = {};
  camera.xsize = width;
  camera.ysize = height;
  camera.projection[0][0] = 500.0;
  camera.projection[0][2] = (width - 1) / 2.0;
  camera.projection[1][1] = 500.0;
  camera.projection[1][2] = (height - 1) / 2.0;
  camera.projection[2][2] = 1.0;
  camera.distortion[0] = (width - 1) / 2.0;
  camera.distortion[1] = (height - 1) / 2.0;
  camera.distortion[2] = 0.0;
  camera.distortion[3] = 1.0;
  return camera;
}

// A BGRA frame in which every pixel differs from its neighbours in every channel and the three
// colour channels differ from each other, so that a swapped channel, a flipped row or a pixel off
// by one all show.
inline std::vector<uint8_t> patternFrame(int width, int height) {
  std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      uint8_t* p = &frame[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(x * 7 + y * 3);        // blue
      p[1] = static_cast<uint8_t>(x * 5 + y * 11 + 64);  // green
      p[2] = static_cast<uint8_t>(x * 13 + y * 17 + 128); // red
      p[3] = 255;
    }
  return frame;
}

// Largest channel difference between frame pixel (x, y) (BGRA) and window pixel (x, y) (RGBA,
// top-down as GlTestContext::readPixels gives it), over a width x height area of both.
inline int maxFrameWindowDifference(const std::vector<uint8_t>& frame, const std::vector<uint8_t>& window,
                                    int width, int height) {
  int worst = 0;
  for (size_t i = 0; i < static_cast<size_t>(width) * height; i++) {
    const uint8_t* f = &frame[i * 4];
    const uint8_t* w = &window[i * 4];
    worst = std::max({worst, std::abs(f[2] - w[0]), std::abs(f[1] - w[1]), std::abs(f[0] - w[2])});
  }
  return worst;
}

// Largest channel difference and the number of differing pixels between two RGBA images.
struct ImageDifference {
  int maxChannel = 0;
  int pixels = 0;
};
inline ImageDifference compareImages(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  ImageDifference d;
  for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
    int worst = 0;
    for (int c = 0; c < 3; c++) worst = std::max(worst, std::abs(a[i + c] - b[i + c]));
    if (worst > 0) d.pixels++;
    d.maxChannel = std::max(d.maxChannel, worst);
  }
  return d;
}

inline void clearWindow() {
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
