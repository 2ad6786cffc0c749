#include "detect/square_fit.h"

#include "detect/contour_points_internal.h"

namespace {

// Split points one span may collect before the contour is taken as too ragged for a square.
constexpr int32_t kMaxSplitsBeforeFailure = 5;
constexpr int32_t kSplitListCapacity = kMaxSplitsBeforeFailure + 1;

struct SplitPair {
  int32_t a[kSplitListCapacity];
  int32_t b[kSplitListCapacity];
  int32_t countA = 0;
  int32_t countB = 0;
};

// Splits [s, m] into a and [m, e] into b; true when both calls succeed.
bool splitBoth(const SquareCandidate* c, int32_t s, int32_t m, int32_t e, double threshold, SplitPair* out) {
  out->countA = 0;
  out->countB = 0;
  return arSplitAtFarthest(c->contourX, c->contourY, s, m, threshold, out->a, &out->countA) == 0 &&
         arSplitAtFarthest(c->contourX, c->contourY, m, e, threshold, out->b, &out->countB) == 0;
}

}  // namespace

int arSplitAtFarthest(const int32_t* x, const int32_t* y, int32_t start, int32_t end, double threshold,
                      int32_t* list, int32_t* count) {
  const int32_t a = y[end] - y[start];
  const int32_t b = x[start] - x[end];
  const int32_t c = x[end] * y[start] - x[start] * y[end];
  const double chord2 = static_cast<double>(a) * a + static_cast<double>(b) * b;
  if (end - start < 2 || chord2 == 0.0) return 0;

  double largest = 0.0;
  int32_t farthest = start;
  for (int32_t i = start + 1; i < end; i++) {
    const double d = a * x[i] + b * y[i] + c;
    if (d * d > largest) {
      largest = d * d;
      farthest = i;
    }
  }
  if (largest / chord2 <= threshold) return 0;

  if (arSplitAtFarthest(x, y, start, farthest, threshold, list, count) < 0) return -1;
  if (*count > kMaxSplitsBeforeFailure) return -1;
  list[*count] = farthest;
  (*count)++;
  return arSplitAtFarthest(x, y, farthest, end, threshold, list, count);
}

int arFitSquare(int32_t area, double factor, SquareCandidate* candidate) {
  const int32_t n = candidate->pointCount;
  const int32_t last = n - 1;
  const int32_t f = arFarthestFromStart(candidate->contourX, candidate->contourY, 1, n - 2);
  const double threshold = area / 0.75 * 0.01 * factor;
  int32_t* corner = candidate->cornerIndex;

  SplitPair sides;
  if (!splitBoth(candidate, 0, f, last, threshold, &sides)) return -1;
  if (sides.countA == 1 && sides.countB == 1) {
    corner[1] = sides.a[0];
    corner[2] = f;
    corner[3] = sides.b[0];
  } else if (sides.countA > 1 && sides.countB == 0) {
    const int32_t m = f / 2;
    if (!splitBoth(candidate, 0, m, f, threshold, &sides)) return -1;
    if (sides.countA != 1 || sides.countB != 1) return -1;
    corner[1] = sides.a[0];
    corner[2] = sides.b[0];
    corner[3] = f;
  } else if (sides.countA == 0 && sides.countB > 1) {
    const int32_t m = (f + last) / 2;
    if (!splitBoth(candidate, f, m, last, threshold, &sides)) return -1;
    if (sides.countA != 1 || sides.countB != 1) return -1;
    corner[1] = f;
    corner[2] = sides.a[0];
    corner[3] = sides.b[0];
  } else {
    return -1;
  }
  corner[0] = 0;
  corner[4] = last;
  return 0;
}
