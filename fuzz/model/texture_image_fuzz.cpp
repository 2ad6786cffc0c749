// Fuzz target for texture pictures: decoding into the bottom-up raster, without OpenGL, pictures
// wider or taller than 256 pixels scaled down.
#include <cstdint>
#include <cstdlib>

#include "model/dib_raster.h"
#include "model/texture_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CJDIB raster;
  if (!DecodeTextureImage(data, size, "fuzz.img", &raster, 256)) return 0;
  if (raster.m_width > 256 || raster.m_height > 256) std::abort();
  if (raster.m_pBits == nullptr || raster.m_width <= 0 || raster.m_height <= 0) std::abort();
  if (raster.m_bitCount != 24 && raster.m_bitCount != 32) std::abort();
  // Touch the last byte of the raster: it must exist.
  volatile uint8_t last = raster.m_pBits[raster.Stride() * raster.m_height - 1];
  (void)last;
  return 0;
}
