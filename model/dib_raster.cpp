#include "model/dib_raster.h"

#include <new>

CJDIB::~CJDIB() { Release(); }

void CJDIB::Release() {
  delete[] m_pBits;
  m_pBits = nullptr;
  m_state = -1;
  m_width = m_height = 0;
  m_bitCount = 0;
  m_stride = 0;
}

bool CJDIB::Create(int32_t width, int32_t height, uint16_t bitCount) {
  Release();
  if (width <= 0 || height <= 0 || (bitCount != 24 && bitCount != 32)) return false;
  const size_t stride = (static_cast<size_t>(width) * (bitCount / 8) + 3) / 4 * 4;
  m_pBits = new (std::nothrow) uint8_t[stride * static_cast<size_t>(height)]();
  if (m_pBits == nullptr) return false;
  m_state = 0;
  m_width = width;
  m_height = height;
  m_bitCount = bitCount;
  m_stride = stride;
  return true;
}
