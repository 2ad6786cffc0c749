// Test pictures with a known layout, and writing them as video clips and picture files with
// real GStreamer encoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Picture = std::vector<uint8_t>;   // BGRA, rows top to bottom

struct Bgr {
  int b, g, r;
};

// Quadrants red (top left), green (top right), blue (bottom left) and white (bottom right),
// with a band across the middle carrying index as 8 black or white blocks (bit 0 at the left).
Picture makeQuadrantPicture(int width, int height, int index);

// Reads back the index of a quadrant picture (as delivered, not mirrored); -1 when a block is
// neither clearly black nor clearly white.
int readPictureIndex(const uint8_t* bgra, int width, int height);

// The colour at the centre of the quadrant (0 top left, 1 top right, 2 bottom left, 3 bottom right).
Bgr quadrantColour(const uint8_t* bgra, int width, int height, int quadrant);

// Within tolerance on every channel.
bool near(const Bgr& colour, const Bgr& expected, int tolerance);

// Encodes the pictures as a Motion-JPEG AVI clip at fps. false with the cause in *error.
bool writeClip(const std::string& path, const std::vector<Picture>& pictures, int width, int height,
               int fps, std::string* error);

// Writes one picture as a PNG file.
bool writePng(const std::string& path, const Picture& picture, int width, int height);
