#include "detect/labeling.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "camera/camera_param.h"
#include "detect/adaptive_threshold.h"

namespace {

// Running statistics of one provisional label. The sums are 64-bit because a tall, narrow frame
// of a million cells can sum y beyond 32 bits.
struct ProvisionalStats {
  int32_t count;
  int64_t sumX;
  int64_t sumY;
  int32_t minX, maxX, minY, maxY;
};

LabelSet gLabels;
ProvisionalStats gStats[kArMaxLabels];
std::vector<uint16_t> gImage;   // storage of gLabels.labelImage, as large as the largest frame
std::vector<uint8_t> gDarkRow;  // 1 where the pixel of the current row is dark
ArAdaptiveRows gAdaptive;

// The equivalence table (labelRemap during the scan) is kept as a forest in which every entry
// points to a smaller label of its class and each class's root is its smallest label. This gives
// the same representatives, label image and resolved table as rewriting every entry on each
// merge, at a fraction of the cost on noisy frames.
inline int32_t findClass(int32_t* eq, int32_t label) {
  while (eq[label - 1] != label) {
    eq[label - 1] = eq[eq[label - 1] - 1];
    label = eq[label - 1];
  }
  return label;
}

inline int32_t mergeClasses(int32_t* eq, int32_t p, int32_t q) {
  const int32_t m = findClass(eq, p);
  const int32_t n = findClass(eq, q);
  if (m < n) {
    eq[n - 1] = m;
    return m;
  }
  if (n < m) eq[m - 1] = n;
  return n;
}

inline void addPixel(ProvisionalStats& s, int32_t x, int32_t y) {
  s.count++;
  s.sumX += x;
  s.sumY += y;
}

void clearBorderRing(uint16_t* image, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  std::memset(image, 0, sizeof(uint16_t) * width);
  std::memset(image + static_cast<size_t>(height - 1) * width, 0, sizeof(uint16_t) * width);
  for (int32_t y = 1; y < height - 1; y++) {
    image[static_cast<size_t>(y) * width] = 0;
    image[static_cast<size_t>(y) * width + width - 1] = 0;
  }
}

// Marks the dark pixels of one frame row, columns 1 .. width - 2. Branch-free over whole 32-bit
// pixels so that the compiler vectorises it; the labelling loop then only branches on the flags.
void markDarkPixels(const uint8_t* row, int32_t width, int limit, uint8_t* dark) {
  constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
  for (int32_t x = 1; x < width - 1; x++) {
    uint32_t pixel;
    std::memcpy(&pixel, row + 4 * x, sizeof pixel);
    // Bytes 0, 1 and 2 (blue, green, red) wherever the word puts them; byte 3 plays no part.
    const uint32_t sum = kLittleEndian
                             ? (pixel & 0xffu) + ((pixel >> 8) & 0xffu) + ((pixel >> 16) & 0xffu)
                             : (pixel >> 24) + ((pixel >> 16) & 0xffu) + ((pixel >> 8) & 0xffu);
    dark[x] = static_cast<uint8_t>(static_cast<int>(sum) <= limit);
  }
}

// Raster pass: provisional labels, equivalences and per-label statistics; markRow(y, dark) sets
// the dark flags of row y. False when more than kArMaxLabels labels would be needed.
template <class MarkRow>
bool scanFrame(int32_t width, int32_t height, MarkRow markRow) {
  uint16_t* image = gLabels.labelImage;
  int32_t* eq = gLabels.labelRemap;
  int32_t count = 0;
  gLabels.provisionalCount = 0;
  if (width < 3 || height < 3) return true;  // no pixel inside the border ring
  for (int32_t y = 1; y < height - 1; y++) {
    markRow(y, gDarkRow.data());
    uint16_t* row = image + static_cast<size_t>(y) * width;
    const uint16_t* up = row - width;
    // Bright pixels are background: clear the row once, then visit only the dark pixels,
    // stepping over eight bright ones at a time.
    std::memset(row + 1, 0, sizeof(uint16_t) * (width - 2));
    for (int32_t x = 1; x < width - 1; x++) {
      if (!gDarkRow[x]) {
        uint64_t eight;
        while (x + 9 < width) {
          std::memcpy(&eight, &gDarkRow[x + 1], sizeof eight);
          if (eight != 0) break;
          x += 8;
        }
        continue;
      }
      const int32_t upLabel = up[x];
      if (upLabel > 0) {
        row[x] = static_cast<uint16_t>(upLabel);
        ProvisionalStats& s = gStats[upLabel - 1];
        addPixel(s, x, y);
        s.maxY = y;
        continue;
      }
      const int32_t upRight = up[x + 1];
      const int32_t upLeft = up[x - 1];
      const int32_t left = row[x - 1];
      int32_t label;
      if (upRight > 0) {
        if (upLeft > 0) {
          label = mergeClasses(eq, upRight, upLeft);
          ProvisionalStats& s = gStats[label - 1];
          addPixel(s, x, y);
          s.maxY = y;
        } else if (left > 0) {
          label = mergeClasses(eq, upRight, left);
          addPixel(gStats[label - 1], x, y);
        } else {
          label = upRight;
          ProvisionalStats& s = gStats[label - 1];
          addPixel(s, x, y);
          s.minX = std::min(s.minX, x);
          s.maxY = y;
        }
      } else if (upLeft > 0) {
        label = upLeft;
        ProvisionalStats& s = gStats[label - 1];
        addPixel(s, x, y);
        s.maxX = std::max(s.maxX, x);
        s.maxY = y;
      } else if (left > 0) {
        label = left;
        ProvisionalStats& s = gStats[label - 1];
        addPixel(s, x, y);
        s.maxX = std::max(s.maxX, x);
      } else {
        if (count == kArMaxLabels) return false;
        label = ++count;
        eq[label - 1] = label;
        gStats[label - 1] = ProvisionalStats{1, x, y, x, x, y, y};
      }
      row[x] = static_cast<uint16_t>(label);
    }
  }
  gLabels.provisionalCount = count;
  return true;
}

// Turns the equivalence table into final labels, numbered in order of each class's smallest
// provisional label. Returns the number of regions.
int32_t resolveLabels() {
  int32_t* eq = gLabels.labelRemap;
  int32_t next = 1;
  for (int32_t i = 1; i <= gLabels.provisionalCount; i++) {
    if (eq[i - 1] == i) {
      eq[i - 1] = next++;
    } else {
      eq[i - 1] = eq[eq[i - 1] - 1];
    }
  }
  return next - 1;
}

void gatherRegionStatistics(int32_t width, int32_t height) {
  const int32_t regions = gLabels.labelCount;
  for (int32_t f = 0; f < regions; f++) {
    gLabels.labelArea[f] = 0;
    gLabels.labelCentroid[f][0] = 0.0;
    gLabels.labelCentroid[f][1] = 0.0;
    gLabels.labelClip[f][0] = width;
    gLabels.labelClip[f][1] = 0;
    gLabels.labelClip[f][2] = height;
    gLabels.labelClip[f][3] = 0;
  }
  for (int32_t i = 0; i < gLabels.provisionalCount; i++) {
    const ProvisionalStats& s = gStats[i];
    const int32_t f = gLabels.labelRemap[i] - 1;
    gLabels.labelArea[f] += s.count;
    gLabels.labelCentroid[f][0] += static_cast<double>(s.sumX);
    gLabels.labelCentroid[f][1] += static_cast<double>(s.sumY);
    int32_t* clip = gLabels.labelClip[f];
    clip[0] = std::min(clip[0], s.minX);
    clip[1] = std::max(clip[1], s.maxX);
    clip[2] = std::min(clip[2], s.minY);
    clip[3] = std::max(clip[3], s.maxY);
  }
  for (int32_t f = 0; f < regions; f++) {
    gLabels.labelCentroid[f][0] /= gLabels.labelArea[f];
    gLabels.labelCentroid[f][1] /= gLabels.labelArea[f];
  }
}

// Sizes the per-pixel buffers for the current frame; false (with the cause) when it is too large
// or they cannot grow.
bool prepareBuffers(int32_t width, int32_t height, ArLabelFailure* failure) {
  gLabels.provisionalCount = 0;
  gLabels.labelCount = 0;
  if (width < 0 || height < 0 || static_cast<int64_t>(width) * height > kArMaxFramePixels) {
    *failure = ArLabelFailure::FrameTooLarge;
    return false;
  }
  try {
    const size_t cells = static_cast<size_t>(width) * height;
    if (gImage.size() < cells) gImage.resize(cells);
    if (gDarkRow.size() < static_cast<size_t>(width) + 8) gDarkRow.resize(static_cast<size_t>(width) + 8);
  } catch (const std::bad_alloc&) {
    *failure = ArLabelFailure::OutOfMemory;
    return false;
  }
  gLabels.labelImage = gImage.data();
  clearBorderRing(gLabels.labelImage, width, height);
  return true;
}

// Labels with the dark flags markRow gives, once the buffers are ready.
template <class MarkRow>
const LabelSet* labelFrame(int32_t width, int32_t height, MarkRow markRow, ArLabelFailure* failure) {
  if (!scanFrame(width, height, markRow)) {
    gLabels.provisionalCount = 0;
    *failure = ArLabelFailure::TooManyLabels;
    return nullptr;
  }
  gLabels.labelCount = resolveLabels();
  if (gLabels.labelCount > 0) gatherRegionStatistics(width, height);
  return &gLabels;
}

}  // namespace

