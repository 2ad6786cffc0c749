// Decoding a texture image file into the bottom-up raster that OpenGL receives. No OpenGL here,
// so the fuzz target and the tests can run it without a context.
#pragma once

#include <cstddef>
#include <cstdint>

class CJDIB;

// Largest width or height accepted, in pixels; larger pictures are refused (a damaged header
// could otherwise ask for gigabytes).
constexpr int32_t kTextureSideLimit = 8192;

// Decodes the image file bytes (BMP, PNG, JPEG, GIF, TGA) into raster, ready to upload: rows
// bottom row first, padded to 4 bytes, red-green-blue(-alpha) order. A 24- or 32-bit Windows
// bitmap (the byte at offset 28 holds the bit count) gives a 24- or 32-bit raster whose
// blue-green-red pixels are then turned around, with alpha 255 for 32 bits. Any other picture
// is decoded by its channels (grey or colour: 24-bit RGB; with alpha: 32-bit RGBA). A picture
// wider or taller than maxSide (when positive) is scaled down to fit, keeping its proportions,
// with one line on standard error saying so. False, with one line on standard error naming
// fileName and the cause, when it cannot be decoded or is larger than kTextureSideLimit.
bool DecodeTextureImage(const uint8_t* bytes, size_t size, const char* fileName, CJDIB* raster, int maxSide = 0);

// Turns a raster of blue-green-red pixels into red-green-blue in every row: exchanges the first
// and third byte of each pixel; for 32 bits also sets the fourth byte to 255. Padding bytes at
// the row ends are left alone.
void ConvertBgrRasterToRgb(CJDIB* raster);
