#include "sim/lighting.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr double kPi = 3.14159265358979323846;

double finiteIn(double value, double low, double high, double fallback) {
  return std::isfinite(value) ? std::clamp(value, low, high) : fallback;
}

// Uniform in [low, high) from the standard-defined mt19937 sequence, the same on every library.
double uniform(std::mt19937& rng, double low, double high) {
  return low + (high - low) * (static_cast<double>(rng()) / 4294967296.0);
}

}  // namespace

SimLightField::SimLightField(const SimLighting& lighting, int width, int height) {
  lighting_.gain = finiteIn(lighting.gain, 0.0, 8.0, 1.0);
  lighting_.black = finiteIn(lighting.black, 0.0, 254.0, 0.0);
  lighting_.gradient = finiteIn(lighting.gradient, 0.0, 1.0, 0.0);
  lighting_.shadow = finiteIn(lighting.shadow, 0.0, 1.0, 1.0);
  lighting_.exposure = finiteIn(lighting.exposure, 1.0, 16.0, 1.0);
  lighting_.seed = lighting.seed;
  identity_ = lighting_.gain == 1.0 && lighting_.black == 0.0 && lighting_.gradient == 0.0 &&
              lighting_.shadow == 1.0 && lighting_.exposure == 1.0;

  std::mt19937 rng(lighting.seed);
  const double gradientAngle = uniform(rng, 0, 2 * kPi);
  gradientDir_[0] = std::cos(gradientAngle);
  gradientDir_[1] = std::sin(gradientAngle);
  double low = 1e300, high = -1e300;
  for (double cx : {0.0, width - 1.0})
    for (double cy : {0.0, height - 1.0}) {
      const double along = cx * gradientDir_[0] + cy * gradientDir_[1];
      low = std::min(low, along);
      high = std::max(high, along);
    }
  gradientStart_ = low;
  gradientSpan_ = std::max(high - low, 1.0);

  const double px = uniform(rng, 0.25, 0.75) * width, py = uniform(rng, 0.25, 0.75) * height;
  const double shadowAngle = uniform(rng, 0, 2 * kPi);
  shadowNormal_[0] = std::cos(shadowAngle);
  shadowNormal_[1] = std::sin(shadowAngle);
  shadowOffset_ = px * shadowNormal_[0] + py * shadowNormal_[1];
}

double SimLightField::light(int x, int y) const {
  double factor = lighting_.gain;
  if (lighting_.gradient > 0) {
    const double t = (x * gradientDir_[0] + y * gradientDir_[1] - gradientStart_) / gradientSpan_;
    factor *= 1 - lighting_.gradient * t;
  }
  if (lighting_.shadow < 1) {
    const double depth = x * shadowNormal_[0] + y * shadowNormal_[1] - shadowOffset_;
    const double covered = std::clamp(depth + 0.5, 0.0, 1.0);
    factor *= 1 - (1 - lighting_.shadow) * covered;
  }
  return factor;
}

void SimLightField::apply(float rgb[3], int x, int y) const {
  const double factor = light(x, y);
  for (int c = 0; c < 3; c++) {
    const double printed = lighting_.black + rgb[c] * factor * (255.0 - lighting_.black) / 255.0;
    rgb[c] = static_cast<float>(std::min(255.0, printed * lighting_.exposure));
  }
}
