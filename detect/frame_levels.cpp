#include "detect/frame_levels.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t kWantedSamples = 16384;

// Cumulative counts and level sums: n[i] and s[i] over levels 0 .. i - 1.
struct Prefix {
  double n[257], s[257];
  explicit Prefix(const ArLevelHistogram& h) {
    n[0] = s[0] = 0;
    for (int i = 0; i < 256; i++) {
      n[i + 1] = n[i] + h.count[i];
      s[i + 1] = s[i] + static_cast<double>(h.count[i]) * i;
    }
  }
  // Count and sum of the levels a .. b.
  double count(int a, int b) const { return n[b + 1] - n[a]; }
  double sum(int a, int b) const { return s[b + 1] - s[a]; }
  // Class weight times its squared mean, the class's share of the between-class variance.
  double share(int a, int b) const {
    const double c = count(a, b);
    return c > 0 ? sum(a, b) * sum(a, b) / c : 0.0;
  }
};

}  // namespace

void arSampleLevels(const uint8_t* frame, int32_t width, int32_t height, ArLevelHistogram* histogram) {
  std::fill(histogram->count, histogram->count + 256, 0);
  histogram->total = 0;
  if (!frame || width <= 0 || height <= 0) return;
  const int64_t pixels = static_cast<int64_t>(width) * height;
  const int32_t step = std::max<int32_t>(1, static_cast<int32_t>(std::sqrt(static_cast<double>(pixels) / kWantedSamples)));
  for (int32_t y = step / 2; y < height; y += step) {
    const uint8_t* row = frame + static_cast<size_t>(y) * width * 4;
    for (int32_t x = step / 2; x < width; x += step) {
      const uint8_t* p = row + 4 * x;
      histogram->count[(p[0] + p[1] + p[2]) / 3]++;
      histogram->total++;
    }
  }
}

int arLevelPercentile(const ArLevelHistogram& histogram, double fraction) {
  const double wanted = fraction * histogram.total;
  double cumulative = 0;
  for (int level = 0; level < 256; level++) {
    cumulative += histogram.count[level];
    if (cumulative >= wanted && cumulative > 0) return level;
  }
  return 0;
}

int arOtsuThreshold(const ArLevelHistogram& histogram, int low, int high) {
  const Prefix p(histogram);
  int best = low;
  double bestValue = -1;
  for (int t = low; t < high; t++) {
    if (p.count(low, t) == 0 || p.count(t + 1, high) == 0) continue;
    const double value = p.share(low, t) + p.share(t + 1, high);
    if (value > bestValue) {
      bestValue = value;
      best = t;
    }
  }
  return best;
}

void arOtsuThresholds3(const ArLevelHistogram& histogram, int* t1, int* t2) {
  // Maximising the sum of count * mean^2 over the classes maximises the between-class variance,
  // since the total count and mean are fixed.
  const Prefix p(histogram);
  double bestValue = -1;
  *t1 = 0;
  *t2 = 1;
  for (int a = 0; a < 254; a++) {
    const double first = p.share(0, a);
    for (int b = a + 1; b < 255; b++) {
      const double value = first + p.share(a + 1, b) + p.share(b + 1, 255);
      if (value > bestValue) {
        bestValue = value;
        *t1 = a;
        *t2 = b;
      }
    }
  }
}
