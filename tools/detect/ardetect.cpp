// ardetect: runs the detector on a picture, a picture sequence, a video file or the configured
// video source and prints one record per marker per frame.
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "detect/detection.h"
#include "detect/detector_options.h"
#include "pose/pose.h"
#include "sim/sim_image.h"
#include "tools/common/marker_search.h"
#include "tools/common/pattern_set.h"
#include "tools/detect/detection_records.h"
#include "tools/detect/frame_drawing.h"
#include "tools/detect/run_progress.h"
#include "video/video_config.h"
#include "video/video_reader.h"

namespace {

constexpr const char* kUsage =
    "Usage: ardetect [options] [INPUT]\n"
    "\n"
    "Finds the markers in every frame of INPUT and prints one record per marker per frame: frame\n"
    "number, time (s), pattern id and name, confidence, dir, the four corners (undistorted pixels;\n"
    "top-left, top-right, bottom-right, bottom-left of the upright marker), the pose (3 x 4\n"
    "marker-to-camera matrix, row by row, translation in the marker width's unit) and its fit\n"
    "error (pixels squared). Like the viewer it reads Data/camera_para.dat (rescaled to the frame\n"
    "size) and the patterns of Data/markerdata.mkd, so run it where Data/ is.\n"
    "\n"
    "  INPUT              a picture (.png, .jpg), a folder of pictures, a numbered sequence such\n"
    "                     as shots/img%%04d.png, or a video file; without INPUT, the video source\n"
    "                     of the viewer's configuration (a camera or the demo scene)\n"
    "  --config FILE      read the video configuration FILE instead (default\n"
    "                     Data/WDM_camera_flipV.xml, used when there is no INPUT)\n"
    "  --camera FILE      camera file (default Data/camera_para.dat)\n"
    "  --markers SET      marker table or folder of .patt files that names the patterns\n"
    "                     (default Data/markerdata.mkd; ids count the table's rows from 0)\n"
    "  --width W          marker width for a folder SET, in the pose's unit (default 80)\n"
    "%s"
    "  --shrink N         search frames shrunk N times (default: as they are, or as little as\n"
    "                     the detector's pixel limit needs; a single picture is also searched\n"
    "                     smaller when nothing is identified there, for markers too large)\n"
    "  --all              also report squares that match no pattern (id -1, no pose)\n"
    "  --no-memory        search every frame on its own; by default a marker missed in a frame\n"
    "                     is still reported for the next two, as the viewer's tracker does\n"
    "  --format csv|json  CSV with a header line (default) or JSON lines\n"
    "  --output FILE      write the records to FILE instead of standard output\n"
    "  --draw DIR         also write every frame as DIR/frame000000.png with the outlines (green:\n"
    "                     identified, orange: not), names and pose axes (x red, y green, z blue)\n"
    "  --frames N         stop after N frames (a live source runs until interrupted otherwise)\n"
    "  --fps N            frame rate of picture sequences, for the times (default 30)\n"
    "  --help             prints this text\n"
    "\n"
    "Messages, a progress line for long inputs and a closing count go to standard error.\n"
    "Exit status: 0 when the input was read through, 1 when a file or the video source could\n"
    "not be read or a file not written, 2 on wrong usage.\n";

constexpr const char* kDefaultConfig = "Data/WDM_camera_flipV.xml";

volatile std::sig_atomic_t gInterrupted = 0;

void onInterrupt(int) { gInterrupted = 1; }

int usageError(const std::string& message) {
  std::fprintf(stderr, "ardetect: %s (see ardetect --help)\n", message.c_str());
  return 2;
}

int failure(const std::string& message) {
  std::fprintf(stderr, "ardetect: %s\n", message.c_str());
  return 1;
}

bool parseInt(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  *out = v;
  return true;
}

bool parsePositive(const char* text, double* out) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v > 0) || !(v < 1e9)) return false;
  *out = v;
  return true;
}

