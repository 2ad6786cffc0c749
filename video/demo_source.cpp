// The demo scene as a video source: a thread of our own renders frame k of the scene at
// k / fps seconds of capture time, paced by the steady clock. When rendering falls behind, it
// skips to the frame that is due rather than running late.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "video/demo_scene.h"
#include "video/video_source.h"

namespace {

using Clock = std::chrono::steady_clock;

class DemoVideoSource : public VideoSource {
 public:
  explicit DemoVideoSource(const VideoSourceConfig& config) : config_(config) {}

  ~DemoVideoSource() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  bool open(std::string* error) {
    DemoSceneSettings settings;
    settings.width = config_.width;
    settings.height = config_.height;
    settings.motion = config_.motion;
    settings.seed = config_.seed;
    settings.patterns = config_.patterns;
    settings.camera = config_.camera;
    settings.lighting = config_.lighting;
    if (!scene_.load(settings, error)) return false;
    frame_.assign(static_cast<size_t>(config_.width) * config_.height * 4, 0);
    frames_.configure(config_.width, config_.height, config_.flipV, config_.flipH);
    return true;
  }

  bool start() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (running_) return true;
      running_ = true;
      resumedAt_ = Clock::now();
    }
    frames_.setAccepting(true);
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    wake_.notify_all();
    return true;
  }

  void stop() override {
    frames_.setAccepting(false);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return;
    running_ = false;
    elapsedBefore_ += Clock::now() - resumedAt_;
  }

  std::string description() const override {
    const size_t markers = scene_.markersAt(0).size();
    return "the built-in demo scene " + std::to_string(config_.width) + "x" + std::to_string(config_.height) +
           " at " + fpsText() + " fps (" +
           std::to_string(markers) + (markers == 1 ? " marker from " : " markers from ") + config_.patterns +
           (config_.motion == DemoMotion::Still ? ", still)" : ")");
  }

 private:
  std::string fpsText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(config_.fpsNum) / config_.fpsDen);
    return text;
  }

  // Capture time: the seconds the source has been running, pauses excluded.
  double captureSeconds(Clock::time_point now) const {
    return std::chrono::duration<double>(elapsedBefore_ + (now - resumedAt_)).count();
  }

  void run() {
    const double period = static_cast<double>(config_.fpsDen) / config_.fpsNum;
    long long next = 0;        // index of the next frame to show
    long long rendered = -1;   // index held in frame_
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
      if (!running_) {
        wake_.wait(lock);
        continue;
      }
      // Wait until frame `next` is due, or show it now if it is late.
      auto due = resumedAt_ + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(next * period) - elapsedBefore_);
      if (Clock::now() < due) {
        wake_.wait_until(lock, due);
        continue;
      }
      long long index = next;
      lock.unlock();
      bool still = config_.motion == DemoMotion::Still;
      if (rendered < 0 || (!still && rendered != index)) {
        scene_.render(index * period, frame_.data());
        rendered = index;
      }
      frames_.publish(frame_.data(), config_.width * 4, config_.width, config_.height);
      lock.lock();
      long long due_now = static_cast<long long>(captureSeconds(Clock::now()) / period);
      next = std::max(index + 1, due_now);
    }
  }

  VideoSourceConfig config_;
  DemoScene scene_;
  std::vector<uint8_t> frame_;    // render thread only once started
  std::thread thread_;

  std::mutex mutex_;              // guards the fields below
  std::condition_variable wake_;
  bool quit_ = false;
  bool running_ = false;
  Clock::time_point resumedAt_;                 // when capture last started
  Clock::duration elapsedBefore_{};             // capture time before that
};

}  // namespace

std::unique_ptr<VideoSource> arVideoOpenDemoSource(const VideoSourceConfig& config, std::string* error) {
  auto source = std::make_unique<DemoVideoSource>(config);
  if (!source->open(error)) return nullptr;
  return source;
}
