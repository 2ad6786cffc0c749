// Writing texture pictures: Windows bitmaps made here byte by byte, PNG through the image
// library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture in memory: red, green, blue, alpha bytes per pixel, top row first.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4

  RgbaImage(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4, 255) {}
  uint8_t* at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
  void set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    uint8_t* p = at(x, y);
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
  }
};

// The bytes of an uncompressed Windows bitmap (40-byte info header, rows bottom row first,
// padded to 4 bytes, blue-green-red(-alpha) pixels) of 24 or 32 bits per pixel.
std::vector<uint8_t> EncodeBmp(const RgbaImage& image, int bitCount);

// Write the picture as a bitmap of bitCount (24 or 32) bits or as a PNG of 3 (RGB) or 4 (RGBA)
// channels. False with error when the file cannot be written.
bool WriteBmp(const std::string& path, const RgbaImage& image, int bitCount, std::string* error);
bool WritePng(const std::string& path, const RgbaImage& image, int channels, std::string* error);
