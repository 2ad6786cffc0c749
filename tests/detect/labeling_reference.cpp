#include "labeling_reference.h"

#include <algorithm>

ReferenceLabels referenceLabelImage(const uint8_t* frame, int width, int height, int threshold) {
  ReferenceLabels out;
  out.image.assign(static_cast<size_t>(width) * height, 0);
  std::vector<int32_t> eq(32769);
  std::vector<int64_t> stats(7 * 32769);  // count, sum x, sum y, min x, max x, min y, max y
  int32_t n = 0;
  auto cell = [&](int x, int y) -> int32_t& { return out.image[static_cast<size_t>(y) * width + x]; };
  auto update = [&](int32_t label, int x, int y) {
    int64_t* s = &stats[7 * label];
    s[0]++;
    s[1] += x;
    s[2] += y;
  };
  auto merge = [&](int32_t p, int32_t q) {
    const int32_t m = eq[p], k = eq[q];
    const int32_t lo = std::min(m, k), hi = std::max(m, k);
    if (m != k)
      for (int32_t i = 1; i <= n; i++)
        if (eq[i] == hi) eq[i] = lo;
    return lo;
  };
  for (int y = 1; y < height - 1; y++) {
    for (int x = 1; x < width - 1; x++) {
      const uint8_t* p = frame + (static_cast<size_t>(y) * width + x) * 4;
      if (p[0] + p[1] + p[2] > 3 * threshold) {
        cell(x, y) = 0;
        continue;
      }
      const int32_t up = cell(x, y - 1), upRight = cell(x + 1, y - 1), upLeft = cell(x - 1, y - 1),
                    left = cell(x - 1, y);
      int32_t label;
      if (up > 0) {
        label = up;
        update(label, x, y);
        stats[7 * label + 6] = y;
      } else if (upRight > 0 && upLeft > 0) {
        label = merge(upRight, upLeft);
        update(label, x, y);
        stats[7 * label + 6] = y;
      } else if (upRight > 0 && left > 0) {
        label = merge(upRight, left);
        update(label, x, y);
      } else if (upRight > 0) {
        label = upRight;
        update(label, x, y);
        stats[7 * label + 3] = std::min<int64_t>(stats[7 * label + 3], x);
        stats[7 * label + 6] = y;
      } else if (upLeft > 0) {
        label = upLeft;
        update(label, x, y);
        stats[7 * label + 4] = std::max<int64_t>(stats[7 * label + 4], x);
        stats[7 * label + 6] = y;
      } else if (left > 0) {
        label = left;
        update(label, x, y);
        stats[7 * label + 4] = std::max<int64_t>(stats[7 * label + 4], x);
      } else {
        if (n == 32768) return out;
        label = ++n;
        eq[label] = label;
        int64_t* s = &stats[7 * label];
        s[0] = 1;
        s[1] = x;
        s[2] = y;
        s[3] = s[4] = x;
        s[5] = s[6] = y;
      }
      cell(x, y) = label;
    }
  }
  out.ok = true;
  out.provisionalCount = n;
  int32_t k = 1;
  for (int32_t i = 1; i <= n; i++) eq[i] = (eq[i] == i) ? k++ : eq[eq[i]];
  out.labelCount = k - 1;
  out.remap.assign(eq.begin() + 1, eq.begin() + 1 + n);
  out.area.assign(out.labelCount, 0);
  out.centroid.assign(2 * out.labelCount, 0.0);
  out.clip.clear();
  for (int32_t f = 0; f < out.labelCount; f++) {
    out.clip.insert(out.clip.end(), {width, 0, height, 0});
  }
  for (int32_t i = 1; i <= n; i++) {
    const int32_t f = eq[i] - 1;
    const int64_t* s = &stats[7 * i];
    out.area[f] += static_cast<int32_t>(s[0]);
    out.centroid[2 * f] += static_cast<double>(s[1]);
    out.centroid[2 * f + 1] += static_cast<double>(s[2]);
    out.clip[4 * f] = std::min<int32_t>(out.clip[4 * f], static_cast<int32_t>(s[3]));
    out.clip[4 * f + 1] = std::max<int32_t>(out.clip[4 * f + 1], static_cast<int32_t>(s[4]));
    out.clip[4 * f + 2] = std::min<int32_t>(out.clip[4 * f + 2], static_cast<int32_t>(s[5]));
    out.clip[4 * f + 3] = std::max<int32_t>(out.clip[4 * f + 3], static_cast<int32_t>(s[6]));
  }
  for (int32_t f = 0; f < out.labelCount; f++) {
    out.centroid[2 * f] /= out.area[f];
    out.centroid[2 * f + 1] /= out.area[f];
  }
  return out;
}
