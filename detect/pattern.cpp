#include "detect/pattern.h"

#include <cmath>
#include <cstdio>

#include "detect/pattern_internal.h"

namespace {

PatternStore gStore = {-1, {}, {}, {}};

// Values beyond this magnitude are refused so that the inverted, mean-removed templates and
// their products with a grid stay far inside integer range.
constexpr long kMaxPatternValueMagnitude = 65536;
constexpr double kFlatTemplateNorm = 1e-7;

int32_t lowestFreeSlot() {
  for (int32_t slot = 0; slot < kArMaxPatterns; slot++)
    if (gStore.slotState[slot] == 0) return slot;
  return -1;
}

// Reads the 3072 values of a file into the slot's templates (inverted). False on a short or
// malformed file.
bool readTemplates(FILE* file, int32_t slot) {
  for (int o = 0; o < 4; o++) {
    int32_t* t = gStore.templates[slot][o];
    for (int c = 0; c < 3; c++) {
      for (int cell = 0; cell < kArPatternSize * kArPatternSize; cell++) {
        long value = 0;
        if (std::fscanf(file, "%ld", &value) != 1) return false;
        if (value < -kMaxPatternValueMagnitude || value > kMaxPatternValueMagnitude) return false;
        t[cell * 3 + c] = static_cast<int32_t>(255 - value);
      }
    }
  }
  return true;
}

// Removes the mean (truncated toward zero) from one template and returns its norm.
double centreTemplate(int32_t* t) {
  int64_t sum = 0;
  for (int i = 0; i < kArPatternValues; i++) sum += t[i];
  const int32_t mean = static_cast<int32_t>(sum / kArPatternValues);
  int64_t squares = 0;
  for (int i = 0; i < kArPatternValues; i++) {
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

  FILE* file = std::fopen(filename, "r");
  if (!file) {
    std::printf("\"%s\" not found!!\n", filename);
    return -1;
  }
  const bool complete = readTemplates(file, slot);
  std::fclose(file);
  if (!complete) {
    std::printf("Pattern Data read error!!\n");
    return -1;
  }
  for (int o = 0; o < 4; o++) gStore.norm[slot][o] = centreTemplate(gStore.templates[slot][o]);
  gStore.patternCount++;
  gStore.slotState[slot] = 1;
  return slot;
}

int arMatchPattern(const uint8_t grid[kArPatternValues], int32_t* id, int32_t* dir, double* cf) {
  int32_t d[kArPatternValues];
  int32_t sum = 0;
  for (int i = 0; i < kArPatternValues; i++) {
    d[i] = 255 - grid[i];
    sum += d[i];
  }
  const int32_t mean = sum / kArPatternValues;
  int32_t squares = 0;
  for (int i = 0; i < kArPatternValues; i++) {
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
      for (int i = 0; i < kArPatternValues; i++) s += static_cast<int64_t>(d[i]) * t[i];
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
