// Test access to the renderer's internals.
#pragma once

#include "sim/synthetic_frame.h"

struct SimRendererInternals {
  static int mapSupersample(const SimRenderer& renderer) { return renderer.mapSupersample_; }
  // Renders testing every marker at every pixel: the straightforward version of render.
  static void renderEveryPixel(const SimRenderer& renderer, const SimBackground& background,
                               const SimMarker* markers, int count, const SimEffects& effects,
                               uint8_t* bgra, SimMarkerTruth* truth) {
    renderer.renderScene(background, markers, count, effects, bgra, truth, false);
  }
};
