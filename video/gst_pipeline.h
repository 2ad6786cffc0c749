// Running one GStreamer capture pipeline as a video source: the source part chosen by the
// configuration, then videoconvert ! videoscale ! BGRA caps ! appsink. The appsink
// (max-buffers=1, drop=true) hands every sample to the frame exchange on GStreamer's streaming
// thread; a bus thread of our own watches for errors and the end of the stream.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

#include "video/video_source.h"

// What to build for one configured source.
struct GstPlan {
  std::string launch;             // gst-launch text; our elements are named arvideo_*
  std::string what;               // the source in messages: "camera /dev/video0", "file clip.avi"
  std::string detail;             // after the size in the start-up line: "MJPEG at 30 fps"
  std::string device;             // camera: device property of arvideo_src
  std::string cameraCaps;         // camera: caps of arvideo_camcaps
  std::string uri;                // file: uri property of arvideo_src
  std::vector<std::string> pictures;   // sequence: fed through arvideo_appsrc
  std::string pictureCaps;        // sequence: "image/png" or "image/jpeg"
  bool sync = true;               // pace by timestamps (files); live sources deliver at once
  bool loop = false;              // file: seek back at the end; sequence: feed the pictures again
};

// Builds the pipeline, plays it up to its first picture (10 s at most) and learns the frame
// size. null with "<what>: <cause>" in *error when it fails.
std::unique_ptr<VideoSource> arVideoRunGstPlan(const VideoSourceConfig& config, GstPlan plan,
                                               std::string* error);

// The message of a GStreamer error, which is freed; "unknown error" for null.
std::string arVideoGErrorText(GError* error);
