#include "app/frame_stats.h"

FrameStats& frameStats() {
  static FrameStats stats;
  return stats;
}

void reportFrameStats(const FrameStats& stats, const std::string& threshold, int candidateLimit, FILE* out) {
  if (stats.drawnFrames == 0 || stats.trackedFrames == 0) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stats.start).count();
  std::string mode = threshold;
  if (threshold == "auto" && stats.lastThreshold >= 0) mode += " (last " + std::to_string(stats.lastThreshold) + ")";
  std::fprintf(out,
               "arviewer: %ld frames in %.1f s (%.1f per second); per frame %.2f ms tracking, %.2f ms drawing; "
               "threshold %s; %ld frames had more than %d square candidates\n",
               stats.drawnFrames, seconds, stats.drawnFrames / seconds,
               1000.0 * stats.trackingSeconds / stats.trackedFrames, 1000.0 * stats.drawingSeconds / stats.drawnFrames,
               mode.c_str(), stats.limitHitFrames, candidateLimit);
}
