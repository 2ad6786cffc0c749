#include "tools/detect/run_progress.h"

#include <unistd.h>

#include <cmath>

namespace {
constexpr double kQuietSeconds = 3;       // runs shorter than this print no progress
constexpr double kTerminalPeriod = 0.5;   // seconds between updates on a terminal
constexpr double kLogPeriod = 10;         // seconds between lines elsewhere
}  // namespace

RunProgress::RunProgress(FILE* out, double duration)
    : out_(out), duration_(duration), terminal_(isatty(fileno(out)) != 0) {}

double RunProgress::elapsed() const { return std::chrono::duration<double>(Clock::now() - started_).count(); }

std::string RunProgress::line(long frames, double elapsedSeconds, double streamSeconds, double duration) {
  char text[160];
  const double rate = elapsedSeconds > 0 ? frames / elapsedSeconds : 0;
  int n = std::snprintf(text, sizeof text, "%ld %s, %.1f frames/s", frames, frames == 1 ? "frame" : "frames", rate);
  // Time left from the share of the stream done so far.
  if (duration > 0 && streamSeconds > 0 && streamSeconds < duration) {
    const double left = elapsedSeconds * (duration - streamSeconds) / streamSeconds;
    std::snprintf(text + n, sizeof text - n, ", about %.0f s left", std::ceil(left));
  }
  return text;
}

void RunProgress::frameDone(double seconds) {
  frames_++;
  const Clock::time_point now = Clock::now();
  const double sinceShown = std::chrono::duration<double>(now - shown_).count();
  if (elapsed() < kQuietSeconds || sinceShown < (terminal_ ? kTerminalPeriod : kLogPeriod)) return;
  shown_ = now;
  const std::string text = "ardetect: " + line(frames_, elapsed(), seconds, duration_);
  if (terminal_) {
    std::fprintf(out_, "\r%s\033[K", text.c_str());
    open_ = true;
  } else {
    std::fprintf(out_, "%s\n", text.c_str());
  }
  std::fflush(out_);
}

void RunProgress::finish() {
  if (open_) std::fputc('\n', out_);
  open_ = false;
}
