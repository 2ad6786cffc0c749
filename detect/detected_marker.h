// One detected square marker of the current frame: the record that detection hands to the
// tracking driver and to pose estimation.
#pragma once

#include <cstdint>

struct DetectedMarker {
  int32_t area;          // pixels of the marker's connected dark region
  int32_t id;            // pattern id (pattern store slot) of the best match; -1 when unidentified
  int32_t dir;           // 0..3: which stored orientation of the pattern matched; -1 when none did
  double cf;             // confidence: normalised correlation with that orientation, -1..1
  double pos[2];         // region centroid x, y in observed (distorted) frame pixels
  double line[4][3];     // edge lines a*x + b*y + c = 0 in ideal pixels; line i runs from corner i to i+1
  double vertex[4][2];   // corners x, y in ideal pixels; vertex i = line i-1 (mod 4) meets line i
};
