#include "video/frame_exchange.h"

#include <cstring>
#include <utility>

void arVideoCopyFrame(const uint8_t* src, int srcStrideBytes, int width, int height, bool flipV,
                      bool flipH, uint8_t* dst) {
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; y++) {
    const uint8_t* in = src + static_cast<size_t>(flipV ? height - 1 - y : y) * srcStrideBytes;
    uint8_t* out = dst + static_cast<size_t>(y) * rowBytes;
    if (!flipH) {
      std::memcpy(out, in, rowBytes);
      continue;
    }
    for (int x = 0; x < width; x++) std::memcpy(out + 4 * x, in + 4 * (width - 1 - x), 4);
  }
}

void FrameExchange::configure(int width, int height, bool flipV, bool flipH) {
  std::lock_guard<std::mutex> lock(mutex_);
  width_ = width;
  height_ = height;
  flipV_ = flipV;
  flipH_ = flipH;
  for (std::vector<uint8_t>& buffer : buffers_) {
    buffer.assign(static_cast<size_t>(width) * height * 4, 0);
  }
  fresh_ = holding_ = finished_ = accepting_ = lossless_ = false;
  published_ = 0;
}

void FrameExchange::setLossless(bool lossless) {
  std::lock_guard<std::mutex> lock(mutex_);
  lossless_ = lossless;
}

bool FrameExchange::publish(const uint8_t* bgra, int strideBytes, int width, int height, double seconds) {
  int target;
  bool flipV, flipH;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !lossless_ || !fresh_ || !accepting_ || finished_; });
    if (!accepting_ || finished_ || width != width_ || height != height_ || width <= 0) return false;
    target = writing_;
    flipV = flipV_;
    flipH = flipH_;
  }
  // The writing buffer belongs to the producer alone (configure is never called while frames
  // are accepted), so the copy runs without the lock.
  arVideoCopyFrame(bgra, strideBytes, width, height, flipV, flipH, buffers_[target].data());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!accepting_ || finished_) return false;
    seconds_[target] = seconds;
    std::swap(writing_, ready_);
    fresh_ = true;
    published_++;
  }
  changed_.notify_all();
  return true;
}

void FrameExchange::finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

void FrameExchange::setAccepting(bool accepting) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    accepting_ = accepting;
    if (!accepting) fresh_ = false;
  }
  changed_.notify_all();
}

uint8_t* FrameExchange::takeLocked(double* seconds) {
  if (holding_ || !fresh_) return nullptr;
  std::swap(ready_, held_);
  fresh_ = false;
  holding_ = true;
  if (seconds) *seconds = seconds_[held_];
  changed_.notify_all();
  return buffers_[held_].data();
}

uint8_t* FrameExchange::take(double* seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  return takeLocked(seconds);
}

uint8_t* FrameExchange::waitTake(std::chrono::milliseconds timeout, double* seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [this] { return (fresh_ && !holding_) || finished_; });
  return takeLocked(seconds);
}

void FrameExchange::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  holding_ = false;
}

bool FrameExchange::finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_ && !fresh_;
}

uint64_t FrameExchange::published() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return published_;
}
