// The video configuration file: an XML document listing the sources to try, in order.
//
//   <video>
//     <source type="camera" device="auto" width="640" height="480" fps="30" flipV="false"/>
//     <source type="demo" width="640" height="480" fps="30" motion="smooth" seed="1"/>
//   </video>
//
// Source types and their attributes (any attribute not listed for a type is an error):
//   camera    device ("auto", "/dev/videoN" or N), width, height, fps
//   file      file (a video file), width, height, fps, loop
//   sequence  file (printf pattern with one integer conversion, a folder, or one picture;
//             .png or .jpg pictures), width, height, fps, loop
//   pipeline  pipeline (a capture pipeline description, completed with a BGRA sink), width,
//             height, fps
//   demo      width, height, fps, motion ("smooth" or "still"), seed, patterns (folder of .patt
//             and .png files), camera (camera parameter file), and the scene's lighting:
//             gain (0..8), black (0..254), gradient (0..1), shadow (0..1), exposure (1..16),
//             as in sim/lighting.h, with the gradient's direction and the shadow edge drawn
//             from seed
// Every type also takes flipV and flipH. File names are relative to the working directory and
// may use backslashes as folder separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/lighting.h"

enum class VideoSourceType { Camera, File, Sequence, Pipeline, Demo };

enum class DemoMotion { Smooth, Still };

struct VideoSourceConfig {
  VideoSourceType type = VideoSourceType::Demo;
  int line = 0;                     // line of the <source> element in the file, for messages
  std::string device = "auto";      // camera: "auto" or a device path (an index N becomes /dev/videoN)
  std::string file;                 // file and sequence: path with forward slashes
  std::string pipeline;             // pipeline: the description as written
  int width = 0;                    // pixels, 1..8192; 0 = the source's own size
  int height = 0;                   // pixels, 1..8192; 0 = the source's own size (set with width)
  int fpsNum = 0;                   // frames per second as a fraction; 0 = the source's own rate
  int fpsDen = 1;
  bool flipV = false;               // delivered frames are mirrored top to bottom
  bool flipH = false;               // delivered frames are mirrored left to right
  bool loop = false;                // file and sequence: start again at the end
  DemoMotion motion = DemoMotion::Smooth;
  uint32_t seed = 1;                // demo: the same seed gives the same scene
  std::string patterns = "Data/patterns";        // demo: folder of the markers to show
  std::string camera = "Data/camera_para.dat";   // demo: the camera the scene is seen through
  SimLighting lighting;                          // demo: the scene's light; seed is the source's seed
  // Set by programs that read a recording through (never read from a file): file and sequence
  // sources deliver every frame, unpaced, each waiting until the one before has been taken.
  bool everyFrame = false;
};

struct VideoConfig {
  std::vector<VideoSourceConfig> sources;   // in the order they are tried; never empty on success
};

// The configuration path as a file name of this system: backslashes become forward slashes.
std::string arVideoConfigPath(const char* path);

// Parses a configuration document of size bytes (need not be NUL-terminated). name labels the
// messages. true on success; false with a one-line cause in *error (naming name and the line)
// and no sources in *out.
bool arVideoParseConfig(const char* text, size_t size, const std::string& name, VideoConfig* out,
                        std::string* error);

// Reads and parses the file at path (backslashes allowed). false with a cause in *error when the
// file cannot be read or is not a valid configuration.
bool arVideoReadConfig(const char* path, VideoConfig* out, std::string* error);

// Short name of a source type as written in the file ("camera", "file", ...).
const char* arVideoSourceTypeName(VideoSourceType type);
