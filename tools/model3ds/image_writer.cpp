#include "tools/model3ds/image_writer.h"

#include <stb_image_write.h>

#include "tools/model3ds/chunk_writer.h"
#include "tools/model3ds/model_writer.h"

std::vector<uint8_t> EncodeBmp(const RgbaImage& image, int bitCount) {
  const uint32_t pixelBytes = static_cast<uint32_t>(bitCount / 8);
  const uint32_t stride = (image.width * pixelBytes + 3) / 4 * 4;
  const uint32_t dataSize = stride * image.height;
  ChunkWriter w;  // used only for its little-endian writes
  w.U8('B');
  w.U8('M');
  w.U32(14 + 40 + dataSize);
  w.U32(0);
  w.U32(14 + 40);                  // offset of the pixels
  w.U32(40);                       // info header size
  w.U32(static_cast<uint32_t>(image.width));
  w.U32(static_cast<uint32_t>(image.height));  // positive: bottom row first
  w.U16(1);                        // planes
  w.U16(static_cast<uint16_t>(bitCount));  // at byte 28
  w.U32(0);                        // uncompressed
  w.U32(dataSize);
  w.U32(2835);                     // 72 dots per inch
  w.U32(2835);
  w.U32(0);
  w.U32(0);
  for (int y = image.height - 1; y >= 0; y--) {
    const uint8_t* row = &image.pixels[static_cast<size_t>(y) * image.width * 4];
    for (int x = 0; x < image.width; x++) {
      const uint8_t* p = row + x * 4;
      w.U8(p[2]);
      w.U8(p[1]);
      w.U8(p[0]);
      if (pixelBytes == 4) w.U8(p[3]);
    }
    for (uint32_t pad = image.width * pixelBytes; pad < stride; pad++) w.U8(0);
  }
  return w.bytes();
}

bool WriteBmp(const std::string& path, const RgbaImage& image, int bitCount, std::string* error) {
  return WriteFileBytes(path, EncodeBmp(image, bitCount), error);
}

bool WritePng(const std::string& path, const RgbaImage& image, int channels, std::string* error) {
  std::vector<uint8_t> packed;
  packed.reserve(static_cast<size_t>(image.width) * image.height * channels);
  for (size_t i = 0; i < image.pixels.size(); i += 4)
    packed.insert(packed.end(), &image.pixels[i], &image.pixels[i] + channels);
  if (!stbi_write_png(path.c_str(), image.width, image.height, channels, packed.data(), image.width * channels)) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}
