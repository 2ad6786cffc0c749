// The controller of the Auto threshold mode: one global threshold per frame, learnt from the
// markers identified on earlier frames, or chosen from the frame's own levels while there are
// none. Its state is process-wide and carried from frame to frame.
#pragma once

#include <cstdint>

#include "detect/detected_marker.h"

constexpr int kArAutoDeadband = 8;  // levels the measured threshold must move before it is taken
constexpr int kArAutoChoices = 5;   // frame-level choices tried in turn while nothing is identified

// The threshold (0 .. 255) to split this frame with.
int arAutoThresholdChoose(const uint8_t* frame);

// Learns from the markers measured on this frame (before the cross-frame memory), split at
// threshold: the identified ones (id >= 0, cf >= 0.5) set the next frame's threshold; with none,
// the next frames try the frame-level choices in turn. A frame that could not be labelled counts
// as one with none.
void arAutoThresholdLearn(const uint8_t* frame, int threshold, const DetectedMarker* markers, int32_t count);

// Forgets what was learnt, as before the first frame.
void arAutoThresholdReset();

// The levels (0 .. 255) a threshold must separate for a marker on the current frame: dark, its
// black border (median); light, the lower of its interior's lightest and its surroundings' median (each sampled
// through the marker's corners, observed with the current camera). false when the marker shows
// no such contrast.
bool arMarkerLevels(const uint8_t* frame, const DetectedMarker& marker, int* dark, int* light);

// The frame-level choices in the order they are tried: the lower split of a three-class Otsu
// (black ink against everything lighter), the two-class Otsu split, the upper three-class
// split, and halfway between the darkest percent and the first, and between the first two.
void arAutoThresholdChoices(const uint8_t* frame, int choices[kArAutoChoices]);
