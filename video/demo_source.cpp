// Placeholder until the demo scene lands: reports that it is not available.
#include "video/video_source.h"

std::unique_ptr<VideoSource> arVideoOpenDemoSource(const VideoSourceConfig&, std::string* error) {
  *error = "the built-in demo scene is not available in this build";
  return nullptr;
}
