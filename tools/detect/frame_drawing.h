// Pictures of what detection found: the frame with each marker's outline, label and pose axes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "sim/sim_image.h"

struct DrawnMarker {
  double corners[4][2];        // ideal pixels, in order around the square
  bool identified = false;     // outlined green when identified, orange when not
  std::string label;           // drawn above the marker
  bool hasPose = false;
  double pose[3][4];           // marker -> camera, when hasPose
  double center[2] = {0, 0};   // axes start at the marker centre, in the pose's unit
  double axisLength = 40;      // in the pose's unit
};

// Outline colours, RGB.
constexpr uint8_t kIdentifiedColour[3] = {0, 230, 0};
constexpr uint8_t kUnidentifiedColour[3] = {255, 150, 0};

// The RGB picture of a BGRA frame of the camera's size with the markers drawn where the camera
// sees them (ideal points moved by the lens distortion): the outline 3 pixels wide, the label on
// a black box, and the pose axes x red, y green, z (towards the camera) blue.
SimImage drawDetections(const uint8_t* bgra, const CameraParam& camera, const std::vector<DrawnMarker>& markers);
