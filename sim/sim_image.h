// Pictures for the synthetic camera: decoded image files and the upright interior picture
// stored in a pattern file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SimImage {
  int width = 0, height = 0, channels = 0;   // pixels; channels 1 (grey), 3 (RGB) or 4 (RGBA)
  std::vector<uint8_t> pixels;               // rows top to bottom, channel innermost, no row padding
};

// Decodes a PNG, BMP or JPEG file into out (grey, RGB or RGBA as stored). On failure returns
// false, leaves out empty and sets *error (if given) to one line naming the file and the cause.
bool simLoadImage(const std::string& path, SimImage* out, std::string* error);

// Reads a pattern file and returns the upright 16 x 16 RGB interior picture (orientation
// block 0; values outside 0..255 are clamped). On failure returns false with *error set.
bool simPictureFromPatternFile(const std::string& path, SimImage* out, std::string* error);

// Writes an image as PNG (channels 1, 3 or 4). pixelsPerMetre > 0 adds a physical-size chunk
// so that the picture prints at its intended size. false with *error set on failure.
bool simWritePng(const std::string& path, const SimImage& image, std::string* error,
                 double pixelsPerMetre = 0);