struct Options {
  std::string input, config, camera = "Data/camera_para.dat", markers = "Data/markerdata.mkd";
  std::string output, drawFolder;
  double width = 80;
  long shrink = 0;   // 0: chosen per input
  long frames = 0;   // 0: all
  long fps = 30;
  bool all = false;
  bool memory = true;
  RecordFormat format = RecordFormat::Csv;
  ArDetectorOptions detector;
};

// 0 when the options were read, else the exit status (usage printed or error reported).
int parseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    std::string error;
    const int detectorOption = arParseDetectorOption(argc, argv, &i, &o->detector, &error);
    if (detectorOption < 0) return usageError(error);
    if (detectorOption > 0) {
      --i;  // the loop moves past the option's last word
    } else if (arg == "--help" || arg == "-h") {
      std::printf(kUsage, arDetectorOptionsUsage());
      return -1;
    } else if (arg == "--config" || arg == "--camera" || arg == "--markers" || arg == "--output" || arg == "--draw") {
      if (!hasValue) return usageError(arg + " needs a file name");
      std::string* target = arg == "--config" ? &o->config : arg == "--camera" ? &o->camera
                             : arg == "--markers" ? &o->markers : arg == "--output" ? &o->output : &o->drawFolder;
      *target = argv[++i];
    } else if (arg == "--width") {
      if (!hasValue || !parsePositive(argv[i + 1], &o->width)) return usageError("--width needs a positive number");
      ++i;
    } else if (arg == "--shrink" || arg == "--frames" || arg == "--fps") {
      long* target = arg == "--shrink" ? &o->shrink : arg == "--frames" ? &o->frames : &o->fps;
      if (!hasValue || !parseInt(argv[i + 1], 1, arg == "--fps" ? 1000 : 1000000000, target))
        return usageError(arg + " needs a whole number of at least 1");
      ++i;
    } else if (arg == "--format") {
      const std::string value = hasValue ? argv[i + 1] : "";
      if (value != "csv" && value != "json") return usageError("--format takes csv or json");
      o->format = value == "csv" ? RecordFormat::Csv : RecordFormat::Json;
      ++i;
    } else if (arg == "--all") {
      o->all = true;
    } else if (arg == "--no-memory") {
      o->memory = false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (o->input.empty()) {
      o->input = arg;
    } else {
      return usageError("give one INPUT");
    }
  }
  if (!o->input.empty() && !o->config.empty()) return usageError("give INPUT or --config, not both");
  return 0;
}

bool isPicture(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".png" || ext == ".jpg" || ext == ".jpeg";
}

// The video configuration that reads the options' input; *singlePicture tells whether it is
// one picture. false with *error set.
bool inputConfig(const Options& o, VideoConfig* config, std::string* name, bool* singlePicture, std::string* error) {
  *singlePicture = false;
  if (o.input.empty()) {
    *name = o.config.empty() ? kDefaultConfig : o.config;
    return arVideoReadConfig(name->c_str(), config, error);
  }
  *name = o.input;
  std::error_code ec;
  const bool folder = std::filesystem::is_directory(o.input, ec);
  const bool numbered = o.input.find('%') != std::string::npos;
  if (!folder && !numbered && !std::filesystem::exists(o.input, ec)) {
    *error = "\"" + o.input + "\": no such file or folder";
    return false;
  }
  VideoSourceConfig source;
  *singlePicture = !folder && !numbered && isPicture(o.input);
  source.type = folder || numbered || *singlePicture ? VideoSourceType::Sequence : VideoSourceType::File;
  source.file = o.input;
  if (source.type == VideoSourceType::Sequence) source.fpsNum = static_cast<int>(o.fps);
  config->sources.assign(1, source);
  return true;
}

// The patterns of the set loaded into the detector; entry i gets id i.
bool loadPatterns(const std::vector<PatternSetEntry>& entries, const std::string& setName, std::string* error) {
  arResetPatternStore();
  for (size_t i = 0; i < entries.size(); i++) {
    const PatternSetEntry& e = entries[i];
    const std::string where = e.line > 0 ? setName + ":" + std::to_string(e.line) + ": " : "";
    // Checked first: the loader's own messages go to standard output, where the records are.
    std::vector<int> values;
    std::string cause;
    if (arReadPatternValues(e.file, &values, &cause) != ArPatternFileStatus::Ok) {
      *error = where + cause;
      return false;
    }
    if (arReadPatternFile(e.file.c_str()) != static_cast<int>(i)) {
      *error = where + "\"" + e.file + "\": the detector holds at most 50 patterns";
      return false;
    }
  }
  return true;
}

