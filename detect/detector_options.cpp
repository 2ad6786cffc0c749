#include "detect/detector_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A whole-word decimal integer in [low, high].
bool parseInt(const char* text, long low, long high, int* value) {
  if (!text || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

void arSetThresholdMode(ArDetectorOptions* options, ArThresholdMode mode) {
  options->settings.thresholdMode = mode;
  if (!options->maxCandidatesGiven)
    options->settings.maxCandidates = mode == ArThresholdMode::Fixed ? kArMaxMarkers : kArWideCandidateLimit;
}

void arSetRefinement(ArDetectorOptions* options, bool on) {
  options->settings.refineCorners = on;
  options->settings.refineIdentification = on;
  options->refine = on;
}

int arParseDetectorOption(int argc, const char* const* argv, int* index, ArDetectorOptions* options,
                          std::string* error) {
  const char* word = argv[*index];
  if (std::strcmp(word, "--refine") == 0) {
    arSetRefinement(options, true);
    *index += 1;
    return 1;
  }
  const bool threshold = std::strcmp(word, "--threshold") == 0;
  const bool candidates = std::strcmp(word, "--max-candidates") == 0;
  if (!threshold && !candidates) return 0;
  const char* value = *index + 1 < argc ? argv[*index + 1] : nullptr;
  if (!value) {
    *error = std::string(word) + " needs a value";
    return -1;
  }
  if (threshold) {
    int n = 0;
    if (std::strcmp(value, "auto") == 0) {
      arSetThresholdMode(options, ArThresholdMode::Auto);
    } else if (std::strcmp(value, "adaptive") == 0) {
      arSetThresholdMode(options, ArThresholdMode::Adaptive);
    } else if (parseInt(value, 0, 255, &n)) {
      options->settings.threshold = n;
      arSetThresholdMode(options, ArThresholdMode::Fixed);
    } else {
      *error = "--threshold takes a number from 0 to 255, auto or adaptive (got '" + std::string(value) + "')";
      return -1;
    }
  } else {
    if (!parseInt(value, 1, kArMaxCandidatesLimit, &options->settings.maxCandidates)) {
      *error = "--max-candidates takes a number from 1 to " + std::to_string(kArMaxCandidatesLimit) + " (got '" +
               value + "')";
      return -1;
    }
    options->maxCandidatesGiven = true;
  }
  *index += 2;
  return 1;
}

std::string arThresholdModeText(const ArDetectorSettings& settings) {
  switch (settings.thresholdMode) {
    case ArThresholdMode::Fixed: return "fixed " + std::to_string(settings.threshold);
    case ArThresholdMode::Auto: return "auto";
    case ArThresholdMode::Adaptive: return "adaptive";
  }
  return "?";
}

const char* arDetectorOptionsUsage() {
  return "  --threshold N|auto|adaptive  how dark a marker's border must be: a fixed threshold N\n"
         "                               (0..255, default 100; pixels with (blue+green+red)/3 <= N are\n"
         "                               dark), auto (one threshold per frame learnt from the markers\n"
         "                               found; for dim, washed-out or over-exposed pictures) or\n"
         "                               adaptive (each pixel against its surroundings; for light\n"
         "                               that changes across the picture: gradients, shadows)\n"
         "  --max-candidates N           square candidates examined per frame (1..1024; default 30,\n"
         "                               256 with auto and adaptive); raise it for crowded scenes\n"
         "  --refine                     move every marker side onto its edge at sub-pixel precision,\n"
         "                               identify small steep markers more reliably and refine poses\n"
         "                               through the lens model: truer, steadier poses (off by default)\n";
}
