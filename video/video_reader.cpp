#include "video/video_reader.h"

#include "video/video_source.h"

namespace {
// How long one wait for a frame lasts before the end of the stream is checked again.
constexpr std::chrono::milliseconds kWaitSlice(100);
}  // namespace

ArVideoReader::ArVideoReader() = default;

ArVideoReader::~ArVideoReader() {
  if (source_) source_->stop();
}

bool ArVideoReader::open(const VideoConfig& config, const std::string& name, std::string* line) {
  VideoConfig reading = config;
  for (VideoSourceConfig& source : reading.sources)
    source.everyFrame = source.type == VideoSourceType::File || source.type == VideoSourceType::Sequence;
  source_ = arVideoOpenFirstSource(reading, name, line);
  if (!source_) return false;
  started_ = std::chrono::steady_clock::now();
  if (source_->start()) return true;
  *line = source_->description() + ": cannot start";
  source_.reset();
  return false;
}

const uint8_t* ArVideoReader::next(double* seconds) {
  if (!source_) return nullptr;
  FrameExchange& frames = source_->frames();
  if (holding_) frames.release();
  holding_ = false;
  double stamp = -1;
  uint8_t* frame = nullptr;
  while (!frame && !frames.finished()) frame = frames.waitTake(kWaitSlice, &stamp);
  if (!frame) return nullptr;
  holding_ = true;
  *seconds = stamp >= 0 ? stamp
                        : std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  return frame;
}

int ArVideoReader::width() const { return source_ ? source_->frames().width() : 0; }
int ArVideoReader::height() const { return source_ ? source_->frames().height() : 0; }
double ArVideoReader::duration() const { return source_ ? source_->durationSeconds() : 0; }
