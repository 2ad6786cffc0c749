#include "detect/contours.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "camera/camera_param.h"
#include "detect/contour_points_internal.h"
#include "detect/square_fit.h"

namespace {

// Eight neighbours, clockwise on screen (y grows downwards), starting straight up.
constexpr int32_t kDirX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int32_t kDirY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
// Distinct points a trace may hold; the closing copy takes one more entry.
constexpr int32_t kMaxTracedPoints = kArMaxContourPoints - 2;

// The candidate list, allocated without touching its pages: a record is about 80 kB and only the
// candidates a frame finds are written.
std::unique_ptr<SquareCandidate[]> gCandidates;
int32_t gCandidateRoom = 0;
SquareCandidate gBeyond;  // where regions after a full list are traced, to be counted
int32_t gWorkX[kArMaxContourPoints];  // head of the contour while it is rotated
int32_t gWorkY[kArMaxContourPoints];

// Makes point `first` point 0, keeping the cyclic order of the n points.
void rotateContour(SquareCandidate* c, int32_t n, int32_t first) {
  for (int32_t i = 0; i < first; i++) {
    gWorkX[i] = c->contourX[i];
    gWorkY[i] = c->contourY[i];
  }
  for (int32_t i = first; i < n; i++) {
    c->contourX[i - first] = c->contourX[i];
    c->contourY[i - first] = c->contourY[i];
  }
  for (int32_t i = 0; i < first; i++) {
    c->contourX[n - first + i] = gWorkX[i];
    c->contourY[n - first + i] = gWorkY[i];
  }
}

bool touchesInnerBorder(const int32_t clip[4], int32_t width, int32_t height) {
  return clip[0] == 1 || clip[1] == width - 2 || clip[2] == 1 || clip[3] == height - 2;
}

// Removes every candidate whose centre lies well inside a larger (or, on a tie, later) one.
void markNestedCandidates(SquareCandidate* list, int32_t count) {
  for (int32_t i = 0; i < count; i++) {
    for (int32_t j = i + 1; j < count; j++) {
      const double dx = list[i].centre[0] - list[j].centre[0];
      const double dy = list[i].centre[1] - list[j].centre[1];
      const double d2 = dx * dx + dy * dy;
      if (list[i].area > list[j].area) {
        if (d2 < list[i].area / 4) list[j].area = 0;
      } else if (d2 < list[j].area / 4) {
        list[i].area = 0;
      }
    }
  }
}

void copyCandidate(SquareCandidate* dest, const SquareCandidate* source) {
  dest->area = source->area;
  dest->centre[0] = source->centre[0];
  dest->centre[1] = source->centre[1];
  dest->pointCount = source->pointCount;
  for (int32_t i = 0; i < source->pointCount; i++) {
    dest->contourX[i] = source->contourX[i];
    dest->contourY[i] = source->contourY[i];
  }
  for (int k = 0; k < 5; k++) dest->cornerIndex[k] = source->cornerIndex[k];
}

int32_t dropRemovedCandidates(SquareCandidate* list, int32_t count) {
  int32_t kept = 0;
  for (int32_t i = 0; i < count; i++) {
    if (list[i].area == 0) continue;
    if (kept != i) copyCandidate(&list[kept], &list[i]);
    kept++;
  }
  return kept;
}

// The tracer; report says whether failures print their diagnostic.
int traceContour(const LabelSet* labels, int32_t label, const int32_t clip[4], SquareCandidate* candidate,
                 bool report) {
  const int32_t width = arFrameWidth;
  const uint16_t* image = labels->labelImage;
  auto cell = [image, width](int32_t x, int32_t y) { return image[static_cast<size_t>(y) * width + x]; };
  int32_t* px = candidate->contourX;
  int32_t* py = candidate->contourY;

  int32_t startX = -1;
  for (int32_t x = clip[0]; x <= clip[1]; x++) {
    const int32_t c = cell(x, clip[2]);
    if (c > 0 && labels->labelRemap[c - 1] == label) {
      startX = x;
      break;
    }
  }
  if (startX < 0) {
    if (report) std::printf("??? 1\n");
    return -1;
  }

  px[0] = startX;
  py[0] = clip[2];
  int32_t n = 1;
  int32_t d = 5;
  for (;;) {
    d = (d + 5) % 8;
    int tries = 0;
    for (; tries < 8; tries++) {
      if (cell(px[n - 1] + kDirX[d], py[n - 1] + kDirY[d]) > 0) break;
      d = (d + 1) % 8;
    }
    if (tries == 8) {
      if (report) std::printf("??? 2\n");
      return -1;
    }
    px[n] = px[n - 1] + kDirX[d];
    py[n] = py[n - 1] + kDirY[d];
    if (px[n] == px[0] && py[n] == py[0]) break;
    n++;
    if (n > kMaxTracedPoints) {
      if (report) std::printf("??? 3\n");
      return -1;
    }
  }

  rotateContour(candidate, n, arFarthestFromStart(px, py, 1, n - 1));
  px[n] = px[0];
  py[n] = py[0];
  candidate->pointCount = n + 1;
  return 0;
}

}  // namespace

int arTraceContour(const LabelSet* labels, int32_t label, const int32_t clip[4], SquareCandidate* candidate) {
  return traceContour(labels, label, clip, candidate, true);
}

bool arReserveSquareCandidates(int32_t n) {
  n = std::max(n, kArMaxSquareCandidates);
  if (n <= gCandidateRoom) return true;
  SquareCandidate* grown = new (std::nothrow) SquareCandidate[n];
  if (!grown) return false;
  gCandidates.reset(grown);
  gCandidateRoom = n;
  return true;
}

SquareCandidate* arFindSquares(const LabelSet* labels, int32_t maxArea, int32_t minArea, double factor,
                               int32_t* count, int32_t maxCount, int32_t* beyondLimit) {
  const int32_t width = arFrameWidth;
  const int32_t height = arFrameHeight;
  if (!gCandidates && !arReserveSquareCandidates(kArMaxSquareCandidates)) {
    *count = 0;
    return nullptr;
  }
  maxCount = std::clamp(maxCount, 0, gCandidateRoom);
  if (beyondLimit) *beyondLimit = 0;
  int32_t accepted = 0;
  for (int32_t label = 1; label <= labels->labelCount; label++) {
    const bool full = accepted == maxCount;
    if (full && !beyondLimit) break;
    const int32_t area = labels->labelArea[label - 1];
    if (area < minArea || area > maxArea) continue;
    const int32_t* clip = labels->labelClip[label - 1];
    if (touchesInnerBorder(clip, width, height)) continue;
    SquareCandidate* candidate = full ? &gBeyond : &gCandidates[accepted];
    if (traceContour(labels, label, clip, candidate, !full) < 0) continue;
    if (arFitSquare(area, factor, candidate) < 0) continue;
    if (full) {
      (*beyondLimit)++;
      continue;
    }
    candidate->area = area;
    candidate->centre[0] = labels->labelCentroid[label - 1][0];
    candidate->centre[1] = labels->labelCentroid[label - 1][1];
    accepted++;
  }
  markNestedCandidates(gCandidates.get(), accepted);
  *count = dropRemovedCandidates(gCandidates.get(), accepted);
  return gCandidates.get();
}