const LabelSet* arLabelImage(const uint8_t* frame, int threshold, ArLabelFailure* failure) {
  ArLabelFailure ignored;
  if (!failure) failure = &ignored;
  *failure = ArLabelFailure::None;
  const int32_t width = arFrameWidth;
  const int32_t height = arFrameHeight;
  if (!prepareBuffers(width, height, failure)) return nullptr;
  // Sums of three bytes lie in 0 .. 765, so clamping keeps every comparison the same while
  // 3 * threshold cannot overflow.
  const int limit = 3 * std::clamp(threshold, -1, 255);
  auto fixed = [frame, width, limit](int32_t y, uint8_t* dark) {
    markDarkPixels(frame + static_cast<size_t>(y) * width * 4, width, limit, dark);
  };
  return labelFrame(width, height, fixed, failure);
}

const LabelSet* arLabelImageAdaptive(const uint8_t* frame, int radius, int level, int blackSum,
                                     ArLabelFailure* failure) {
  ArLabelFailure ignored;
  if (!failure) failure = &ignored;
  *failure = ArLabelFailure::None;
  const int32_t width = arFrameWidth;
  const int32_t height = arFrameHeight;
  if (!prepareBuffers(width, height, failure)) return nullptr;
  if (width < 3 || height < 3) return labelFrame(width, height, [](int32_t, uint8_t*) {}, failure);
  try {
    gAdaptive.start(frame, width, height, std::clamp(radius, 1, kArMaxAdaptiveRadius), std::clamp(level, 0, 100),
                    std::clamp(blackSum, 0, 765));
  } catch (const std::bad_alloc&) {
    *failure = ArLabelFailure::OutOfMemory;
    return nullptr;
  }
  auto adaptive = [](int32_t y, uint8_t* dark) { gAdaptive.markRow(y, dark); };
  return labelFrame(width, height, adaptive, failure);
}
