// Writes the picture on which scripts/check-package runs the installed example: the shipped rocket
// marker, 80 mm wide, tilted and turned 400 mm in front of the shipped camera, as that camera sees
// it. Prints the marker's true pose as examples/find_markers prints a pose. Run from the
// repository root (it reads Data/).
//   example_scene PICTURE.png
#include <cstdio>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: example_scene PICTURE.png\n");
    return 2;
  }
  auto fail = [](const std::string& why) {
    std::fprintf(stderr, "example_scene: %s\n", why.c_str());
    return 1;
  };
  const char* cameraFile = "Data/camera_para.dat";
  CameraParam camera;
  SimMarker marker;
  SimImage interior, picture;
  std::string error;
  if (arCameraParamRead(cameraFile, 1, &camera) != 0) return fail(std::string("cannot read ") + cameraFile);
  if (!simPictureFromPatternFile("Data/patterns/rocket.patt", &interior, &error)) return fail(error);
  marker.interior = &interior;
  simPoseLookAt(400, 30, 20, 15, 30, -20, marker.pose);

  const SimRenderer renderer(camera, camera.xsize, camera.ysize);
  std::vector<uint8_t> bgra(static_cast<size_t>(camera.xsize) * camera.ysize * 4);
  renderer.render(SimBackground(), &marker, 1, SimEffects(), bgra.data(), nullptr);
  picture.width = camera.xsize, picture.height = camera.ysize, picture.channels = 3;
  for (size_t i = 0; i < bgra.size(); i += 4) picture.pixels.insert(picture.pixels.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
  if (!simWritePng(argv[1], picture, &error)) return fail(error);
  for (const auto& row : marker.pose) std::printf("%9.4f %9.4f %9.4f %9.2f\n", row[0], row[1], row[2], row[3]);
  return 0;
}
