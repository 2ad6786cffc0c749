#include "sim/synthetic_frame.h"

SimRenderer::SimRenderer(const CameraParam& camera, int width, int height)
    : SimRenderer(camera, width, height, 3) {}

SimRenderer::SimRenderer(const CameraParam& camera, int width, int height, int mapSupersample)
    : camera_(camera), width_(width), height_(height), mapSupersample_(mapSupersample) {
  if (width < 1 || width > 1024 || height < 1 || height > 1024) error_ = "frame size out of range";
}

void SimRenderer::render(const SimBackground& background, const SimMarker*, int count,
                         const SimEffects&, uint8_t* bgra, SimMarkerTruth* truth) const {
  if (!valid() || !bgra) return;
  for (int i = 0; i < width_ * height_; ++i) {
    bgra[i * 4] = bgra[i * 4 + 1] = bgra[i * 4 + 2] = background.grey;
    bgra[i * 4 + 3] = 255;
  }
  for (int m = 0; truth && m < count; ++m) truth[m].expectedDir = -1;
}
