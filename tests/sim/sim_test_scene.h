// Cameras, pictures and pixel access shared by the synthetic-frame tests.
#pragma once

#include <cstdint>
#include <vector>

#include "camera/camera_param.h"
#include "sim/sim_image.h"

// The shipped 640 x 480 camera, lens distortion included; aborts the test if it is missing.
inline CameraParam shippedCamera() {
  CameraParam camera{};
  if (arCameraParamRead("Data/camera_para.dat", 1, &camera) != 0) std::abort();
  return camera;
}

// A pinhole camera with the same matrix and no lens distortion.
inline CameraParam pinholeCamera() {
  CameraParam camera = shippedCamera();
  camera.distortion[0] = camera.projection[0][2];
  camera.distortion[1] = camera.projection[1][2];
  camera.distortion[2] = 0;
  camera.distortion[3] = 1;
  return camera;
}

// A 16 x 16 RGB picture: cell (row, column) = colour(row, column).
template <typename Colour>
SimImage makePicture(Colour colour) {
  SimImage image;
  image.width = image.height = 16;
  image.channels = 3;
  image.pixels.resize(16 * 16 * 3);
  for (int r = 0; r < 16; ++r)
    for (int s = 0; s < 16; ++s) {
      const auto rgb = colour(r, s);
      for (int c = 0; c < 3; ++c) image.pixels[(r * 16 + s) * 3 + c] = static_cast<uint8_t>(rgb[c]);
    }
  return image;
}

struct Frame {
  int width, height;
  std::vector<uint8_t> bgra;
  Frame(int w, int h) : width(w), height(h), bgra(static_cast<size_t>(w) * h * 4, 0) {}
  // Byte c (0 blue, 1 green, 2 red, 3 alpha) of pixel (x, y).
  int at(int x, int y, int c = 0) const { return bgra[(static_cast<size_t>(y) * width + x) * 4 + c]; }
};
