// Detector settings from command-line words, shared by the programs that run detection (the
// viewer, the offline detection tool), so that every one takes the same options:
//
//   --threshold N|auto|adaptive   fixed threshold N (0 .. 255; 100 by default), the Auto or the
//                                 Adaptive mode (see ArThresholdMode in detect/detection.h)
//   --max-candidates N            square candidates and marker records per frame (1 .. 1024);
//                                 30 by default, 256 in the auto and adaptive modes
//   --refine                      refined corners and identification (ArDetectorSettings), and
//                                 refined poses for the programs that estimate them
#pragma once

#include <string>

#include "detect/detection.h"

constexpr int kArWideCandidateLimit = 256;  // the candidate limit of the auto and adaptive modes

struct ArDetectorOptions {
  ArDetectorSettings settings;        // what the options give so far
  bool maxCandidatesGiven = false;    // --max-candidates was given: modes no longer change it
  bool refine = false;                // --refine was given: poses are to be refined as well
};

// Reads the option at argv[*index] (and its value, the next word). Returns 1 and moves *index
// past what it used when it was a detector option; 0, leaving everything as it was, when the
// word is not one; -1 with a one-line cause in *error (naming the option and the value) when it
// is one with a missing or bad value.
int arParseDetectorOption(int argc, const char* const* argv, int* index, ArDetectorOptions* options,
                          std::string* error);

// Switches the threshold mode: the candidate limit follows the mode (30 for fixed, 256 for auto
// and adaptive) unless --max-candidates was given.
void arSetThresholdMode(ArDetectorOptions* options, ArThresholdMode mode);

// Turns refinement of corners, identification and poses on or off, as --refine turns it on.
void arSetRefinement(ArDetectorOptions* options, bool on);

// "fixed 100", "auto" or "adaptive": the mode and, when fixed, the threshold.
std::string arThresholdModeText(const ArDetectorSettings& settings);

// The lines of a usage text describing the options above, each ending in a newline.
const char* arDetectorOptionsUsage();
