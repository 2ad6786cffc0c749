// Cameras, frames, window comparisons and a background fixture for the GL tests.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "camera/camera_param.h"
#include "gl/background.h"
#include "gl/gl_features_internal.h"
#include "tests/support/gl_test_context.h"

// No skew, focal length 500, principal point at the centre, no distortion.
inline CameraParam testCamera(int width, int height) {
  CameraParam camera = {};
  camera.xsize = width;
  camera.ysize = height;
  camera.projection[0][0] = camera.projection[1][1] = 500.0;
  camera.projection[0][2] = camera.distortion[0] = (width - 1) / 2.0;
  camera.projection[1][2] = camera.distortion[1] = (height - 1) / 2.0;
  camera.projection[2][2] = camera.distortion[3] = 1.0;
  return camera;
}

inline CameraParam shippedCamera() {
  CameraParam camera = {};
  EXPECT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &camera), 0);
  return camera;
}

// BGRA; every block of block x block pixels differs from its neighbours in every channel and the
// channels differ from each other, so a swapped channel, a flipped row or a pixel off by one show.
inline std::vector<uint8_t> patternFrame(int width, int height, int block = 1) {
  std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4, 255);
  for (int i = 0; i < width * height; i++) {
    const int x = i % width / block, y = i / width / block;
    frame[i * 4] = static_cast<uint8_t>(x * 7 + y * 3);
    frame[i * 4 + 1] = static_cast<uint8_t>(x * 5 + y * 11 + 64);
    frame[i * 4 + 2] = static_cast<uint8_t>(x * 13 + y * 17 + 128);
  }
  return frame;
}

// Largest channel difference between a BGRA frame and an RGBA window of the same size.
inline int maxFrameWindowDifference(const std::vector<uint8_t>& frame, const std::vector<uint8_t>& window) {
  int worst = frame.size() == window.size() ? 0 : 256;
  for (size_t i = 0; i + 3 < frame.size() && i + 3 < window.size(); i += 4)
    worst = std::max({worst, std::abs(frame[i + 2] - window[i]), std::abs(frame[i + 1] - window[i + 1]),
                      std::abs(frame[i] - window[i + 2])});
  return worst;
}

inline bool allPixelsAre(const std::vector<uint8_t>& window, uint8_t r, uint8_t g, uint8_t b) {
  for (size_t i = 0; i < window.size(); i += 4)
    if (window[i] != r || window[i + 1] != g || window[i + 2] != b) return false;
  return true;
}

// A 640 x 480 window and a background record, made on the first draw.
class BackgroundTest : public ::testing::Test {
 protected:
  void TearDown() override {
    arglDestroyBackground(settings_);
    arglOverrideGLStringsForTest(nullptr, nullptr);
  }
  // Draws frame into a cleared window and returns the window.
  std::vector<uint8_t> draw(const CameraParam& camera, const std::vector<uint8_t>& frame, double zoom = 1.0) {
    if (!settings_) settings_ = arglCreateBackground();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    arglDrawBackground(frame.data(), &camera, zoom, settings_);
    EXPECT_EQ(glErrorString("arglDrawBackground"), "");
    return ctx_.readPixels();
  }
  GlTestContext ctx_{640, 480};
  BackgroundSettings* settings_ = nullptr;
};
