// Per-frame timing of the viewer, summed as it runs and reported in one line when it quits.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

struct FrameStats {
  long trackedFrames = 0;     // frames grabbed and run through detection and pose estimation
  long drawnFrames = 0;       // displays that drew a camera frame
  double trackingSeconds = 0; // time in grabFrame and updateVisibleMarkers for tracked frames
  double drawingSeconds = 0;  // time in the display callback for drawn frames, swap excluded
  long limitHitFrames = 0;    // tracked frames with more square candidates than the limit
  int lastThreshold = -1;     // global threshold of the last tracked frame; -1 in adaptive mode
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

FrameStats& frameStats();

// One line: frames per second shown, the mean milliseconds per frame spent tracking and drawing,
// the threshold mode (threshold names it, e.g. "fixed 100" or "auto") with the last threshold
// auto used, and the frames that hit the candidate limit. Nothing when no frame was shown.
void reportFrameStats(const FrameStats& stats, const std::string& threshold, int candidateLimit, FILE* out);
