#include "detect/pattern.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "detect/pattern_file.h"
#include "detect/pattern_internal.h"

namespace {

PatternStore gStore = {-1, {}, {}, {}};

constexpr double kFlatTemplateNorm = 1e-7;

int32_t lowestFreeSlot() {
  for (int32_t slot = 0; slot < kArMaxPatterns; slot++)
    if (gStore.slotState[slot] == 0) return slot;
  return -1;
}

// Copies the file's values into the slot's templates, inverted.
void fillTemplates(const std::vector<int>& values, int32_t slot) {
  for (int o = 0; o < 4; o++)
    for (int c = 0; c < 3; c++)
      for (int r = 0; r < kArPatternGrid; r++)
        for (int s = 0; s < kArPatternGrid; s++)
          gStore.templates[slot][o][(r * kArPatternGrid + s) * 3 + c] = 255 - values[arPatternValueIndex(o, c, r, s)];
}

// Removes the mean (truncated toward zero) from one template and returns its norm.
double centreTemplate(int32_t* t) {
  int64_t sum = 0;
  for (int i = 0; i < kArPatternBlockValues; i++) sum += t[i];
  const int32_t mean = static_cast<int32_t>(sum / kArPatternBlockValues);
  int64_t squares = 0;
  for (int i = 0; i < kArPatternBlockValues; i++) {
    t[i] -= mean;
    squares += static_cast<int64_t>(t[i]) * t[i];
  }
  const double norm = std::sqrt(static_cast<double>(squares));
  return norm == 0.0 ? kFlatTemplateNorm : norm;
}

}  // namespace

int arReadPatternFile(const char* filename) {
  if (gStore.patternCount == -1) {
    for (int32_t& state : gStore.slotState) state = 0;
    gStore.patternCount = 0;
  }
  const int32_t slot = lowestFreeSlot();
  if (slot < 0) return -1;

  std::vector<int> values;
  const ArPatternFileStatus status = arReadPatternValues(filename, &values, nullptr);
  if (status == ArPatternFileStatus::CannotOpen) {
    std::printf("\"%s\" not found!!\n", filename);
    return -1;
  }
  if (status != ArPatternFileStatus::Ok) {
    std::printf("Pattern Data read error!!\n");
    return -1;
  }
  fillTemplates(values, slot);
  for (int o = 0; o < 4; o++) gStore.norm[slot][o] = centreTemplate(gStore.templates[slot][o]);
  gStore.patternCount++;
  gStore.slotState[slot] = 1;
  return slot;
}

int arMatchPattern(const uint8_t grid[kArPatternBlockValues], int32_t* id, int32_t* dir, double* cf) {
  int32_t d[kArPatternBlockValues];
  int32_t sum = 0;
  for (int i = 0; i < kArPatternBlockValues; i++) {
    d[i] = 255 - grid[i];
    sum += d[i];
  }
  const int32_t mean = sum / kArPatternBlockValues;
  int32_t squares = 0;
  for (int i = 0; i < kArPatternBlockValues; i++) {
    d[i] -= mean;
    squares += d[i] * d[i];
  }
  const double power = std::sqrt(static_cast<double>(squares));
  if (power == 0.0) {
    *id = 0;
    *dir = 0;
    *cf = -1.0;
    return 0;
  }

  double best = 0.0;
  int32_t bestId = -1;
  int32_t bestDir = -1;
  for (int32_t p = 0; p < gStore.patternCount; p++) {
    if (gStore.slotState[p] == 0) continue;
    for (int32_t o = 0; o < 4; o++) {
      const int32_t* t = gStore.templates[p][o];
      // 64-bit so that out-of-range file values cannot overflow; for values 0 .. 255 the sum
      // stays below 768 * 255 * 255 and equals a 32-bit one.
      int64_t s = 0;
      for (int i = 0; i < kArPatternBlockValues; i++) s += static_cast<int64_t>(d[i]) * t[i];
      const double c = static_cast<double>(s) / gStore.norm[p][o] / power;
      if (c > best) {
        best = c;
        bestId = p;
        bestDir = o;
      }
    }
  }
  *id = bestId;
  *dir = bestDir;
  *cf = best;
  return 0;
}

const PatternStore* arPatternStoreView() { return &gStore; }

void arResetPatternStore() {
  gStore.patternCount = -1;
  for (int32_t& state : gStore.slotState) state = 0;
}
