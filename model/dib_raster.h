// A device-independent raster: the decoded picture of a texture, as OpenGL receives it.
#pragma once

#include <cstddef>
#include <cstdint>

// Rows stored bottom row first (row 0 is the bottom of the picture), each row padded to a
// multiple of 4 bytes. Pixels are 3 bytes (24-bit) or 4 bytes (32-bit); in which byte order
// depends on the stage of loading (see CTexture::Load).
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
