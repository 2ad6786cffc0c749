// Synthetic camera frames with known truth: square markers at known poses seen through the
// camera model, lens distortion included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "sim/lighting.h"
#include "sim/sim_image.h"

enum class SimBackgroundKind { Flat, Gradient, Texture };

struct SimBackground {
  SimBackgroundKind kind = SimBackgroundKind::Flat;
  uint8_t grey = 128;                 // Flat: the level; Gradient: the level at the left edge
  uint8_t grey2 = 200;                // Gradient: the level at the right edge
  const SimImage* texture = nullptr;  // Texture: stretched over the frame; not owned
};

struct SimMarker {
  double width = 80;                  // side of the whole marker, border included (pose units)
  double pose[3][4];                  // marker -> camera, [R | t]; marker centre at the origin
  const SimImage* interior = nullptr; // upright interior picture; null draws a white interior
};

struct SimEffects {
  int supersample = 3;                // samples per pixel along each axis, 1..8
  double noiseSigma = 0;              // additive Gaussian noise, grey levels
  double blurSigma = 0;               // Gaussian blur, pixels
  double brightnessGradient = 0;      // relative brightness change across the frame diagonal
  SimLighting lighting;               // scene light and exposure (sim/lighting.h), before blur and noise
  uint32_t seed = 1;                  // the same seed gives the same bytes
};

struct SimMarkerTruth {
  double observed[4][2];              // corners in frame pixels (distorted), model corner order 0..3
  double ideal[4][2];                 // the same corners without lens distortion
  double pose[3][4];                  // copy of the marker's pose
  int expectedDir;                    // dir the detector should report; -1 when not drawable
  bool fullyVisible;                  // the whole marker lies in front of the camera and inside the frame
  bool dirAmbiguous = false;          // the two highest corners lie within a few pixels in y, so the
                                      // detector's choice of first corner is not certain
};

class SimRenderer {
 public:
  // Precomputes the distortion map (observed sample -> ideal point) for supersample 3: about
  // 70 ms and 22 MB for 640 x 480, so build one renderer per camera and size and keep it. A map
  // of more than 64 MB (1920 x 1080 at supersample 2) is not built; the mapping is then computed
  // where markers are drawn, with identical results.
  SimRenderer(const CameraParam& camera, int width, int height);
  // The same with the map built for another supersampling factor (1..8); other factors still
  // render, computing the mapping on the fly with identical results.
  SimRenderer(const CameraParam& camera, int width, int height, int mapSupersample);

  // False when the size is outside 1..4096 or the camera is unusable; render then does nothing.
  bool valid() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Renders BGRA (alpha 255) into bgra (width*height*4 bytes); truth gets one entry per marker.
  // Markers are drawn in order, later ones over earlier ones. A null bgra or an invalid renderer
  // draws nothing; a marker with a non-finite pose or width <= 0 is not drawn and its truth has
  // expectedDir -1. truth may be null.
  void render(const SimBackground& background, const SimMarker* markers, int count,
              const SimEffects& effects, uint8_t* bgra, SimMarkerTruth* truth) const;

 private:
  friend struct SimRendererInternals;

  // Ideal point of observed sample (column i, row j of an s x s grid) of pixel (x, y).
  void sampleIdeal(int x, int y, int i, int j, int s, double* ix, double* iy) const;
  void renderScene(const SimBackground& background, const SimMarker* markers, int count,
                   const SimEffects& effects, uint8_t* bgra, SimMarkerTruth* truth,
                   bool boundToBoxes) const;

  CameraParam camera_;
  int width_ = 0, height_ = 0;
  int mapSupersample_ = 0;
  std::vector<float> mapOffset_;      // ideal - observed per map sample, x then y
  std::string error_;
};
