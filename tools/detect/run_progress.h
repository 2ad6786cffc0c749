// The progress line of a long run on standard error: frames done, frames per second and, when
// the stream's length is known, the time left. Quiet for the first seconds, so short runs print
// nothing; on a terminal the line is rewritten in place, elsewhere a line is added now and then.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class RunProgress {
 public:
  // duration: the stream's length in seconds, 0 when unknown.
  RunProgress(FILE* out, double duration);

  // One more frame done; seconds is its time in the stream.
  void frameDone(double seconds);
  // Ends a line left open on a terminal.
  void finish();

  long frames() const { return frames_; }
  double elapsed() const;

  // The line for the given figures, e.g. "1200 frames, 85.1 frames/s, about 14 s left".
  static std::string line(long frames, double elapsedSeconds, double streamSeconds, double duration);

 private:
  using Clock = std::chrono::steady_clock;
  FILE* out_;
  double duration_;
  bool terminal_;
  bool open_ = false;          // a terminal line is waiting for its newline
  long frames_ = 0;
  Clock::time_point started_ = Clock::now();
  Clock::time_point shown_ = Clock::now();
};
