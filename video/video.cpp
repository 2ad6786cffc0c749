// The process-wide video source behind the capture calls.
#include "video/video.h"

#include <cstdio>
#include <memory>
#include <string>

#include "video/video_config.h"
#include "video/video_internal.h"
#include "video/video_source.h"

namespace {

struct VideoState {
  std::unique_ptr<VideoSource> source;   // null while closed
  bool running = false;                  // between arVideoCapStart and arVideoCapStop
  bool holding = false;                  // the viewer holds a frame from arVideoGetImage
};

VideoState& videoState() {
  static VideoState state;
  return state;
}

std::unique_ptr<VideoSource> openSource(const VideoSourceConfig& config, std::string* error) {
  if (config.type == VideoSourceType::Demo) return arVideoOpenDemoSource(config, error);
  return arVideoOpenGstSource(config, error);
}

}  // namespace

std::unique_ptr<VideoSource> arVideoOpenFirstSource(const VideoConfig& config, const std::string& name,
                                                    std::string* line) {
  // Sources are tried in order; the causes of those that failed lead the line that names the
  // source in use, so a fallback is one line, not a cascade of errors.
  std::string causes;
  for (const VideoSourceConfig& source : config.sources) {
    std::string cause;
    std::unique_ptr<VideoSource> opened = openSource(source, &cause);
    if (opened) {
      *line = (causes.empty() ? "" : causes + "; using ") + opened->description();
      return opened;
    }
    causes += (causes.empty() ? "" : "; ") + cause;
  }
  *line = "no source of " + name + " could be opened: " + causes;
  return nullptr;
}

int arVideoOpen(const char* config) {
  VideoState& state = videoState();
  if (state.source) {
    std::fprintf(stderr, "video: a source is already open (%s); close it first\n",
                 state.source->description().c_str());
    return -1;
  }
  VideoConfig parsed;
  std::string error;
  if (!config || !arVideoReadConfig(config, &parsed, &error)) {
    std::fprintf(stderr, "video: %s\n", config ? error.c_str() : "no configuration file given");
    return -1;
  }
  std::string line;
  state.source = arVideoOpenFirstSource(parsed, arVideoConfigPath(config), &line);
  std::fprintf(stderr, "video: %s\n", line.c_str());
  return state.source ? 0 : -1;
}

int arVideoInqSize(int* width, int* height) {
  VideoState& state = videoState();
  if (!state.source || !width || !height) return -1;
  *width = state.source->frames().width();
  *height = state.source->frames().height();
  return 0;
}

int arVideoCapStart() {
  VideoState& state = videoState();
  if (!state.source) return -1;
  if (state.running) return 0;
  state.running = state.source->start();
  return state.running ? 0 : -1;
}

uint8_t* arVideoGetImage() {
  VideoState& state = videoState();
  if (!state.source || !state.running) return nullptr;
  uint8_t* frame = state.source->frames().take();
  if (frame) state.holding = true;
  return frame;
}

int arVideoCapNext() {
  VideoState& state = videoState();
  if (state.source && state.holding) state.source->frames().release();
  state.holding = false;
  return 0;
}

int arVideoCapStop() {
  VideoState& state = videoState();
  if (!state.source) return -1;
  if (state.running) state.source->stop();
  state.running = false;
  return 0;
}

int arVideoClose() {
  VideoState& state = videoState();
  if (!state.source) return -1;
  arVideoCapStop();
  state.source.reset();
  state.holding = false;
  return 0;
}

bool arVideoStreamEnded() {
  VideoState& state = videoState();
  return state.source && state.source->frames().finished();
}
