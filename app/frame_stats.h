// Per-frame timing of the viewer, summed as it runs and reported in one line when it quits.
#pragma once

#include <chrono>
#include <cstdio>

struct FrameStats {
  long trackedFrames = 0;     // frames grabbed and run through detection and pose estimation
  long drawnFrames = 0;       // displays that drew a camera frame
  double trackingSeconds = 0; // time in grabFrame and updateVisibleMarkers for tracked frames
  double drawingSeconds = 0;  // time in the display callback for drawn frames, swap excluded
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

FrameStats& frameStats();

// One line on standard error: frames per second shown, and the mean milliseconds per frame spent
// tracking and drawing. Nothing when no frame was shown.
void reportFrameStats(const FrameStats& stats, FILE* out);
