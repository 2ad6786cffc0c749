#include "model/texture_image.h"

#include <stb_image.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "model/dib_raster.h"

namespace {

uint32_t readLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

const char* pictureKind(const uint8_t* bytes, size_t size) {
  if (size >= 8 && std::memcmp(bytes, "\x89PNG", 4) == 0) return "a PNG picture";
  if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8) return "a JPEG picture";
  if (size >= 4 && std::memcmp(bytes, "GIF8", 4) == 0) return "a GIF picture";
  if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return "a bitmap of another bit count";
  return "a picture of another kind";
}

}  // namespace

bool DecodeTextureImage(const uint8_t* bytes, size_t size, const char* fileName, CJDIB* raster) {
  if (size > static_cast<size_t>(INT_MAX)) {
    std::printf("texture: %s: file too large (%zu bytes)\n", fileName, size);
    return false;
  }
  const int length = static_cast<int>(size);
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
    std::printf("texture: %s: cannot decode the picture (%s)\n", fileName, stbi_failure_reason());
    return false;
  }
  if (width > kTextureSideLimit || height > kTextureSideLimit) {
    std::printf("texture: %s: %d x %d pixels, larger than %d on a side; not loaded\n", fileName, width, height,
                kTextureSideLimit);
    return false;
  }
  // The bit count of a Windows bitmap is the low byte of its info header's bits-per-pixel field.
  const bool isBitmap = size > 28 && bytes[0] == 'B' && bytes[1] == 'M';
  const int bitmapBits = isBitmap ? bytes[28] : 0;
  const bool bgrBitmap = bitmapBits == 24 || bitmapBits == 32;
  const int pixelBytes = bgrBitmap ? bitmapBits / 8 : (channels == 1 || channels == 3) ? 3 : 4;
  if (bgrBitmap) {
    // The decoder fills a bitmap that ends early with zeros; a damaged file is refused instead.
    const uint64_t pixelsAt = readLittle32(bytes + 10);
    const uint64_t stride = (static_cast<uint64_t>(width) * pixelBytes + 3) / 4 * 4;
    const uint64_t needed = pixelsAt + stride * static_cast<uint64_t>(height);
    if (needed > size) {
      std::printf("texture: %s: the bitmap ends %llu bytes before the end of its pixels\n", fileName,
                  static_cast<unsigned long long>(needed - size));
      return false;
    }
  }

  unsigned char* pixels = stbi_load_from_memory(bytes, length, &width, &height, &channels, pixelBytes);
  if (pixels == nullptr) {
    std::printf("texture: %s: cannot decode the picture (%s)\n", fileName, stbi_failure_reason());
    return false;
  }
  if (!raster->Create(width, height, static_cast<uint16_t>(pixelBytes * 8))) {
    stbi_image_free(pixels);
    std::printf("texture: %s: out of memory for %d x %d pixels\n", fileName, width, height);
    return false;
  }
  // The decoder gives the top row first; the raster keeps the bottom row first, so that texture
  // coordinate v = 0 is the bottom edge of the picture.
  const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
  for (int32_t y = 0; y < height; y++) {
    const unsigned char* from = pixels + static_cast<size_t>(height - 1 - y) * rowBytes;
    uint8_t* to = raster->m_pBits + static_cast<size_t>(y) * raster->Stride();
    std::memcpy(to, from, rowBytes);
    if (bgrBitmap)  // as the bitmap stores them: blue, green, red (, fourth byte)
      for (size_t x = 0; x < rowBytes; x += pixelBytes) std::swap(to[x], to[x + 2]);
  }
  stbi_image_free(pixels);

  if (bgrBitmap) {
    ConvertBgrRasterToRgb(raster);
  } else {
    std::printf("texture: %s: %s, not a 24- or 32-bit bitmap; decoded from its %d channel%s as %s\n", fileName,
                pictureKind(bytes, size), channels, channels == 1 ? "" : "s", pixelBytes == 3 ? "RGB" : "RGBA");
  }
  return true;
}

void ConvertBgrRasterToRgb(CJDIB* raster) {
  const int pixelBytes = raster->m_bitCount / 8;
  if (raster->m_pBits == nullptr || (pixelBytes != 3 && pixelBytes != 4)) return;
  for (int32_t y = 0; y < raster->m_height; y++) {
    uint8_t* row = raster->m_pBits + static_cast<size_t>(y) * raster->Stride();
    for (int32_t x = 0; x < raster->m_width; x++) {
      uint8_t* pixel = row + static_cast<size_t>(x) * pixelBytes;
      std::swap(pixel[0], pixel[2]);
      if (pixelBytes == 4) pixel[3] = 255;
    }
  }
}