bool readCamera(const std::string& file, CameraParam* camera, std::string* error) {
  if (arCameraParamRead(file.c_str(), 1, camera) < 0) {
    *error = "\"" + file + "\": cannot read the camera file (missing, unreadable or shorter than " +
             std::to_string(kCameraParamFileRecordSize) + " bytes)";
    return false;
  }
  if (const char* problem = arCameraParamProblem(camera)) {
    *error = "\"" + file + "\": not a usable camera file: " + problem;
    return false;
  }
  return true;
}

// One frame's markers as records and drawings.
class FrameReport {
 public:
  FrameReport(const Options& o, const std::vector<PatternSetEntry>& entries) : options_(o), entries_(entries) {}

  void add(const DetectedMarker& m, long frame, double seconds, RecordWriter* writer) {
    if (m.id < 0 && !options_.all) return;
    MarkerRecord r;
    r.frame = frame;
    r.seconds = seconds;
    r.id = m.id;
    r.confidence = m.cf;
    r.dir = m.dir;
    DrawnMarker drawn;
    const bool identified = m.id >= 0 && m.id < static_cast<int>(entries_.size()) && m.dir >= 0;
    // An identified marker's corners from its upright top-left on; the detector's order otherwise.
    for (int k = 0; k < 4; k++) {
      const int v = identified ? (4 + k - m.dir) % 4 : k;
      for (int c = 0; c < 2; c++) r.corners[k][c] = drawn.corners[k][c] = m.vertex[v][c];
    }
    if (identified) {
      const PatternSetEntry& e = entries_[m.id];
      r.name = e.name;
      r.fitError = options_.detector.refine ? arMarkerPoseRefined(&m, e.center, e.width, r.pose, nullptr)
                                            : arMarkerPose(&m, e.center, e.width, r.pose);
      r.hasPose = r.fitError >= 0;
      drawn.identified = true;
      char label[96];
      std::snprintf(label, sizeof label, "%d %.40s %.2f", m.id, e.name.c_str(), m.cf);
      drawn.label = label;
      drawn.hasPose = r.hasPose;
      std::memcpy(drawn.pose, r.pose, sizeof drawn.pose);
      drawn.center[0] = e.center[0];
      drawn.center[1] = e.center[1];
      drawn.axisLength = e.width / 2;
      counts_[e.name]++;
    } else {
      unidentified_++;
    }
    writer->write(r);
    drawn_.push_back(drawn);
  }

  // Writes the drawing of the frame when asked and starts the next; false with *error on failure.
  bool draw(const uint8_t* bgra, const CameraParam& camera, long frame, std::string* error) {
    std::vector<DrawnMarker> drawn;
    drawn.swap(drawn_);
    if (options_.drawFolder.empty()) return true;
    char name[32];
    std::snprintf(name, sizeof name, "frame%06ld.png", frame);
    return simWritePng(options_.drawFolder + "/" + name, drawDetections(bgra, camera, drawn), error);
  }

  // "5 markers: flag 1, hook 1, ..." for the closing line.
  std::string summary() const {
    long total = unidentified_;
    std::string names;
    for (const auto& [name, count] : counts_) {
      total += count;
      names += (names.empty() ? ": " : ", ") + name + " " + std::to_string(count);
    }
    if (unidentified_ > 0) names += (names.empty() ? ": " : ", ") + std::to_string(unidentified_) + " unidentified";
    return std::to_string(total) + (total == 1 ? " marker" : " markers") + names;
  }

 private:
  const Options& options_;
  const std::vector<PatternSetEntry>& entries_;
  std::vector<DrawnMarker> drawn_;
  std::map<std::string, long> counts_;
  long unidentified_ = 0;
};

