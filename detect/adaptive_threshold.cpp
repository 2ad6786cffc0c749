#include "detect/adaptive_threshold.h"

#include <algorithm>
#include <cstring>

void ArAdaptiveRows::start(const uint8_t* frame, int32_t width, int32_t height, int radius, int level,
                           int blackSum) {
  frame_ = frame;
  width_ = width;
  height_ = height;
  radius_ = radius;
  ringRows_ = 2 * radius + 2;  // the window and the row leaving it
  level_ = static_cast<float>(level) / 100.0f;
  black_ = static_cast<float>(blackSum);
  const size_t w = static_cast<size_t>(width);
  if (ring_.size() < w * ringRows_) ring_.resize(w * ringRows_);
  if (columnSums_.size() < w) {
    columnSums_.resize(w);
    columnWeight_.resize(w);
    means_.resize(w);
  }
  std::fill(columnSums_.begin(), columnSums_.begin() + width, 0);
  for (int32_t x = 0; x < width; x++) {
    const int32_t columns = std::min(width - 1, x + radius) - std::max(0, x - radius) + 1;
    columnWeight_[x] = 1.0f / static_cast<float>(columns);
  }
  windowFirst_ = 0;
  windowLast_ = -1;
}

void ArAdaptiveRows::loadRow(int32_t y) {
  const uint8_t* p = frame_ + static_cast<size_t>(y) * width_ * 4;
  uint16_t* out = &ring_[static_cast<size_t>(y % ringRows_) * width_];
  for (int32_t x = 0; x < width_; x++) out[x] = static_cast<uint16_t>(p[4 * x] + p[4 * x + 1] + p[4 * x + 2]);
}

void ArAdaptiveRows::addRow(int32_t y, int sign) {
  const uint16_t* row = sumRow(y);
  int32_t* sums = columnSums_.data();
  if (sign > 0) {
    for (int32_t x = 0; x < width_; x++) sums[x] += row[x];
  } else {
    for (int32_t x = 0; x < width_; x++) sums[x] -= row[x];
  }
}

void ArAdaptiveRows::markRow(int32_t y, uint8_t* dark) {
  // Bring the column sums to the window of row y: rows y - radius .. y + radius. A new row is
  // loaded before the oldest leaves, so the ring holds 2 radius + 2 rows.
  const int32_t first = std::max(0, y - radius_);
  const int32_t last = std::min(height_ - 1, y + radius_);
  for (; windowLast_ < last; windowLast_++) {
    loadRow(windowLast_ + 1);
    addRow(windowLast_ + 1, +1);
  }
  for (; windowFirst_ < first; windowFirst_++) addRow(windowFirst_, -1);
  const float rowWeight = 1.0f / static_cast<float>(last - first + 1);

  // Sliding sum of the column sums along the row, then the dark limit of each pixel.
  const int32_t* sums = columnSums_.data();
  float* means = means_.data();
  int32_t window = 0;
  for (int32_t x = 0; x <= std::min(width_ - 1, radius_); x++) window += sums[x];
  for (int32_t x = 0; x < width_; x++) {
    means[x] = static_cast<float>(window) * columnWeight_[x] * rowWeight;
    if (x + radius_ + 1 < width_) window += sums[x + radius_ + 1];
    if (x - radius_ >= 0) window -= sums[x - radius_];
  }
  const uint16_t* level = sumRow(y);
  const float black = black_, keep = level_;
  for (int32_t x = 1; x < width_ - 1; x++)
    dark[x] = static_cast<uint8_t>(static_cast<float>(level[x]) <= black + keep * (means[x] - black));
}
