// Test access to the renderer's internals.
#pragma once

#include "sim/synthetic_frame.h"

struct SimRendererInternals {
  // Ideal point the renderer uses for one observed sample (from the map or computed on the fly).
  static void sampleIdeal(const SimRenderer& renderer, int x, int y, int i, int j, int s,
                          double* ix, double* iy) {
    renderer.sampleIdeal(x, y, i, j, s, ix, iy);
  }
  static int mapSupersample(const SimRenderer& renderer) { return renderer.mapSupersample_; }
  // Renders testing every marker at every pixel: the straightforward version of render.
  static void renderEveryPixel(const SimRenderer& renderer, const SimBackground& background,
                               const SimMarker* markers, int count, const SimEffects& effects,
                               uint8_t* bgra, SimMarkerTruth* truth) {
    renderer.renderScene(background, markers, count, effects, bgra, truth, false);
  }
};
