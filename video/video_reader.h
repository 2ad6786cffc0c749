// Reading a video source frame by frame, for programs that work through a recording instead of
// showing it live (ardetect). Files and picture sequences deliver every frame, as fast as the
// reader takes them, with their time in the stream; live sources (camera, custom pipeline, demo
// scene) deliver their newest frame, as they do for the viewer.
//
// Independent of the process-wide source of video.h; one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "video/video_config.h"

class VideoSource;

class ArVideoReader {
 public:
  ArVideoReader();
  ~ArVideoReader();
  ArVideoReader(const ArVideoReader&) = delete;
  ArVideoReader& operator=(const ArVideoReader&) = delete;

  // Opens the first source of config that works and starts it. *line gets one line naming the
  // source in use (led by the causes of those that failed) or, on failure, why none opened;
  // name labels the configuration in it. false when no source opened.
  bool open(const VideoConfig& config, const std::string& name, std::string* line);

  // Waits for the next frame: width() x height() BGRA pixels, rows top to bottom, valid until
  // the next call. *seconds gets its time in the stream, or for a source without one the
  // seconds since the reader started. null at the end of the stream, when the source stopped
  // (the video layer has printed why) or when nothing is open.
  const uint8_t* next(double* seconds);

  int width() const;
  int height() const;
  // Length of the stream in seconds when known (a file, a sequence that does not loop); else 0.
  double duration() const;

 private:
  std::unique_ptr<VideoSource> source_;
  bool holding_ = false;
  std::chrono::steady_clock::time_point started_;
};
