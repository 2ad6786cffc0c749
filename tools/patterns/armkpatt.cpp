// armkpatt: makes a pattern file from a picture of a marker.
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tools/patterns/marker_image.h"
#include "tools/patterns/tool_errors.h"

namespace {

constexpr const char* kUsage =
    "Usage: armkpatt [--whole | --interior] [--preview PNG] IMAGE PATTERN\n"
    "\n"
    "Makes a pattern file from a picture of a marker: the interior picture averaged over a\n"
    "16 x 16 grid, stored as 3072 numbers (four orientations, each blue, green and red planes of\n"
    "16 rows of 16 brightness values 0..255), ready to be named in the marker table.\n"
    "\n"
    "  IMAGE        PNG, BMP or JPEG picture of the marker\n"
    "  PATTERN      pattern file to write (replaced if it exists)\n"
    "  --whole      IMAGE shows the whole marker: the black square border, a quarter of the side\n"
    "               wide, around the interior picture (a white margin around it is fine)\n"
    "  --interior   IMAGE is the interior picture alone\n"
    "               Without either, armkpatt looks for a black square border and uses the picture\n"
    "               inside it when it finds one, else it takes the whole image as the interior.\n"
    "               Give --interior for a picture that is itself framed in black.\n"
    "  --preview PNG  also writes the 16 x 16 grid enlarged 16 times, for checking\n"
    "  --help       prints this text\n"
    "\n"
    "Exit status: 0 when the pattern was written, 1 when a file could not be read or written,\n"
    "2 on wrong usage.\n";

int usageError(const std::string& message) { return toolUsageError("armkpatt", message); }
int fileError(const std::string& message) { return toolFileError("armkpatt", message); }

SimImage enlarge(const SimImage& picture, int factor) {
  SimImage out;
  out.width = picture.width * factor;
  out.height = picture.height * factor;
  out.channels = picture.channels;
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x)
      for (int c = 0; c < picture.channels; ++c)
        out.pixels.push_back(picture.pixels[((y / factor) * picture.width + x / factor) * picture.channels + c]);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  MarkerImageKind kind = MarkerImageKind::Auto;
  std::string preview;
  std::string files[2];
  int fileCount = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--whole" || arg == "--interior") {
      if (kind != MarkerImageKind::Auto) return usageError("give --whole or --interior once");
      kind = arg == "--whole" ? MarkerImageKind::WholeMarker : MarkerImageKind::Interior;
    } else if (arg == "--preview") {
      if (i + 1 >= argc) return usageError("--preview needs a file name");
      preview = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (fileCount < 2) {
      files[fileCount++] = arg;
    } else {
      return usageError("too many arguments");
    }
  }
  if (fileCount != 2) return usageError("needs an IMAGE and a PATTERN file");

  SimImage image, picture;
  std::string error;
  if (!simLoadImage(files[0], &image, &error)) return fileError(error);
  MarkerInterior interior;
  if (!patternPictureFromImage(image, kind, &picture, &interior, &error))
    return fileError("\"" + files[0] + "\": " + error);
  if (!simWritePatternFile(files[1], picture, &error)) return fileError(error);
  if (!preview.empty() && !simWritePng(preview, enlarge(picture, 16), &error)) return fileError(error);
  std::printf("wrote \"%s\" from %s of \"%s\"\n", files[1].c_str(),
              interior.wholeMarker ? "the picture inside the black border" : "the whole image taken as the interior",
              files[0].c_str());
  return 0;
}
