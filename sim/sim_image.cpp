#include "sim/sim_image.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "sim/pattern_picture.h"

namespace {

void setError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

// CRC-32 as PNG chunks use it (polynomial 0xEDB88320).
uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFFu) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

void putBigEndian32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

// A pHYs chunk (pixels per metre, both axes) to insert after IHDR.
std::vector<uint8_t> physChunk(uint32_t pixelsPerMetre) {
  std::vector<uint8_t> chunk;
  putBigEndian32(&chunk, 9);
  const char* type = "pHYs";
  chunk.insert(chunk.end(), type, type + 4);
  putBigEndian32(&chunk, pixelsPerMetre);
  putBigEndian32(&chunk, pixelsPerMetre);
  chunk.push_back(1);  // unit: metre
  const uint32_t crc = crc32(chunk.data() + 4, chunk.size() - 4) ^ 0xFFFFFFFFu;
  putBigEndian32(&chunk, crc);
  return chunk;
}

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool simLoadImage(const std::string& path, SimImage* out, std::string* error) {
  *out = SimImage();
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    setError(error, "\"" + path + "\": is a folder, not an image");
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    setError(error, "\"" + path + "\": cannot open: " + std::strerror(errno));
    return false;
  }
  int width = 0, height = 0, channels = 0;
  stbi_uc* data = stbi_load_from_file(file, &width, &height, &channels, 0);
  std::fclose(file);
  if (!data) {
    setError(error, "\"" + path + "\": not a readable PNG, BMP or JPEG image (" +
                        stbi_failure_reason() + ")");
    return false;
  }
  if (channels == 2) {  // grey + alpha: keep as RGBA so alpha is not lost
    out->pixels.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
      out->pixels[i * 4 + 0] = out->pixels[i * 4 + 1] = out->pixels[i * 4 + 2] = data[i * 2];
      out->pixels[i * 4 + 3] = data[i * 2 + 1];
    }
    channels = 4;
  } else {
    out->pixels.assign(data, data + static_cast<size_t>(width) * height * channels);
  }
  stbi_image_free(data);
  out->width = width;
  out->height = height;
  out->channels = channels;
  return true;
}

bool simPictureFromPatternFile(const std::string& path, SimImage* out, std::string* error) {
  std::vector<int> values;
  if (arReadPatternValues(path, &values, error) != ArPatternFileStatus::Ok) return false;
  return simPictureFromPatternValues(values, out);
}

bool simWritePng(const std::string& path, const SimImage& image, std::string* error,
                 double pixelsPerMetre) {
  const bool shapeOk = image.width > 0 && image.height > 0 &&
                       (image.channels == 1 || image.channels == 3 || image.channels == 4) &&
                       image.pixels.size() ==
                           static_cast<size_t>(image.width) * image.height * image.channels;
  if (!shapeOk) {
    setError(error, "\"" + path + "\": cannot write an empty or inconsistent image");
    return false;
  }
  std::vector<uint8_t> png;
  if (!stbi_write_png_to_func(appendBytes, &png, image.width, image.height, image.channels,
                              image.pixels.data(), image.width * image.channels)) {
    setError(error, "\"" + path + "\": PNG encoding failed");
    return false;
  }
  // The signature (8 bytes) and the IHDR chunk (25 bytes) come first; pHYs goes right after.
  if (pixelsPerMetre > 0 && png.size() > 33) {
    const std::vector<uint8_t> chunk = physChunk(static_cast<uint32_t>(std::lround(pixelsPerMetre)));
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    setError(error, "\"" + path + "\": cannot create: " + std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    setError(error, "\"" + path + "\": write failed: " + std::strerror(errno));
    std::remove(path.c_str());
    return false;
  }
  return true;
}
