#include "app/frame_stats.h"

FrameStats& frameStats() {
  static FrameStats stats;
  return stats;
}

void reportFrameStats(const FrameStats& stats, FILE* out) {
  if (stats.drawnFrames == 0 || stats.trackedFrames == 0) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stats.start).count();
  std::fprintf(out, "arviewer: %ld frames in %.1f s (%.1f per second); per frame %.2f ms tracking, %.2f ms drawing\n",
               stats.drawnFrames, seconds, stats.drawnFrames / seconds,
               1000.0 * stats.trackingSeconds / stats.trackedFrames, 1000.0 * stats.drawingSeconds / stats.drawnFrames);
}
