#include "detect/auto_threshold.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "camera/camera_param.h"
#include "camera/distortion.h"
#include "detect/frame_levels.h"
#include "detect/marker_history.h"

namespace {

struct AutoState {
  bool tracking = false;  // markers were identified on the last frame
  int threshold = 100;    // the learnt threshold, used while tracking
  int attempt = 0;        // the next frame-level choice while not tracking
};

AutoState gAuto;

// Level of the frame pixel nearest to observed point (x, y); -1 outside the frame.
int levelAt(const uint8_t* frame, double x, double y) {
  const long px = std::lround(x), py = std::lround(y);
  if (!(px >= 0 && py >= 0 && px < arFrameWidth && py < arFrameHeight)) return -1;
  const uint8_t* p = frame + (static_cast<size_t>(py) * arFrameWidth + px) * 4;
  return (p[0] + p[1] + p[2]) / 3;
}

// The value at rank fraction (0 .. 1) of the first n levels, which are sorted in place.
int rankOf(int* levels, int n, double fraction) {
  std::sort(levels, levels + n);
  return levels[std::min(n - 1, static_cast<int>(fraction * n))];
}

}  // namespace

bool arMarkerLevels(const uint8_t* frame, const DetectedMarker& marker, int* dark, int* light) {
  double corner[4][2];
  for (int k = 0; k < 4; k++)
    arIdealToObserved(arCurrentCamera.distortion, marker.vertex[k][0], marker.vertex[k][1], &corner[k][0],
                      &corner[k][1]);
  // Point (u, v) of the quadrilateral, u from corner 0 towards 1, v from 0 towards 3; the black
  // border spans 0 .. 0.25 and 0.75 .. 1 on both.
  auto levelOf = [&](double u, double v) {
    double p[2];
    for (int i = 0; i < 2; i++)
      p[i] = (1 - u) * (1 - v) * corner[0][i] + u * (1 - v) * corner[1][i] + u * v * corner[2][i] +
             (1 - u) * v * corner[3][i];
    return levelAt(frame, p[0], p[1]);
  };
  int border[16], inside[49], around[16];
  int nb = 0, ni = 0, na = 0;
  for (double t : {0.125, 0.375, 0.625, 0.875}) {
    for (double edge : {0.125, 0.875}) {
      for (int level : {levelOf(t, edge), levelOf(edge, t)})
        if (level >= 0 && nb < 16) border[nb++] = level;
    }
    for (double edge : {-0.1, 1.1}) {
      for (int level : {levelOf(t, edge), levelOf(edge, t)})
        if (level >= 0) around[na++] = level;
    }
  }
  // The interior picture: its lightest sample, as a pattern may be mostly black.
  for (double u : {0.3, 0.35, 0.4, 0.5, 0.6, 0.65, 0.7})
    for (double v : {0.3, 0.35, 0.4, 0.5, 0.6, 0.65, 0.7}) {
      const int level = levelOf(u, v);
      if (level >= 0) inside[ni++] = level;
    }
  if (nb == 0 || ni == 0) return false;
  *dark = rankOf(border, nb, 0.5);
  *light = rankOf(inside, ni, 1.0);
  if (na > 0) *light = std::min(*light, rankOf(around, na, 0.5));
  return *light > *dark + kArAutoDeadband;
}

void arAutoThresholdChoices(const uint8_t* frame, int choices[kArAutoChoices]) {
  ArLevelHistogram histogram;
  arSampleLevels(frame, arFrameWidth, arFrameHeight, &histogram);
  int low = 0, high = 0;
  arOtsuThresholds3(histogram, &low, &high);
  const int otsu = arOtsuThreshold(histogram, 0, 255);
  const int darkest = arLevelPercentile(histogram, 0.01);
  const int all[kArAutoChoices] = {low, otsu, high, (darkest + low) / 2, (low + otsu) / 2};
  std::copy(all, all + kArAutoChoices, choices);
}

int arAutoThresholdChoose(const uint8_t* frame) {
  if (gAuto.tracking) return gAuto.threshold;
  int choices[kArAutoChoices];
  arAutoThresholdChoices(frame, choices);
  return choices[gAuto.attempt++ % kArAutoChoices];
}

void arAutoThresholdLearn(const uint8_t* frame, int threshold, const DetectedMarker* markers, int32_t count) {
  double sum = 0;
  int measured = 0;
  for (int32_t i = 0; i < count; i++) {
    int dark, light;
    if (markers[i].id < 0 || markers[i].cf < kArConfidenceFloor) continue;
    if (!arMarkerLevels(frame, markers[i], &dark, &light)) continue;
    sum += 0.5 * (dark + light);
    measured++;
  }
  if (measured == 0) {
    if (gAuto.tracking) gAuto.attempt = 0;
    gAuto.tracking = false;
    return;
  }
  // The first frame found at a frame-level choice starts from that choice.
  if (!gAuto.tracking) gAuto.threshold = threshold;
  const int target = static_cast<int>(std::lround(sum / measured));
  if (std::abs(target - gAuto.threshold) > kArAutoDeadband) gAuto.threshold = std::clamp(target, 0, 255);
  gAuto.tracking = true;
  gAuto.attempt = 0;
}

void arAutoThresholdReset() { gAuto = AutoState(); }
