// armarker: writes a printable marker from a pattern file or a picture.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tools/patterns/marker_image.h"
#include "tools/patterns/printable_marker.h"
#include "tools/patterns/tool_errors.h"

namespace {

constexpr const char* kUsage =
    "Usage: armarker [options] INPUT OUTPUT.png\n"
    "\n"
    "Writes a printable marker: a white margin, the black square border (a quarter of the side\n"
    "wide on every edge) and the interior picture. The PNG records its resolution, so it prints\n"
    "at the given size when printed at 100 %.\n"
    "\n"
    "  INPUT           a pattern file (its upright picture is used) or a PNG, BMP or JPEG picture,\n"
    "                  either the whole marker or the interior alone (found as armkpatt does)\n"
    "  --size MM       side of the marker, border included (default 80)\n"
    "  --dpi N         print resolution in dots per inch (default 300)\n"
    "  --margin MM     white margin on every side (default 10)\n"
    "  --caption TEXT  caption in the bottom margin (default: the input's file name and the size)\n"
    "  --no-caption    no caption\n"
    "  --whole, --interior  how to read a picture INPUT (default: look for a black border)\n"
    "  --svg FILE      also writes the marker as SVG with exact millimetre sizes (pattern input only)\n"
    "  --help          prints this text\n"
    "\n"
    "Exit status: 0 when the marker was written, 1 when a file could not be read or written,\n"
    "2 on wrong usage.\n";

int usageError(const std::string& message) { return toolUsageError("armarker", message); }
int fileError(const std::string& message) { return toolFileError("armarker", message); }

bool parseNumber(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0;
}

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  PrintOptions options;
  MarkerImageKind kind = MarkerImageKind::Auto;
  bool captionSet = false, noCaption = false;
  std::string svgPath, files[2];
  int fileCount = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--size" || arg == "--dpi" || arg == "--margin") {
      double value;
      if (!hasValue || !parseNumber(argv[i + 1], &value)) return usageError(arg + " needs a number");
      (arg == "--size" ? options.sizeMm : arg == "--dpi" ? options.dpi : options.marginMm) = value;
      ++i;
    } else if (arg == "--caption") {
      if (!hasValue) return usageError("--caption needs a text");
      options.caption = argv[++i];
      captionSet = true;
    } else if (arg == "--no-caption") {
      noCaption = true;
    } else if (arg == "--svg") {
      if (!hasValue) return usageError("--svg needs a file name");
      svgPath = argv[++i];
    } else if (arg == "--whole" || arg == "--interior") {
      kind = arg == "--whole" ? MarkerImageKind::WholeMarker : MarkerImageKind::Interior;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (fileCount < 2) {
      files[fileCount++] = arg;
    } else {
      return usageError("too many arguments");
    }
  }
  if (fileCount != 2) return usageError("needs an INPUT and an OUTPUT file");
  std::string error;
  if (!checkPrintOptions(options, &error)) return usageError(error);
  if (noCaption) {
    options.caption.clear();
  } else if (!captionSet) {
    char size[32];
    std::snprintf(size, sizeof size, " %g mm", options.sizeMm);
    options.caption = baseName(files[0]) + size;
  }

  // A picture first; when the input does not decode as one, a pattern file.
  SimImage input, interior;
  std::string imageError, patternError;
  bool fromPattern = false;
  if (simLoadImage(files[0], &input, &imageError)) {
    MarkerInterior found;
    if (!findMarkerInterior(input, kind, &found, &error)) return fileError("\"" + files[0] + "\": " + error);
    // A found interior is resampled upright at about its own resolution.
    const auto& q = found.corners;
    const int side = static_cast<int>(std::lround(std::hypot(q[1][0] - q[0][0], q[1][1] - q[0][1])));
    interior = found.wholeMarker ? sampleInterior(input, found, std::max(side, 16), std::max(side, 16)) : input;
  } else if (simPictureFromPatternFile(files[0], &interior, &patternError)) {
    fromPattern = true;
  } else {
    const bool looksLikePattern = patternError.find("cannot open") == std::string::npos;
    return fileError(looksLikePattern ? patternError + " (nor is it a PNG, BMP or JPEG picture)" : patternError);
  }
  if (!svgPath.empty() && !fromPattern) return usageError("--svg needs a pattern file as INPUT");

  SimImage page;
  bool captionDrawn = false;
  if (!makePrintableMarker(interior, options, &page, &captionDrawn, &error)) return usageError(error);
  if (!simWritePng(files[1], page, &error, options.dpi / 0.0254)) return fileError(error);
  if (!svgPath.empty()) {
    const std::string svg = printableMarkerSvg(interior, options);
    FILE* file = std::fopen(svgPath.c_str(), "w");
    const bool ok = file && std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
    if (file && std::fclose(file) != 0) return fileError("\"" + svgPath + "\": write failed");
    if (!ok) return fileError("\"" + svgPath + "\": cannot write: " + std::strerror(errno));
  }
  if (!options.caption.empty() && !captionDrawn)
    std::printf("caption left out: it does not fit in the margin\n");
  std::printf("wrote \"%s\": %g mm marker, %d x %d pixels at %g dpi\n", files[1].c_str(), options.sizeMm,
              page.width, page.height, options.dpi);
  return 0;
}
