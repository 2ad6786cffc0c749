// Pattern files: 3072 integers, four orientation blocks of three colour planes (blue, green,
// red) of 16 x 16 brightness values each. Block o is the upright interior picture turned o
// quarter turns counter-clockwise (as displayed), which is the order the matcher expects.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_image.h"

constexpr int kPatternGrid = 16;                                    // cells per side
constexpr int kPatternBlockValues = kPatternGrid * kPatternGrid * 3;  // 768
constexpr int kPatternFileValues = 4 * kPatternBlockValues;          // 3072

// Index of cell (row, column) of colour plane (0 blue, 1 green, 2 red) in block o.
inline int patternValueIndex(int block, int plane, int row, int column) {
  return ((block * 3 + plane) * kPatternGrid + row) * kPatternGrid + column;
}

// The 3072 values of a pattern file for an upright 16 x 16 picture (any channel count; grey is
// copied to all three planes, alpha is composited over white). false when the picture is not
// 16 x 16.
bool simPatternValuesFromPicture(const SimImage& upright, std::vector<int>* values);

// Block 0 of the values as an upright 16 x 16 RGB picture, clamped to 0..255.
bool simPictureFromPatternValues(const std::vector<int>& values, SimImage* out);

// Reads the first 3072 integers of a pattern file (anything after them is ignored).
// false with a one-line *error naming the file and the cause.
bool simReadPatternValues(const std::string& path, std::vector<int>* values, std::string* error);

// Parses the text of a pattern file as simReadPatternValues does; name only labels the error.
bool simParsePatternValues(const std::string& text, const std::string& name, std::vector<int>* values,
                           std::string* error);

// Writes the pattern file of an upright 16 x 16 picture: 16 numbers per line, a blank line
// between blocks. false with *error set on failure.
bool simWritePatternFile(const std::string& path, const SimImage& upright, std::string* error);
