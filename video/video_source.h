// One opened video source: it captures on its own threads and publishes into its exchange.
#pragma once

#include <memory>
#include <string>

#include "video/frame_exchange.h"
#include "video/video_config.h"

class VideoSource {
 public:
  virtual ~VideoSource() = default;

  // Begins or resumes publishing frames. false when the source cannot run (already reported).
  virtual bool start() = 0;
  // Stops publishing; start() resumes.
  virtual void stop() = 0;
  // What is in use, for the start-up line: e.g. "camera /dev/video0 640x480 MJPEG at 30 fps".
  virtual std::string description() const = 0;
  // Length of the stream in seconds when it is known and finite (a file, a sequence that does
  // not loop); 0 otherwise.
  virtual double durationSeconds() const { return 0; }

  FrameExchange& frames() { return frames_; }

 protected:
  FrameExchange frames_;
};

// Each opener returns null with a one-line cause in *error (naming the file or device) when the
// source cannot be opened. The opened source has configured its exchange with the frame size.
std::unique_ptr<VideoSource> arVideoOpenGstSource(const VideoSourceConfig& config, std::string* error);
std::unique_ptr<VideoSource> arVideoOpenDemoSource(const VideoSourceConfig& config, std::string* error);

// Opens the first source of config that works. *line gets the start-up line: the source in use,
// led by the causes of those before it that failed, or why none could be opened (name labels
// the configuration). null when none opened.
std::unique_ptr<VideoSource> arVideoOpenFirstSource(const VideoConfig& config, const std::string& name,
                                                    std::string* line);
