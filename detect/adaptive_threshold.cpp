#include "detect/adaptive_threshold.h"

#include <algorithm>
#include <cstring>

void ArAdaptiveRows::start(const uint8_t* frame, int32_t width, int32_t height, int radius, int level,
                           int blackSum) {
  frame_ = frame;
  width_ = width;
  height_ = height;
  radius_ = radius;
  ringRows_ = 2 * radius + 3;  // the window and the two rows leaving it
  level_ = static_cast<float>(level) / 100.0f;
  black_ = static_cast<float>(blackSum);
  const size_t w = static_cast<size_t>(width);
  if (ring_.size() < w * ringRows_) ring_.resize(w * ringRows_);
  if (columnSums_.size() < w) {
    columnSums_.resize(w);
    columnWeight_.resize(w);
    means_.resize(w);
    totals_.resize(w + 1);
  }
  std::fill(columnSums_.begin(), columnSums_.begin() + width, 0);
  for (int32_t x = 0; x < width; x++) {
    const int32_t columns = std::min(width - 1, x + radius) - std::max(0, x - radius) + 1;
    columnWeight_[x] = 1.0f / static_cast<float>(columns);
  }
  windowFirst_ = 0;
  windowLast_ = -1;
  meansRow_ = -1;
}

void ArAdaptiveRows::loadRow(int32_t y) {
  // Locals and restrict pointers throughout: the row loops vectorise only when the compiler
  // knows the buffers and the members do not overlap.
  const int32_t width = width_;
  const uint8_t* __restrict p = frame_ + static_cast<size_t>(y) * width * 4;
  uint16_t* __restrict out = &ring_[static_cast<size_t>(y % ringRows_) * width];
  for (int32_t x = 0; x < width; x++) out[x] = static_cast<uint16_t>(p[4 * x] + p[4 * x + 1] + p[4 * x + 2]);
}

void ArAdaptiveRows::addRow(int32_t y, int sign) {
  const int32_t width = width_;
  const uint16_t* __restrict row = sumRow(y);
  int32_t* __restrict sums = columnSums_.data();
  if (sign > 0) {
    for (int32_t x = 0; x < width; x++) sums[x] += row[x];
  } else {
    for (int32_t x = 0; x < width; x++) sums[x] -= row[x];
  }
}

// Brings the column sums to the window rows first .. last (a new row is loaded before the oldest
// leaves, so the ring holds the window and the two rows leaving it) and sets means_ to the window
// sums along the row.
void ArAdaptiveRows::computeMeans(int32_t first, int32_t last) {
  for (; windowLast_ < last; windowLast_++) {
    loadRow(windowLast_ + 1);
    addRow(windowLast_ + 1, +1);
  }
  for (; windowFirst_ < first; windowFirst_++) addRow(windowFirst_, -1);

  // Window sums from a running total of the column sums: the difference of two totals. The
  // totals may wrap around in 32 bits; the differences (below 2^25) stay exact.
  const int32_t width = width_, radius = radius_;
  const int32_t* __restrict sums = columnSums_.data();
  uint32_t* __restrict total = totals_.data();  // total[i] = sums[0] + ... + sums[i - 1]
  total[0] = 0;
  for (int32_t i = 0; i < width; i++) total[i + 1] = total[i] + static_cast<uint32_t>(sums[i]);
  float* __restrict means = means_.data();
  const int32_t leftEnd = std::min(width, radius), rightStart = std::max(leftEnd, width - radius - 1);
  for (int32_t x = 0; x < leftEnd; x++) means[x] = static_cast<float>(total[std::min(width, x + radius + 1)]);
  const uint32_t* __restrict ahead = total + radius + 1;
  const uint32_t* __restrict behind = total - radius;
  for (int32_t x = leftEnd; x < rightStart; x++) means[x] = static_cast<float>(ahead[x] - behind[x]);
  for (int32_t x = rightStart; x < width; x++) means[x] = static_cast<float>(total[width] - total[std::max(0, x - radius)]);
}

void ArAdaptiveRows::markRow(int32_t y, uint8_t* dark) {
  // Rows 2k and 2k + 1 share the window centred on row 2k: the means then cost half as much,
  // and a window is never more than a row off centre.
  const int32_t centre = y & ~1;
  const int32_t first = std::max(0, centre - radius_);
  const int32_t last = std::min(height_ - 1, centre + radius_);
  if (meansRow_ != centre) computeMeans(first, last);
  meansRow_ = centre;

  // dark when level <= black + keep * (mean - black), mean = window sum * column weight * row weight.
  const int32_t width = width_;
  const float* __restrict means = means_.data();
  const float rowWeight = 1.0f / static_cast<float>(last - first + 1);
  const float* __restrict columnWeight = columnWeight_.data();
  const uint16_t* __restrict level = sumRow(y);
  const float black = black_, keep = level_;
  const float base = black - keep * black, scale = keep * rowWeight;
  uint8_t* __restrict out = dark;
  for (int32_t i = 1; i < width - 1; i++)
    out[i] = static_cast<uint8_t>(static_cast<float>(level[i]) <= base + scale * (means[i] * columnWeight[i]));
}
