// Grey-level statistics of a whole frame, for choosing thresholds: a histogram of sampled
// pixels and the Otsu splits of it. A pixel's level is (blue + green + red) / 3 rounded down, so
// level <= t exactly when the pixel is dark at threshold t.
#pragma once

#include <cstdint>

struct ArLevelHistogram {
  int32_t count[256];  // sampled pixels per level
  int32_t total;       // sampled pixels
};

// Levels of about 16384 pixels spread evenly over the frame (every pixel of a small frame).
void arSampleLevels(const uint8_t* frame, int32_t width, int32_t height, ArLevelHistogram* histogram);

// The level below which the given fraction (0 .. 1) of the samples lie: the smallest level whose
// cumulative count reaches fraction * total. 0 for an empty histogram.
int arLevelPercentile(const ArLevelHistogram& histogram, double fraction);

// The threshold t in low .. high - 1 that splits the levels low .. high into [low, t] and
// [t + 1, high] with the largest between-class variance (the first of equal ones). low when the
// range holds fewer than two distinct levels.
int arOtsuThreshold(const ArLevelHistogram& histogram, int low, int high);

// The two thresholds t1 < t2 that split all levels into three classes [0, t1], [t1 + 1, t2],
// [t2 + 1, 255] with the largest between-class variance.
void arOtsuThresholds3(const ArLevelHistogram& histogram, int* t1, int* t2);
