// Feeds arbitrary bytes to the video configuration parser; every parsed source must satisfy
// the ranges the parser promises.
#include <cstdint>
#include <cstdlib>

#include "video/video_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VideoConfig config;
  std::string error;
  bool ok = arVideoParseConfig(reinterpret_cast<const char*>(data), size, "fuzz.xml", &config, &error);
  if (ok == config.sources.empty() || ok != error.empty()) std::abort();
  for (const VideoSourceConfig& s : config.sources) {
    bool sized = s.width >= 1 && s.width <= 8192 && s.height >= 1 && s.height <= 8192;
    if (!sized && (s.width != 0 || s.height != 0)) std::abort();
    if (s.fpsNum < 0 || s.fpsDen < 1) std::abort();
  }
  return 0;
}
