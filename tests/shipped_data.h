// The shipped data files that several test programs read.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "camera/camera_param.h"

// The shipped 640 x 480 camera, lens distortion included; a missing file ends the test program.
inline CameraParam shippedCamera() {
  CameraParam camera{};
  if (arCameraParamRead("Data/camera_para.dat", 1, &camera) != 0) std::abort();
  return camera;
}

// The pattern files in Data/patterns, in name order (empty when the folder is missing).
inline std::vector<std::string> shippedPatternFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("Data/patterns", ec))
    if (entry.path().extension() == ".patt") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}
