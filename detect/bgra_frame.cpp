#include "detect/bgra_frame.h"

#include <cstddef>

namespace {

// Copies a picture of Channels bytes per pixel (grey; red, green, blue; or red, green, blue,
// alpha) into BGRA.
template <int Channels>
int toBgra(const uint8_t* picture, int width, int height, int rowBytes, std::vector<uint8_t>* frame) {
  if (!picture || !frame || width <= 0 || height <= 0 ||
      static_cast<int64_t>(rowBytes) < static_cast<int64_t>(width) * Channels) {
    return -1;
  }
  constexpr int kGreen = Channels >= 3 ? 1 : 0;
  constexpr int kBlue = Channels >= 3 ? 2 : 0;
  frame->resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  uint8_t* out = frame->data();
  for (int y = 0; y < height; y++) {
    const uint8_t* in = picture + static_cast<ptrdiff_t>(y) * rowBytes;
    for (int x = 0; x < width; x++, in += Channels, out += 4) {
      out[0] = in[kBlue];
      out[1] = in[kGreen];
      out[2] = in[0];
      out[3] = Channels == 4 ? in[3] : 255;
    }
  }
  return 0;
}

}  // namespace

int arBgraFrameFromGrey(const uint8_t* grey, int width, int height, int rowBytes, std::vector<uint8_t>* frame) {
  return toBgra<1>(grey, width, height, rowBytes, frame);
}

int arBgraFrameFromRgb(const uint8_t* rgb, int width, int height, int rowBytes, std::vector<uint8_t>* frame) {
  return toBgra<3>(rgb, width, height, rowBytes, frame);
}

int arBgraFrameFromRgba(const uint8_t* rgba, int width, int height, int rowBytes, std::vector<uint8_t>* frame) {
  return toBgra<4>(rgba, width, height, rowBytes, frame);
}
