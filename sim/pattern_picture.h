// Pattern values from and to upright 16 x 16 pictures: the interior pictures the synthetic
// camera draws and the pattern tools read and write.
#pragma once

#include <string>
#include <vector>

#include "detect/pattern_file.h"
#include "sim/sim_image.h"

// The 3072 values of a pattern file for an upright 16 x 16 picture (any channel count; grey is
// copied to all three planes, alpha is composited over white). false when the picture is not
// 16 x 16.
bool simPatternValuesFromPicture(const SimImage& upright, std::vector<int>* values);

// Block 0 of the values as an upright 16 x 16 RGB picture, clamped to 0..255.
bool simPictureFromPatternValues(const std::vector<int>& values, SimImage* out);

// Writes the pattern file of an upright 16 x 16 picture. false with *error set on failure.
bool simWritePatternFile(const std::string& path, const SimImage& upright, std::string* error);
