// Pictures in other pixel layouts as the frame detection reads: 8-bit BGRA, 4 bytes per pixel,
// rows top to bottom without gaps. For callers whose pictures come from an image decoder or a
// capture library as grey, RGB or RGBA bytes.
#pragma once

#include <cstdint>
#include <vector>

// Each reads a picture of width x height pixels whose rows start rowBytes apart (at least width
// times its bytes per pixel: 1 grey, 3 RGB, 4 RGBA; more for padded rows) and writes it as a
// frame into *frame, resized to width * height * 4 bytes; a vector kept for the frames of one
// size is allocated only once. Blue, green and red take the picture's colour (all three the grey
// level for grey), alpha the picture's alpha or 255. Detection reads only blue, green and red, so
// transparent pixels count by the colour they hold. Returns 0, or -1 with *frame untouched when
// a pointer is null, width or height is not positive, or rowBytes is too small.
int arBgraFrameFromGrey(const uint8_t* grey, int width, int height, int rowBytes, std::vector<uint8_t>* frame);
int arBgraFrameFromRgb(const uint8_t* rgb, int width, int height, int rowBytes, std::vector<uint8_t>* frame);
int arBgraFrameFromRgba(const uint8_t* rgba, int width, int height, int rowBytes, std::vector<uint8_t>* frame);
