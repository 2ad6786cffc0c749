// Any text as an OpenCV or ROS calibration; what parses is converted as arcamera would.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/arcamera/distortion_fit.h"
#include "tools/arcamera/opencv_camera.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  OpenCvCamera camera;
  std::string error;
  if (!parseOpenCvCalibration(text, &camera, &error)) return 0;
  if (camera.width == 0) camera.width = 64, camera.height = 48;
  // Small images keep each run short; the size does not change what is exercised.
  if (camera.width > 256 || camera.height > 256) return 0;
  DistortionFit fit;
  fitDistortion(camera, &fit, &error);
  return 0;
}
