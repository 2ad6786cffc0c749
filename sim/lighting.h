// Lighting of a synthetic frame: how bright the scene is lit at each pixel and how the camera
// turns that into grey levels. The default record leaves every level as rendered.
//
// A rendered level v (0 .. 255) at pixel (x, y) becomes, in this order:
//   lit      = v * gain * gradient(x, y) * shadow(x, y)
//   printed  = black + lit * (255 - black) / 255      (black ink reflects, e.g. a washed-out print)
//   captured = min(255, printed * exposure)            (over-exposure clips the highlights)
// before blur and noise (SimEffects) are applied.
#pragma once

#include <cstdint>

struct SimLighting {
  double gain = 1.0;      // scene light, 0 .. 8: 0.35 is a dim room, 1 the studio
  double black = 0.0;     // level of black ink, 0 .. 254: lifted by glare or a washed-out print
  double gradient = 0.0;  // 0 .. 1: the light falls linearly from 1 to 1 - gradient across the
                          // frame, along a direction drawn from seed
  double shadow = 1.0;    // 0 .. 1: the light on the shadowed side of a straight hard edge (1: no
                          // shadow); the edge passes through a point of the central half of the
                          // frame at an angle, both drawn from seed
  double exposure = 1.0;  // 1 .. 16: levels multiplied after the ink and clipped at 255
  uint32_t seed = 1;      // the same seed gives the same gradient direction and shadow edge
};

// The light of one frame size, precomputed from a lighting record (values clamped to the ranges
// above; non-finite ones taken as their defaults).
class SimLightField {
 public:
  SimLightField(const SimLighting& lighting, int width, int height);

  // True when the lighting changes nothing, so rendering can skip it.
  bool identity() const { return identity_; }

  // Turns the rendered levels rgb[0 .. 2] of pixel (x, y) into captured ones.
  void apply(float rgb[3], int x, int y) const;

  // The light factor gain * gradient * shadow at pixel (x, y); the shadow edge is antialiased
  // over one pixel.
  double light(int x, int y) const;

 private:
  SimLighting lighting_;
  bool identity_ = true;
  double gradientDir_[2] = {1, 0};   // unit direction in which the light falls
  double gradientStart_ = 0;         // projection of the brightest frame corner on it
  double gradientSpan_ = 1;          // from the brightest to the darkest corner
  double shadowNormal_[2] = {1, 0};  // unit normal of the edge, pointing into the shadow
  double shadowOffset_ = 0;          // normal . point on the edge
};
