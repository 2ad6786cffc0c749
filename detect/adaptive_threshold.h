// The local dark/light decision of the adaptive threshold mode, one frame row at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Box means of blue + green + red over a (2 radius + 1)-pixel square, cut at the frame edges,
// kept as running column sums over a ring of the rows in the window, so each pixel costs a few
// additions whatever the radius.
class ArAdaptiveRows {
 public:
  // Starts a frame. The window of a pixel in row y is centred on row y rounded down to even, so
  // two rows share one. radius 1 .. kArMaxAdaptiveRadius, level 0 .. 100, blackSum 0 .. 765. Throws
  // std::bad_alloc when the buffers cannot grow to the frame width.
  void start(const uint8_t* frame, int32_t width, int32_t height, int radius, int level, int blackSum);

  // dark[x] = 1 where pixel (x, y) is at most blackSum + level% of (mean - blackSum), else 0, for
  // x = 1 .. width - 2. Rows must come in order 1, 2, ..., height - 2.
  void markRow(int32_t y, uint8_t* dark);

 private:
  const uint16_t* sumRow(int32_t y) const { return &ring_[static_cast<size_t>(y % ringRows_) * width_]; }
  void loadRow(int32_t y);           // blue + green + red of row y into its ring slot
  void addRow(int32_t y, int sign);  // column sums += or -= row y
  void computeMeans(int32_t first, int32_t last);

  const uint8_t* frame_ = nullptr;
  int32_t width_ = 0, height_ = 0, radius_ = 0, ringRows_ = 0;
  float level_ = 0, black_ = 0;
  int32_t windowFirst_ = 0, windowLast_ = -1;  // frame rows in the column sums
  int32_t meansRow_ = -1;                       // the row whose window means_ holds
  std::vector<uint16_t> ring_;       // the last 2 radius + 3 rows of sums
  std::vector<int32_t> columnSums_;  // per column, over the rows of the window
  std::vector<float> columnWeight_;  // 1 / columns in the window of each x
  std::vector<uint32_t> totals_;     // running total of the column sums, width + 1 entries
  std::vector<float> means_;         // per x of the current row: the window sum
};
