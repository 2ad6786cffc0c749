// Thresholding and 8-connected labelling of one camera frame, with per-region statistics.
//
// All buffers are static and sized for the largest frame; every call overwrites them, so the
// result stays valid until the next frame is labelled. Not thread-safe.
#pragma once

#include <cstdint>

constexpr int32_t kArLabelImageCells = 1048576;  // largest frame: width * height, e.g. 1024 x 1024
constexpr int32_t kArMaxLabels = 32768;          // provisional labels per frame

// The labelled frame. Provisional and final labels count from 1; per-region arrays are indexed
// by final label - 1. The region of a label-image cell c > 0 is labelRemap[c - 1].
struct LabelSet {
  // Provisional label of each pixel, arFrameWidth x arFrameHeight, rows top to bottom; 0 is
  // background. The outermost ring of cells is always 0. Unsigned so that label 32768 stays
  // positive.
  uint16_t labelImage[kArLabelImageCells];
  int32_t provisionalCount;                  // provisional labels handed out this frame
  int32_t labelCount;                        // final labels (regions); 0 when nothing is dark
  int32_t labelRemap[kArMaxLabels];          // final label of provisional label i + 1
  // The arrays below are valid for the first labelCount entries, and only when labelCount > 0.
  int32_t labelArea[kArMaxLabels];           // pixels of the region
  double labelCentroid[kArMaxLabels][2];     // mean x, mean y of the region's pixels
  int32_t labelClip[kArMaxLabels][4];        // min x, max x, min y, max y of the region
};

// Labels the dark pixels of a BGRA frame of arFrameWidth x arFrameHeight: a pixel is dark when
// blue + green + red <= 3 * threshold. Returns the static label set, or null when the frame
// needs more than kArMaxLabels provisional labels or is larger than kArLabelImageCells (the
// frame is then not read past its first rows). Prints nothing.
const LabelSet* arLabelImage(const uint8_t* frame, int threshold);