int run(const Options& o) {
  std::vector<PatternSetEntry> entries;
  std::string error;
  if (!readPatternSet(o.markers, o.width, &entries, &error) || !loadPatterns(entries, o.markers, &error))
    return failure(error);
  CameraParam stored;
  if (!readCamera(o.camera, &stored, &error)) return failure(error);
  if (!o.drawFolder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.drawFolder, ec);
    if (ec) return failure("\"" + o.drawFolder + "\": cannot make the folder: " + ec.message());
  }

  VideoConfig config;
  std::string name, line;
  bool singlePicture = false;
  if (!inputConfig(o, &config, &name, &singlePicture, &error)) return failure(error);
  FILE* out = stdout;
  std::unique_ptr<FILE, int (*)(FILE*)> file(nullptr, std::fclose);
  if (!o.output.empty()) {
    file.reset(std::fopen(o.output.c_str(), "w"));
    if (!file) return failure("\"" + o.output + "\": cannot write: " + std::strerror(errno));
    out = file.get();
  }
  ArVideoReader reader;
  if (!reader.open(config, name, &line)) return failure(line);
  std::fprintf(stderr, "ardetect: reading %s\n", line.c_str());
  RecordWriter writer(out, o.format);

  CameraParam camera;
  arCameraParamResize(&stored, reader.width(), reader.height(), &camera);
  if (const char* problem = arCameraParamProblem(&camera))
    return failure("\"" + o.camera + "\" rescaled to the frames' " + std::to_string(reader.width()) + "x" +
                   std::to_string(reader.height()) + ": " + problem);
  MarkerSearch search(camera);
  const bool still = singlePicture && o.shrink == 0;
  const int factor = o.shrink > 0 ? static_cast<int>(o.shrink) : leastShrinkFactor(camera.xsize, camera.ysize);
  if (!still && factor > 1)
    std::fprintf(stderr, "ardetect: frames of %dx%d are searched at 1/%d of their size%s\n", camera.xsize,
                 camera.ysize, factor, o.shrink > 0 ? "" : " (larger than the detector takes)");

  std::signal(SIGINT, onInterrupt);
  RunProgress progress(stderr, reader.duration());
  FrameReport report(o, entries);
  std::vector<DetectedMarker> markers;
  double seconds = 0;
  long frame = 0, skipped = 0;
  ArDetectionStats stats;
  int status = 0;
  for (; !gInterrupted && (o.frames == 0 || frame < o.frames); frame++) {
    const uint8_t* bgra = reader.next(&seconds);
    if (!bgra) break;
    if (!o.memory) arResetMarkerHistory();
    if (still) {
      const int used = search.findInPicture(bgra, o.detector.settings, &markers);
      if (used > 1) std::fprintf(stderr, "ardetect: %s searched at 1/%d of its size\n", o.input.c_str(), used);
    } else if (!search.find(bgra, factor, o.detector.settings, &markers, &stats) && skipped++ == 0) {
      std::fprintf(stderr, "ardetect: frame %ld skipped: %s; later frames the detector refuses are skipped too\n",
                   frame, arDetectionProblemText(stats.problem));
    }
    for (const DetectedMarker& m : markers) report.add(m, frame, seconds, &writer);
    if (!report.draw(bgra, camera, frame, &error)) {
      status = failure(error);
      break;
    }
    progress.frameDone(seconds);
  }
  progress.finish();
  std::signal(SIGINT, SIG_DFL);
  const bool written = std::fflush(out) == 0 && !std::ferror(out) && (!file || std::fclose(file.release()) == 0);
  if (!written && status == 0)
    status = failure((o.output.empty() ? std::string("standard output") : "\"" + o.output + "\"") + ": cannot write the records");
  std::fprintf(stderr, "ardetect: %ld %s%s, %s%s\n", frame, frame == 1 ? "frame" : "frames",
               gInterrupted ? " (interrupted)" : "", report.summary().c_str(),
               skipped > 0 ? (", " + std::to_string(skipped) + " skipped").c_str() : "");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const int status = parseOptions(argc, argv, &options);
  if (status != 0) return status < 0 ? 0 : status;
  return run(options);
}
