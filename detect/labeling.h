// Thresholding and 8-connected labelling of one camera frame, with per-region statistics.
//
// The buffers are process-wide and reused by every call, so the result stays valid until the
// next frame is labelled. The per-pixel ones grow with the frame size: they are allocated again
// only when a frame is larger than any before, never for a frame of a size already seen.
// Not thread-safe.
#pragma once

#include <cstdint>

#include "detect/detection.h"

constexpr int32_t kArMaxLabels = 32768;            // provisional labels per frame

// The labelled frame. Provisional and final labels count from 1; per-region arrays are indexed
// by final label - 1. The region of a label-image cell c > 0 is labelRemap[c - 1].
struct LabelSet {
  // Provisional label of each pixel, arFrameWidth x arFrameHeight, rows top to bottom; 0 is
  // background. The outermost ring of cells is always 0. Unsigned so that label 32768 stays
  // positive. Points into storage of at least the frame's size.
  uint16_t* labelImage;
  int32_t provisionalCount;                  // provisional labels handed out this frame
  int32_t labelCount;                        // final labels (regions); 0 when nothing is dark
  int32_t labelRemap[kArMaxLabels];          // final label of provisional label i + 1
  // The arrays below are valid for the first labelCount entries, and only when labelCount > 0.
  int32_t labelArea[kArMaxLabels];           // pixels of the region
  double labelCentroid[kArMaxLabels][2];     // mean x, mean y of the region's pixels
  int32_t labelClip[kArMaxLabels][4];        // min x, max x, min y, max y of the region
};

// Why a frame could not be labelled.
enum class ArLabelFailure { None, FrameTooLarge, OutOfMemory, TooManyLabels };

// Labels the dark pixels of a BGRA frame of arFrameWidth x arFrameHeight: a pixel is dark when
// blue + green + red <= 3 * threshold. Returns the label set, or null when the frame needs more
// than kArMaxLabels provisional labels, has more than kArMaxFramePixels pixels (it is then not
// read) or its buffers cannot be allocated; *failure (when given) says which. Prints nothing.
const LabelSet* arLabelImage(const uint8_t* frame, int threshold, ArLabelFailure* failure = nullptr);

// The same with a local decision: a pixel is dark when its blue + green + red is at most
// blackSum + level / 100 * (mean - blackSum), mean being the average blue + green + red over the
// (2 radius + 1)-pixel square around it (centred on its row rounded down to even; cut at the
// frame edges) and blackSum the frame's black
// level on the same 0 .. 765 scale. radius 1 .. kArMaxAdaptiveRadius, level 0 .. 100.
const LabelSet* arLabelImageAdaptive(const uint8_t* frame, int radius, int level, int blackSum,
                                     ArLabelFailure* failure = nullptr);
