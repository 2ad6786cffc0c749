// Finds the markers in a picture and prints the pose of each one it recognises: the marker's
// transform into camera coordinates (rotation | translation in mm), markers 80 mm wide.
#include <camera/camera_param.h>
#include <detect/detection.h>
#include <pose/pose.h>
#include <stb_image.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: find_markers PICTURE CAMERA_FILE PATTERN_FILE...\n");
    return 2;
  }
  int width, height, channels;
  unsigned char* rgb = stbi_load(argv[1], &width, &height, &channels, 3);
  if (!rgb) {
    std::fprintf(stderr, "find_markers: %s: %s\n", argv[1], stbi_failure_reason());
    return 1;
  }
  CameraParam file, camera;
  if (arCameraParamRead(argv[2], 1, &file) != 0 || arCameraParamProblem(&file)) {
    std::fprintf(stderr, "find_markers: %s: not a usable camera file\n", argv[2]);
    return 1;
  }
  arCameraParamResize(&file, width, height, &camera);  // the camera at the picture's size
  arCameraParamSetCurrent(&camera);
  for (int i = 3; i < argc; i++) {
    if (arReadPatternFile(argv[i]) < 0) return 1;  // pattern i gets id i - 3
  }
  std::vector<uint8_t> frame;
  arBgraFrameFromRgb(rgb, width, height, width * 3, &frame);
  DetectedMarker* markers;
  int count;
  if (arFindMarkers(frame.data(), 100, &markers, &count) < 0) {
    std::fprintf(stderr, "find_markers: %s: too large, or too many dark spots\n", argv[1]);
    return 1;
  }
  for (int m = 0; m < count; m++) {
    const double centre[2] = {0, 0};
    double pose[3][4];
    if (markers[m].id < 0 || arMarkerPose(&markers[m], centre, 80.0, pose) < 0) continue;
    std::printf("%s (confidence %.2f)\n", argv[3 + markers[m].id], markers[m].cf);
    for (const auto& row : pose) std::printf("%9.4f %9.4f %9.4f %9.2f\n", row[0], row[1], row[2], row[3]);
  }
  stbi_image_free(rgb);
  return 0;
}
