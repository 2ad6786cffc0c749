// Hands frames from a capture thread to the viewer's thread, newest first: three buffers (one
// being written, the newest finished one, the one the viewer holds), so the producer never waits
// for the viewer and the viewer never waits for a frame. A slow viewer gets the latest frame,
// not a backlog. In the lossless mode, for reading a recording through, the producer instead
// waits until the newest frame has been taken, so that every frame reaches the consumer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class FrameExchange {
 public:
  // Sizes the three buffers (width * height BGRA pixels) and sets the mirroring applied while
  // copying. Drops any frame in flight. Call before the producer starts.
  void configure(int width, int height, bool flipV, bool flipH);

  int width() const { return width_; }
  int height() const { return height_; }

  // Lossless: publish waits while the newest frame has not been taken (until it is, or until
  // accepting is turned off or the stream finishes). Off after configure.
  void setLossless(bool lossless);

  // Producer side (one thread at a time). Copies a width x height BGRA frame whose rows are
  // strideBytes apart and makes it the newest; seconds is its time in the stream, negative when
  // the source has none. Ignored (false) while not accepting, after finish, or when the size is
  // not the configured one.
  bool publish(const uint8_t* bgra, int strideBytes, int width, int height, double seconds = -1);
  // The stream is over: after a frame already waiting, take() returns null from now on.
  void finish();

  // Whether published frames are kept. Turning it off drops the waiting frame.
  void setAccepting(bool accepting);

  // Consumer side (the viewer's thread). The newest frame not yet taken, or null when there is
  // none, the previous one is still held, or the stream is finished. The frame stays unchanged
  // until release().
  // *seconds (when given) gets the frame's time in the stream, negative when unknown.
  uint8_t* take(double* seconds = nullptr);
  // take, waiting up to timeout for a frame to arrive; null when none came or the stream is
  // finished.
  uint8_t* waitTake(std::chrono::milliseconds timeout, double* seconds = nullptr);
  void release();

  bool finished() const;
  uint64_t published() const;   // frames kept since configure, for diagnostics and tests

 private:
  uint8_t* takeLocked(double* seconds);

  mutable std::mutex mutex_;
  std::condition_variable changed_;   // a frame was published or taken, or the stream finished
  std::vector<uint8_t> buffers_[3];
  double seconds_[3] = {-1, -1, -1};  // stream time of each buffer's frame
  int writing_ = 0, ready_ = 1, held_ = 2;   // indices into buffers_, always a permutation
  bool fresh_ = false;          // buffers_[ready_] holds a frame not yet taken
  bool holding_ = false;        // the consumer holds buffers_[held_]
  bool accepting_ = false;
  bool finished_ = false;
  bool lossless_ = false;
  uint64_t published_ = 0;
  int width_ = 0, height_ = 0;
  bool flipV_ = false, flipH_ = false;
};

// Copies a width x height BGRA image, mirrored as asked; dst rows are width * 4 bytes apart.
void arVideoCopyFrame(const uint8_t* src, int srcStrideBytes, int width, int height, bool flipV,
                      bool flipH, uint8_t* dst);
