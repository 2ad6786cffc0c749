// The built-in demo scene: the shipped markers floating in front of the shipped camera, drawn
// by the synthetic renderer. Everything it shows is a pure function of the settings and the
// time, so tests can project where each marker is at any moment.
//
// Layout: the frame is cut into a grid of cells (3 x 2 for five markers at 4:3), one marker per
// cell, 80 mm wide, each swaying within its cell: 400 to 900 mm away at 640x480 (in smaller
// frames the nearest distance grows so a marker fits its cell, and the farthest shrinks so a
// marker stays at least 40 pixels wide), tilted up to 40 degrees, turned about its normal.
// Markers never overlap and stay inside the frame. At most 12 markers; fewer when the frame is
// too small for all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "sim/lighting.h"
#include "sim/sim_image.h"
#include "video/video_config.h"

struct DemoSceneSettings {
  int width = 640, height = 480;                 // frame size in pixels, 1..4096
  DemoMotion motion = DemoMotion::Smooth;        // Still: the scene at time 0, whatever the time
  uint32_t seed = 1;                             // chooses cells, phases and rates
  std::string patterns = "Data/patterns";        // folder of <name>.patt (and <name>.png) files
  std::string camera = "Data/camera_para.dat";   // rescaled to the frame size
  SimLighting lighting;                          // the studio light by default (sim/lighting.h)
};

struct DemoSceneMarker {
  std::string patternFile;   // "<patterns>/<name>.patt": the pattern that identifies this marker
  double width = 80;         // mm, black border included
  double pose[3][4];         // marker -> camera at the asked time: [R | t], t in mm
};

class SimRenderer;

class DemoScene {
 public:
  DemoScene();
  ~DemoScene();
  DemoScene(DemoScene&&) noexcept;
  DemoScene& operator=(DemoScene&&) noexcept;

  // Reads the camera and the patterns (pictures from <name>.png when present, otherwise from
  // the pattern file). false with a one-line cause naming the file or folder.
  bool load(const DemoSceneSettings& settings, std::string* error);

  // The markers at t seconds after the start, in pattern-file name order.
  std::vector<DemoSceneMarker> markersAt(double t) const;

  // Draws the frame at t seconds: width * height BGRA pixels, rows top to bottom.
  void render(double t, uint8_t* bgra) const;

  const CameraParam& camera() const { return camera_; }   // at the frame size
  const DemoSceneSettings& settings() const { return settings_; }

 private:
  struct Motion;   // one marker's cell, phases and rates

  DemoSceneSettings settings_;
  CameraParam camera_{};
  std::vector<std::string> patternFiles_;
  std::vector<SimImage> pictures_;
  std::vector<Motion> motions_;
  std::unique_ptr<SimRenderer> renderer_;
};
