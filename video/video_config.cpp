// Reading the video configuration file with tinyxml2, strictly: every attribute is checked
// against its source type and its range, so a typing slip is reported instead of ignored.
#include "video/video_config.h"

#include <tinyxml2.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <set>
#include <utility>

namespace {

constexpr int kMaxSide = 8192;      // pixels
constexpr double kMaxFps = 1000.0;
constexpr size_t kMaxFileBytes = 1 << 20;

struct TypeInfo {
  const char* name;
  VideoSourceType type;
  std::set<std::string> attributes;   // besides type, flipV and flipH
};

const std::vector<TypeInfo>& typeTable() {
  static const std::vector<TypeInfo> table = {
      {"camera", VideoSourceType::Camera, {"device", "width", "height", "fps"}},
      {"file", VideoSourceType::File, {"file", "width", "height", "fps", "loop"}},
      {"sequence", VideoSourceType::Sequence, {"file", "width", "height", "fps", "loop"}},
      {"pipeline", VideoSourceType::Pipeline, {"pipeline", "width", "height", "fps"}},
      {"demo", VideoSourceType::Demo,
       {"width", "height", "fps", "motion", "seed", "patterns", "camera", "gain", "black", "gradient",
        "shadow", "exposure"}},
  };
  return table;
}

std::string slashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// Whole-string decimal integer in [low, high].
bool parseInt(const char* text, long low, long high, long* value) {
  if (*text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

bool parseBool(const char* text, bool* value) {
  static const char* const yes[] = {"true", "1", "yes", "on"};
  static const char* const no[] = {"false", "0", "no", "off"};
  for (const char* word : yes) {
    if (std::strcmp(text, word) == 0) {
      *value = true;
      return true;
    }
  }
  for (const char* word : no) {
    if (std::strcmp(text, word) == 0) {
      *value = false;
      return true;
    }
  }
  return false;
}

// A positive rate such as "30" or "29.97", kept as a fraction (thousandths when not whole).
bool parseFps(const char* text, int* num, int* den) {
  if (*text == '\0') return false;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (*end != '\0' || !std::isfinite(v) || v <= 0 || v > kMaxFps) return false;
  if (v == std::floor(v)) {
    *num = static_cast<int>(v);
    *den = 1;
  } else {
    *num = static_cast<int>(std::lround(v * 1000));
    *den = 1000;
    if (*num <= 0) return false;
  }
  return true;
}

class SourceReader {
 public:
  SourceReader(const std::string& name, const tinyxml2::XMLElement* element, std::string* error)
      : name_(name), element_(element), error_(error) {}

  bool read(VideoSourceConfig* out) {
    out->line = element_->GetLineNum();
    const char* typeName = element_->Attribute("type");
    if (!typeName) return fail("<source> has no type attribute");
    const TypeInfo* info = nullptr;
    for (const TypeInfo& entry : typeTable()) {
      if (std::strcmp(entry.name, typeName) == 0) info = &entry;
    }
    if (!info) {
      return fail("unknown source type '" + std::string(typeName) +
                  "' (expected camera, file, sequence, pipeline or demo)");
    }
    out->type = info->type;
    for (const tinyxml2::XMLAttribute* a = element_->FirstAttribute(); a; a = a->Next()) {
      std::string attr = a->Name();
      if (attr == "type" || attr == "flipV" || attr == "flipH") continue;
      if (!info->attributes.count(attr)) {
        return fail("attribute '" + attr + "' does not apply to a " + typeName + " source");
      }
    }
    if (!readCommon(out)) return false;
    switch (out->type) {
      case VideoSourceType::Camera:
        if (const char* device = element_->Attribute("device")) {
          if (*device == '\0') return fail("empty device");
          long index = 0;
          out->device = parseInt(device, 0, 999, &index) ? "/dev/video" + std::to_string(index)
                                                         : std::string(device);
        }
        if (out->width == 0) out->width = 640, out->height = 480;
        if (out->fpsNum == 0) out->fpsNum = 30, out->fpsDen = 1;
        return true;
      case VideoSourceType::File:
      case VideoSourceType::Sequence:
        if (!readText("file", &out->file)) return false;
        out->file = slashes(out->file);
        if (out->type == VideoSourceType::Sequence && out->fpsNum == 0) out->fpsNum = 30;
        return readFlag("loop", &out->loop);
      case VideoSourceType::Pipeline:
        return readText("pipeline", &out->pipeline);
      case VideoSourceType::Demo:
        return readDemo(out);
    }
    return true;
  }

 private:
  bool readCommon(VideoSourceConfig* out) {
    const char* width = element_->Attribute("width");
    const char* height = element_->Attribute("height");
    if (!width != !height) return fail("width and height must be given together");
    long w = 0, h = 0;
    if (width && (!parseInt(width, 1, kMaxSide, &w) || !parseInt(height, 1, kMaxSide, &h))) {
      return fail("width and height must be whole numbers from 1 to " + std::to_string(kMaxSide) +
                  " (got '" + width + "' x '" + height + "')");
    }
    out->width = static_cast<int>(w);
    out->height = static_cast<int>(h);
    if (const char* fps = element_->Attribute("fps")) {
      if (!parseFps(fps, &out->fpsNum, &out->fpsDen)) {
        return fail("fps must be a number above 0 and at most 1000 (got '" + std::string(fps) + "')");
      }
    }
    return readFlag("flipV", &out->flipV) && readFlag("flipH", &out->flipH);
  }

  bool readDemo(VideoSourceConfig* out) {
    if (out->width == 0) out->width = 640, out->height = 480;
    if (out->fpsNum == 0) out->fpsNum = 30, out->fpsDen = 1;
    if (const char* motion = element_->Attribute("motion")) {
      if (std::strcmp(motion, "smooth") == 0) {
        out->motion = DemoMotion::Smooth;
      } else if (std::strcmp(motion, "still") == 0) {
        out->motion = DemoMotion::Still;
      } else {
        return fail("motion must be smooth or still (got '" + std::string(motion) + "')");
      }
    }
    if (const char* seed = element_->Attribute("seed")) {
      long v = 0;
      if (!parseInt(seed, 0, 2147483647L, &v)) {
        return fail("seed must be a whole number from 0 to 2147483647 (got '" + std::string(seed) + "')");
      }
      out->seed = static_cast<uint32_t>(v);
    }
    out->lighting.seed = out->seed;
    const struct {
      const char* name;
      double low, high;
      double* value;
    } lighting[] = {{"gain", 0, 8, &out->lighting.gain},
                    {"black", 0, 254, &out->lighting.black},
                    {"gradient", 0, 1, &out->lighting.gradient},
                    {"shadow", 0, 1, &out->lighting.shadow},
                    {"exposure", 1, 16, &out->lighting.exposure}};
    for (const auto& l : lighting)
      if (!readNumber(l.name, l.low, l.high, l.value)) return false;
    if (element_->Attribute("patterns") && !readText("patterns", &out->patterns)) return false;
    if (element_->Attribute("camera") && !readText("camera", &out->camera)) return false;
    out->patterns = slashes(out->patterns);
    out->camera = slashes(out->camera);
    return true;
  }

  bool readText(const char* attr, std::string* value) {
    const char* text = element_->Attribute(attr);
    if (!text || *text == '\0') return fail("a " + std::string(element_->Attribute("type")) +
                                            " source needs a non-empty " + attr + " attribute");
    *value = text;
    return true;
  }

  // An optional number attribute within [low, high].
  bool readNumber(const char* attr, double low, double high, double* value) {
    const char* text = element_->Attribute(attr);
    if (!text) return true;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !(v >= low && v <= high)) {
      char range[64];
      std::snprintf(range, sizeof range, "%g to %g", low, high);
      return fail(std::string(attr) + " must be a number from " + range + " (got '" + text + "')");
    }
    *value = v;
    return true;
  }

  bool readFlag(const char* attr, bool* value) {
    const char* text = element_->Attribute(attr);
    if (text && !parseBool(text, value)) {
      return fail(std::string(attr) + " must be true or false (got '" + text + "')");
    }
    return true;
  }

  bool fail(const std::string& cause) {
    *error_ = name_ + " line " + std::to_string(element_->GetLineNum()) + ": " + cause;
    return false;
  }

  const std::string& name_;
  const tinyxml2::XMLElement* element_;
  std::string* error_;
};

}  // namespace

std::string arVideoConfigPath(const char* path) { return slashes(path ? path : ""); }

const char* arVideoSourceTypeName(VideoSourceType type) {
  for (const TypeInfo& entry : typeTable()) {
    if (entry.type == type) return entry.name;
  }
  return "?";
}

bool arVideoParseConfig(const char* text, size_t size, const std::string& name, VideoConfig* out,
                        std::string* error) {
  out->sources.clear();
  tinyxml2::XMLDocument doc;
  if (size == 0 || doc.Parse(text, size) != tinyxml2::XML_SUCCESS) {
    *error = name + ": not a valid XML document" +
             (size == 0 ? std::string(" (the file is empty)")
                        : " (line " + std::to_string(doc.ErrorLineNum()) + ": " + doc.ErrorName() + ")");
    return false;
  }
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (!root || std::strcmp(root->Name(), "video") != 0 || root->NextSiblingElement()) {
    *error = name + ": the document must have one <video> element holding <source> elements";
    return false;
  }
  std::vector<VideoSourceConfig> sources;   // handed out only when the whole file is valid
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (std::strcmp(e->Name(), "source") != 0) {
      *error = name + " line " + std::to_string(e->GetLineNum()) + ": unexpected element <" +
               e->Name() + "> (only <source> belongs in <video>)";
      return false;
    }
    VideoSourceConfig source;
    if (!SourceReader(name, e, error).read(&source)) return false;
    sources.push_back(source);
  }
  if (sources.empty()) {
    *error = name + ": no <source> element in <video>";
    return false;
  }
  out->sources = std::move(sources);
  return true;
}

bool arVideoReadConfig(const char* path, VideoConfig* out, std::string* error) {
  std::string name = arVideoConfigPath(path);
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (!file) {
    *error = "cannot open configuration " + name + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() < kMaxFileBytes) {
    text.append(chunk, got);
  }
  bool failed = std::ferror(file) != 0;
  int cause = errno;
  std::fclose(file);
  if (failed) {
    *error = "cannot read configuration " + name + ": " + std::strerror(cause);
    return false;
  }
  if (text.size() >= kMaxFileBytes) {
    *error = "configuration " + name + " is larger than 1 MB; it cannot be a video configuration";
    return false;
  }
  return arVideoParseConfig(text.data(), text.size(), name, out, error);
}
