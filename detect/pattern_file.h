// The pattern file format, read and written in one place for detection, the synthetic renderer
// and the pattern tools.
//
// A pattern file holds 3072 decimal integers: 4 orientation blocks, each 3 colour planes (blue,
// green, red) of 16 rows of 16 brightness values (0 black .. 255 white). Block o is the upright
// interior picture turned o quarter turns counter-clockwise as displayed. Numbers are separated
// by white space; anything after the 3072nd is ignored.
#pragma once

#include <string>
#include <vector>

constexpr int kArPatternGrid = 16;                                          // cells per side
constexpr int kArPatternBlockValues = kArPatternGrid * kArPatternGrid * 3;  // 768 per orientation
constexpr int kArPatternFileValues = 4 * kArPatternBlockValues;             // 3072
// Values beyond this magnitude are refused, so that inverted, mean-removed templates and their
// products with a sampled grid stay far inside integer range.
constexpr int kArPatternValueLimit = 65536;

// Index in the file's value order of cell (row, column) of colour plane (0 blue, 1 green,
// 2 red) in block o.
inline int arPatternValueIndex(int block, int plane, int row, int column) {
  return ((block * 3 + plane) * kArPatternGrid + row) * kArPatternGrid + column;
}

// Why a pattern file could not be read.
enum class ArPatternFileStatus {
  Ok,
  CannotOpen,     // missing or unreadable; errno tells why
  NotAFile,       // a folder
  TooFewValues,   // the text ends before the 3072nd value
  NotAnInteger,   // a value is not an optional sign followed by decimal digits
  OutOfRange,     // a value beyond +-kArPatternValueLimit
};

// Reads the first 3072 values of a pattern file into *values (resized to 3072; emptied on
// failure). A value is read as the C library reads a decimal long: white space, an optional sign,
// digits, up to the first character that is not a digit. On failure *error (when given) gets one
// line naming the file and the cause.
ArPatternFileStatus arReadPatternValues(const std::string& path, std::vector<int>* values, std::string* error);

// The same for the text of a pattern file; name only labels the error.
ArPatternFileStatus arParsePatternValues(const std::string& text, const std::string& name, std::vector<int>* values,
                                         std::string* error);

// Writes 3072 values as a pattern file: 16 numbers per line, a blank line after each block. The
// file is written beside its target and renamed, so a failed write never leaves half a pattern.
// false with *error naming the file and the cause.
bool arWritePatternValues(const std::string& path, const std::vector<int>& values, std::string* error);

// Normalised correlation of block a of pattern x, taken as a sampled interior, with block b of
// pattern y, taken as a stored template: both inverted (255 - value) and mean-removed with the
// mean truncated toward zero, as identification computes it; -1 .. 1, 0 when either is flat.
double arPatternCorrelation(const std::vector<int>& x, int a, const std::vector<int>& y, int b);

// Highest correlation of block 0 of x with any block of y: how easily a marker showing x would be
// taken for y. *block (when given) gets the block of y that reaches it.
double arPatternSimilarity(const std::vector<int>& x, const std::vector<int>& y, int* block);
