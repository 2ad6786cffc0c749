// Texture images: a decoded picture held as a bottom-up raster (CJDIB) and the OpenGL texture
// made from it (CTexture).
#pragma once

#include <cstddef>
#include <cstdint>

// A device-independent raster: rows stored bottom row first (row 0 is the bottom of the
// picture), each row padded to a multiple of 4 bytes. Pixels are 3 bytes (24-bit) or 4 bytes
// (32-bit); in which byte order depends on the stage of loading (see CTexture::Load).
class CJDIB {
 public:
  CJDIB() = default;
  virtual ~CJDIB();
  CJDIB(const CJDIB&) = delete;
  CJDIB& operator=(const CJDIB&) = delete;

  // Makes a zeroed raster of width x height pixels of bitCount bits (24 or 32), replacing any
  // earlier one. False (and the raster stays empty) when a size is not positive, the bit count
  // is neither 24 nor 32, or memory cannot be obtained.
  bool Create(int32_t width, int32_t height, uint16_t bitCount);

  // Bytes from the start of one row to the next: width x bytes per pixel rounded up to 4.
  size_t Stride() const { return m_stride; }

  int32_t m_state = -1;        // -1: empty; 0: made by Create
  uint8_t* m_pBits = nullptr;  // Stride() x m_height bytes, owned; null while empty
  int32_t m_width = 0;         // pixels
  int32_t m_height = 0;        // pixels
  uint16_t m_bitCount = 0;     // 24 or 32 once created

 private:
  void Release();
  size_t m_stride = 0;
};

class CTexture {
 public:
  // Reads the image file at path (BMP, PNG, JPEG, GIF or TGA), builds m_image and uploads it
  // as an OpenGL 2D texture with linear filters and repeat wrapping; needs a current OpenGL
  // context. True on success, leaving the new texture bound and GL_TEXTURE_2D enabled. False
  // when the file cannot be read or decoded, with one line on standard output naming the file
  // and the cause; m_id then stays 0 (no texture). The texture is never deleted: it lives as
  // long as the context.
  bool Load(const char* path);

  uint32_t m_id = 0;  // OpenGL texture name; 0 = no texture
  CJDIB m_image;      // the decoded raster, kept after the upload
};
