// Reads any bytes as a camera file of one or two records, then uses the values the way start-up
// does (rescale, make current, undistort a point).
#include <cstdint>

#include "camera/camera_param.h"
#include "camera/distortion.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInputFile file(data, size);
  CameraParam records[2];
  for (int count = 1; count <= 2; count++) {
    if (arCameraParamRead(file.path(), count, records) < 0) continue;
    CameraParam resized;
    arCameraParamResize(&records[0], 320, 240, &resized);
    arCameraParamSetCurrent(&resized);
    double x, y;
    arObservedToIdeal(resized.distortion, 10.0, 20.0, &x, &y);
    arIdealToObserved(resized.distortion, x, y, &x, &y);
  }
  return 0;
}
