// Finding markers in frames and pictures of any size with the project's detection: a frame is
// searched at its own size or shrunk by a whole factor (box averaging), for frames beyond the
// detector's pixel limit and for markers too large for its region limit, and the markers found
// are given back in the frame's own camera.
#pragma once

#include <cstdint>
#include <vector>

#include "camera/camera_param.h"
#include "detect/detection.h"
#include "sim/sim_image.h"

// The least factor that brings a width x height frame within the detector's kArMaxFramePixels.
int leastShrinkFactor(int width, int height);

// BGRA frame, alpha 255, of a grey, RGB or RGBA picture (alpha composited over white).
std::vector<uint8_t> bgraFromPicture(const SimImage& picture);

class MarkerSearch {
 public:
  // camera: the camera of the frames' own size (xsize x ysize); it is made current.
  explicit MarkerSearch(const CameraParam& camera);

  // The markers of one frame of the camera's size, found on the frame shrunk factor times
  // (1: as it is) with the camera resized to match, then given in the frame's own ideal pixels
  // (corners, edge lines, centre and area scaled back). The camera stays current afterwards, so
  // arMarkerPose works on the results. false when the detector refused the frame; *stats (when
  // given) says why.
  bool find(const uint8_t* bgra, int factor, const ArDetectorSettings& settings, std::vector<DetectedMarker>* out,
            ArDetectionStats* stats = nullptr);

  // A single picture searched at every factor from the least one up to the one that leaves 64
  // pixels on its shorter side, each time without memory of the last: the results of the first
  // factor that identifies a marker, else of the one whose largest marker is largest. The
  // detection's marker memory is reset before and after. Returns the factor taken.
  int findInPicture(const uint8_t* bgra, const ArDetectorSettings& settings, std::vector<DetectedMarker>* out);

  const CameraParam& camera() const { return camera_; }

 private:
  CameraParam camera_;
  std::vector<uint8_t> shrunk_;   // the frame at the reduced size, reused across frames
};
