// A direct, unoptimised transcription of the labelling algorithm (linear rewrite of the
// equivalence table on every merge), kept to check the fast labeller against.
#pragma once

#include <cstdint>
#include <vector>

struct ReferenceLabels {
  bool ok = false;  // false when more than 32768 provisional labels were needed
  std::vector<int32_t> image;  // provisional label per cell
  int32_t provisionalCount = 0;
  int32_t labelCount = 0;
  std::vector<int32_t> remap;  // final label of provisional label i + 1
  std::vector<int32_t> area;
  std::vector<double> centroid;  // x, y per region
  std::vector<int32_t> clip;     // min x, max x, min y, max y per region
};

ReferenceLabels referenceLabelImage(const uint8_t* frame, int width, int height, int threshold);
