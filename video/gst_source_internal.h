// Pieces of the GStreamer sources that tests check on their own: choosing a camera format,
// finding cameras, and listing the pictures of an image sequence.
#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

// Initialises GStreamer once per process. false with the cause when it cannot be initialised.
bool arVideoGstInit(std::string* error);

// The camera format to ask for, from the formats a camera offers.
struct CameraFormat {
  std::string caps;      // caps for the camera's output, e.g. "image/jpeg,width=640,height=480,framerate=30/1"
  bool mjpeg = false;    // the camera sends JPEG pictures that need decoding
  std::string label;     // "MJPEG" or the raw pixel format, e.g. "YUY2"
  bool exactSize = false;   // the camera gives the wanted size itself (no scaling)
};

// Prefers, in this order: raw video at the wanted size and rate, MJPEG at that size and rate,
// raw at that size, MJPEG at that size, then any raw or MJPEG size (scaled afterwards). Earlier
// entries of offered win ties, as cameras list their preferred format first. false when the
// camera offers neither raw video nor MJPEG.
bool arVideoChooseCameraFormat(const GstCaps* offered, int width, int height, int fpsNum,
                               int fpsDen, CameraFormat* out);

// The video device nodes present, "/dev/videoN", sorted by N.
std::vector<std::string> arVideoListCameraDevices();

// The pictures of a sequence, in showing order, and their caps ("image/png" or "image/jpeg").
// location is a folder (its .png, .jpg and .jpeg files sorted by name, all of the first one's kind),
// a pattern with one integer conversion such as img%04d.png (numbers from 0 or 1 on, up to the
// first missing one), or a single picture. false with the cause when no picture is found or
// the pattern is not of that form.
bool arVideoListSequence(const std::string& location, std::vector<std::string>* files,
                         std::string* mime, std::string* error);
