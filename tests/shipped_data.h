// The shipped camera file that several test programs read.
#pragma once

#include <cstdlib>

#include "camera/camera_param.h"

// The shipped 640 x 480 camera; with lensDistortion false its distortion is switched off. A
// missing file ends the test program.
inline CameraParam shippedCamera(bool lensDistortion = true) {
  CameraParam camera{};
  if (arCameraParamRead("Data/camera_para.dat", 1, &camera) != 0) std::abort();
  if (!lensDistortion) camera.distortion[2] = 0.0, camera.distortion[3] = 1.0;
  return camera;
}
