// armkpatt: makes a pattern file from a picture of a marker, and checks patterns against a set.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tools/common/pattern_set.h"
#include "tools/patterns/marker_image.h"
#include "tools/patterns/pattern_checks.h"
#include "tools/patterns/tool_errors.h"

namespace {

constexpr const char* kUsage =
    "Usage: armkpatt [--whole | --interior] [--preview PNG] [--against SET] IMAGE PATTERN\n"
    "       armkpatt check SET\n"
    "\n"
    "Makes a pattern file from a picture of a marker: the interior picture averaged over a\n"
    "16 x 16 grid, stored as 3072 numbers (four orientations, each blue, green and red planes of\n"
    "16 rows of 16 brightness values 0..255), ready to be named in the marker table.\n"
    "\n"
    "  IMAGE        PNG, BMP or JPEG picture of the marker\n"
    "  PATTERN      pattern file to write (replaced if it exists)\n"
    "  --whole      IMAGE shows the whole marker: the black square border, a quarter of the side\n"
    "               wide, around the interior picture, at any turn and seen at a slant (a photo\n"
    "               or scan of a printed marker; a margin around it is fine)\n"
    "  --interior   IMAGE is the interior picture alone\n"
    "               Without either, armkpatt looks for a whole marker and stops with a message\n"
    "               when it finds none.\n"
    "  --preview PNG  also writes the 16 x 16 grid enlarged 16 times, for checking\n"
    "  --against SET  then compares the new pattern with every pattern of SET, a marker table or a\n"
    "               folder of .patt files: prints the highest correlation in any orientation with\n"
    "               each and warns when one reaches 0.5, where the tracker can take one marker for\n"
    "               the other\n"
    "  check SET    prints those correlations between every two patterns of SET\n"
    "  --help       prints this text\n"
    "\n"
    "Exit status: 0 when the pattern was written (or the set has no confusable pair), 1 when a\n"
    "file could not be read or written, 2 on wrong usage, 3 when check finds two patterns of SET\n"
    "confusable.\n";

constexpr int kConfusableStatus = 3;

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

bool samePath(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

// A marker table or folder of patterns with every pattern's values.
struct LoadedSet {
  std::string name;
  std::vector<PatternSetEntry> entries;
  std::vector<std::vector<int>> values;
};

bool loadSet(const std::string& set, LoadedSet* out, std::string* error) {
  out->name = set;
  return readPatternSet(set, 0, &out->entries, error) && readSetValues(out->entries, set, &out->values, error);
}

// Prints how the written pattern compares with the set; warns once about those it can be taken for.
int compareWithSet(const std::string& written, const SimImage& picture, const LoadedSet& set) {
  std::vector<int> pattern;
  simPatternValuesFromPicture(picture, &pattern);
  std::printf("highest correlation with the patterns of %s (%.1f or more: confusable):\n", set.name.c_str(),
              kConfusableCorrelation);
  std::string confusable;
  for (size_t i = 0; i < set.entries.size(); i++) {
    if (samePath(set.entries[i].file, written)) continue;  // the new pattern itself, already in the set
    const double c = patternConfusion(pattern, set.values[i]);
    const bool bad = c >= kConfusableCorrelation;
    std::printf("  %-12s %.2f%s\n", set.entries[i].name.c_str(), c, bad ? "  confusable" : "");
    char item[160];
    std::snprintf(item, sizeof item, "%s%s (%.2f)", confusable.empty() ? "" : ", ", set.entries[i].name.c_str(), c);
    if (bad) confusable += item;
  }
  if (!confusable.empty())
    std::fprintf(stderr,
                 "armkpatt: warning: \"%s\" is confusable with %s: the tracker can take one marker for the other; "
                 "make the picture more unlike them\n",
                 written.c_str(), confusable.c_str());
  return 0;
}

int checkSet(const std::string& set) {
  LoadedSet loaded;
  std::string error;
  if (!loadSet(set, &loaded, &error)) return fileError(error);
  const std::vector<PatternSetEntry>& entries = loaded.entries;
  const std::vector<std::vector<int>>& values = loaded.values;
  std::vector<std::string> names;
  std::vector<std::vector<double>> matrix(entries.size(), std::vector<double>(entries.size(), 0));
  std::string confusable;
  double worst = 0;
  for (size_t i = 0; i < entries.size(); i++) {
    names.push_back(entries[i].name);
    for (size_t j = 0; j < i; j++) {
      matrix[i][j] = matrix[j][i] = patternConfusion(values[i], values[j]);
      worst = std::max(worst, matrix[i][j]);
      if (matrix[i][j] < kConfusableCorrelation) continue;
      char item[200];
      std::snprintf(item, sizeof item, "%s%s and %s (%.2f)", confusable.empty() ? "" : ", ", names[j].c_str(),
                    names[i].c_str(), matrix[i][j]);
      confusable += item;
    }
  }
  std::printf("highest correlation in any orientation between the patterns of %s (%.1f or more: confusable):\n%s",
              set.c_str(), kConfusableCorrelation, confusionTable(names, matrix).c_str());
  if (!confusable.empty()) {
    std::fprintf(stderr, "armkpatt: confusable patterns in %s: %s\n", set.c_str(), confusable.c_str());
    return kConfusableStatus;
  }
  std::printf("no two patterns are confusable (highest %.2f)\n", worst);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "check") == 0) {
    if (argc != 3) return usageError("check takes one SET, a marker table or a folder of .patt files");
    return checkSet(argv[2]);
  }
  MarkerImageKind kind = MarkerImageKind::Auto;
  std::string preview, against;
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
    } else if (arg == "--preview" || arg == "--against") {
      if (i + 1 >= argc) return usageError(arg + " needs a file name");
      (arg == "--preview" ? preview : against) = argv[++i];
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
  LoadedSet set;  // read first, so that a bad SET stops before anything is written
  if (!against.empty() && !loadSet(against, &set, &error)) return fileError(error);
  if (!simLoadImage(files[0], &image, &error)) return fileError(error);
  MarkerInterior interior;
  if (!patternPictureFromImage(image, kind, &picture, &interior, &error))
    return fileError("\"" + files[0] + "\": " + error);
  if (kind == MarkerImageKind::Auto && !interior.wholeMarker)
    return fileError("\"" + files[0] + "\": no marker found (a black square border around the picture); give "
                     "--interior if the picture is the interior alone");
  if (!simWritePatternFile(files[1], picture, &error)) return fileError(error);
  if (!preview.empty() && !simWritePng(preview, enlarge(picture, 16), &error)) return fileError(error);
  if (interior.wholeMarker)
    std::printf("wrote \"%s\" from the picture inside the black border of \"%s\" (turned %.0f degrees)\n",
                files[1].c_str(), files[0].c_str(), interior.turnDegrees);
  else
    std::printf("wrote \"%s\" from the interior picture \"%s\"\n", files[1].c_str(), files[0].c_str());
  return against.empty() ? 0 : compareWithSet(files[1], picture, set);
}
