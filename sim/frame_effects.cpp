#include "sim/frame_effects.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// splitmix64: small, fast and fully specified, so frames repeat on every platform.
struct SplitMix64 {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
};

// Standard normal deviates at the centres of 4096 equal-probability slices: drawing a slice
// uniformly gives normal noise (tails cut near 3.7 sigma), far cheaper than Box-Muller.
constexpr int kQuantileCount = 4096;

const std::vector<float>& normalQuantiles() {
  static const std::vector<float> table = [] {
    std::vector<float> values(kQuantileCount);
    for (int i = 0; i < kQuantileCount; ++i) {
      const double p = (i + 0.5) / kQuantileCount;
      double low = -10, high = 10;  // bisection on the normal distribution function
      for (int step = 0; step < 60; ++step) {
        const double mid = (low + high) / 2;
        (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p ? low : high) = mid;
      }
      values[i] = static_cast<float>((low + high) / 2);
    }
    return values;
  }();
  return table;
}

void blurLine(const float* in, float* out, int count, int stride, const std::vector<float>& kernel) {
  const int radius = static_cast<int>(kernel.size()) / 2;
  for (int i = 0; i < count; ++i) {
    float sum[3] = {0, 0, 0};
    for (int k = -radius; k <= radius; ++k) {
      const int j = std::clamp(i + k, 0, count - 1);
      const float w = kernel[k + radius];
      const float* p = in + static_cast<size_t>(j) * stride;
      sum[0] += w * p[0];
      sum[1] += w * p[1];
      sum[2] += w * p[2];
    }
    float* q = out + static_cast<size_t>(i) * stride;
    q[0] = sum[0];
    q[1] = sum[1];
    q[2] = sum[2];
  }
}

}  // namespace

void simBlurRgb(float* rgb, int width, int height, double sigma) {
  if (!(sigma > 0) || width < 1 || height < 1) return;
  sigma = std::min(sigma, 20.0);
  const int radius = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
  std::vector<float> kernel(2 * radius + 1);
  double total = 0;
  for (int k = -radius; k <= radius; ++k) total += std::exp(-0.5 * k * k / (sigma * sigma));
  for (int k = -radius; k <= radius; ++k)
    kernel[k + radius] = static_cast<float>(std::exp(-0.5 * k * k / (sigma * sigma)) / total);

  const size_t rowValues = static_cast<size_t>(width) * 3;
  std::vector<float> line(rowValues);
  for (int y = 0; y < height; ++y) {
    float* row = rgb + y * rowValues;
    blurLine(row, line.data(), width, 3, kernel);
    std::copy(line.begin(), line.end(), row);
  }
  // Vertical pass a whole row at a time, so memory is read in order.
  std::vector<float> blurred(rowValues * height, 0.0f);
  for (int y = 0; y < height; ++y) {
    float* out = blurred.data() + y * rowValues;
    for (int k = -radius; k <= radius; ++k) {
      const float w = kernel[k + radius];
      const float* in = rgb + std::clamp(y + k, 0, height - 1) * rowValues;
      for (size_t i = 0; i < rowValues; ++i) out[i] += w * in[i];
    }
  }
  std::copy(blurred.begin(), blurred.end(), rgb);
}

void simAddNoise(float* rgb, int count, double sigma, uint32_t seed) {
  if (!(sigma > 0)) return;
  const std::vector<float>& quantiles = normalQuantiles();
  SplitMix64 random{seed};
  const float scale = static_cast<float>(sigma);
  // Five 12-bit table indices per 64-bit draw.
  for (int i = 0; i < count;) {
    uint64_t bits = random.next();
    for (int n = 0; n < 5 && i < count; ++n, ++i, bits >>= 12)
      rgb[i] += scale * quantiles[bits & (kQuantileCount - 1)];
  }
}
