// Test access to the sampling density rule.
#pragma once

#include <cstdint>

// Samples along one axis of the interior: 16, 32 or 64, growing with the squared length (in
// whole pixels squared) of the longer of the two edges along that axis.
int32_t arSamplesPerAxis(int64_t squaredEdge);
