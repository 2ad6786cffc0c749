#include "model/texture_image.h"

#include <stb_image.h>
#include <stb_image_resize.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "model/dib_raster.h"

namespace {

uint32_t readLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint32_t readBig(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; i++) value = value << 8 | p[i];
  return value;
}

// Where the segments of a JPEG picture begin: after its start-of-image marker, which the decoder
// takes after any number of 0xFF fill bytes. 0 when the bytes are no JPEG picture.
size_t jpegSegments(const uint8_t* bytes, size_t size) {
  size_t at = 0;
  while (at < size && bytes[at] == 0xFF) at++;
  return at > 0 && at < size && bytes[at] == 0xD8 ? at + 1 : 0;
}

// The size a PNG or JPEG header gives, read here because the decoder refuses very large
// pictures without saying why ("unknown image type"). False when the header gives none.
bool headerSize(const uint8_t* bytes, size_t size, uint32_t* width, uint32_t* height) {
  if (size >= 24 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(bytes + 12, "IHDR", 4) == 0) {
    *width = readBig(bytes + 16, 4), *height = readBig(bytes + 20, 4);
    return true;
  }
  // JPEG: segments of FF, marker, big-endian length; a start-of-frame segment holds the size.
  const size_t first = jpegSegments(bytes, size);
  for (size_t at = first; first != 0 && at + 9 <= size && bytes[at] == 0xFF;) {
    const uint8_t marker = bytes[at + 1];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      *height = readBig(bytes + at + 5, 2), *width = readBig(bytes + at + 7, 2);
      return true;
    }
    at += 2 + readBig(bytes + at + 2, 2);
  }
  return false;
}

// Every Huffman table of a JPEG picture, in the order the decoder meets them, holds at most 256
// codes. The decoder in use (stb_image before 2.28) writes past its tables when one claims more,
// so such a picture is refused before it is decoded. The walk follows the decoder's: segments by
// their lengths, the coded data after a start of scan byte by byte up to the next marker; bytes
// past the end of the file count as 0, as the decoder reads them.
bool jpegHuffmanTablesFit(const uint8_t* bytes, size_t size) {
  const size_t first = jpegSegments(bytes, size);
  if (first == 0) return true;
  const auto byteAt = [&](size_t i) -> uint32_t { return i < size ? bytes[i] : 0; };
  for (size_t at = first; at + 1 < size;) {
    const uint8_t marker = bytes[at + 1];
    if (bytes[at] != 0xFF || marker == 0x00 || marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {
      at += bytes[at] == 0xFF && marker != 0xFF ? 2 : 1;  // coded data, fill bytes, markers without a length
      continue;
    }
    const size_t length = byteAt(at + 2) << 8 | byteAt(at + 3);
    if (marker == 0xC4) {
      size_t table = at + 4;
      for (long left = static_cast<long>(length) - 2; left > 0;) {
        uint32_t codes = 0;
        for (int i = 1; i <= 16; i++) codes += byteAt(table + i);
        if (codes > 256) return false;
        table += 17 + codes;
        left -= 17 + static_cast<long>(codes);
      }
    }
    at += 2 + length;
  }
  return true;
}

void reportTooLarge(const char* fileName, uint32_t width, uint32_t height) {
  std::fprintf(stderr, "texture: %s: %u x %u pixels, larger than %d on a side; not loaded\n", fileName, width, height,
               kTextureSideLimit);
}

struct StbFree {
  void operator()(unsigned char* p) const { stbi_image_free(p); }
};
using Pixels = std::unique_ptr<unsigned char, StbFree>;

}  // namespace

bool DecodeTextureImage(const uint8_t* bytes, size_t size, const char* fileName, CJDIB* raster, int maxSide) {
  if (size > static_cast<size_t>(INT_MAX)) {
    std::fprintf(stderr, "texture: %s: file too large (%zu bytes)\n", fileName, size);
    return false;
  }
  const int length = static_cast<int>(size);
  if (!jpegHuffmanTablesFit(bytes, size)) {
    std::fprintf(stderr, "texture: %s: a Huffman table of the JPEG picture holds more than 256 codes; not loaded\n",
                 fileName);
    return false;
  }
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
    uint32_t claimedWidth = 0, claimedHeight = 0;
    if (headerSize(bytes, size, &claimedWidth, &claimedHeight) &&
        std::max(claimedWidth, claimedHeight) > static_cast<uint32_t>(kTextureSideLimit)) {
      reportTooLarge(fileName, claimedWidth, claimedHeight);
    } else {
      std::fprintf(stderr, "texture: %s: cannot decode the picture (%s)\n", fileName, stbi_failure_reason());
    }
    return false;
  }
  if (width > kTextureSideLimit || height > kTextureSideLimit) {
    reportTooLarge(fileName, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    return false;
  }
  if (width < 1 || height < 1) {
    std::fprintf(stderr, "texture: %s: the picture is %d x %d pixels; not loaded\n", fileName, width, height);
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
      std::fprintf(stderr, "texture: %s: the bitmap ends %llu bytes before the end of its pixels\n", fileName,
                   static_cast<unsigned long long>(needed - size));
      return false;
    }
  }

  Pixels pixels(stbi_load_from_memory(bytes, length, &width, &height, &channels, pixelBytes));
  if (!pixels) {
    std::fprintf(stderr, "texture: %s: cannot decode the picture (%s)\n", fileName, stbi_failure_reason());
    return false;
  }
  const unsigned char* source = pixels.get();
  std::vector<unsigned char> smaller;
  if (maxSide > 0 && std::max(width, height) > maxSide) {
    const double factor = static_cast<double>(maxSide) / std::max(width, height);
    const int newWidth = std::max(1, static_cast<int>(std::lround(width * factor)));
    const int newHeight = std::max(1, static_cast<int>(std::lround(height * factor)));
    smaller.resize(static_cast<size_t>(newWidth) * newHeight * pixelBytes);
    stbir_resize_uint8(source, width, height, 0, smaller.data(), newWidth, newHeight, 0, pixelBytes);
    std::fprintf(stderr, "texture: %s: %d x %d pixels, more than %d on a side; scaled down to %d x %d\n", fileName,
                 width, height, maxSide, newWidth, newHeight);
    pixels.reset();
    source = smaller.data();
    width = newWidth, height = newHeight;
  }
  if (!raster->Create(width, height, static_cast<uint16_t>(pixelBytes * 8))) {
    std::fprintf(stderr, "texture: %s: out of memory for %d x %d pixels\n", fileName, width, height);
    return false;
  }
  // The decoder gives the top row first; the raster keeps the bottom row first, so that texture
  // coordinate v = 0 is the bottom edge of the picture.
  const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
  for (int32_t y = 0; y < height; y++) {
    const unsigned char* from = source + static_cast<size_t>(height - 1 - y) * rowBytes;
    uint8_t* to = raster->m_pBits + static_cast<size_t>(y) * raster->Stride();
    std::memcpy(to, from, rowBytes);
    if (bgrBitmap)  // as the bitmap stores them: blue, green, red (, fourth byte)
      for (size_t x = 0; x < rowBytes; x += pixelBytes) std::swap(to[x], to[x + 2]);
  }
  if (bgrBitmap) ConvertBgrRasterToRgb(raster);
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
