// The pictures of the shipped markers, drawn from simple geometry so that they can be made
// again at any size: bold black shapes on white, readable at 16 x 16, unlike each other under
// every quarter turn.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_image.h"

// Names of the designs, in the order they are shipped.
const std::vector<std::string>& patternDesignNames();

// Draws design name as a size x size grey picture (4 x 4 samples per pixel). false for an
// unknown name or a size outside 16..4096.
bool drawPatternDesign(const std::string& name, int size, SimImage* out);
