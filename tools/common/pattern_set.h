// The set of patterns a tool works with: the rows of a marker table, as the viewer loads them,
// or the pattern files of a folder.
#pragma once

#include <string>
#include <vector>

struct PatternSetEntry {
  std::string name;            // the pattern file's name without folder and extension
  std::string file;            // path of the pattern file, as the table or folder gives it
  int line = 0;                // line of the marker table that names it; 0 for a folder
  double width = 80;           // side of the marker, border included, in the pose's length unit
  double center[2] = {0, 0};   // marker centre in its own plane, in the same unit
};

// Reads path: a folder gives its .patt files in name order, each with folderWidth; any other
// file is read as a marker table, one entry per row in row order. false with *error naming
// path and the cause when it cannot be read or names no pattern.
bool readPatternSet(const std::string& path, double folderWidth, std::vector<PatternSetEntry>* out,
                    std::string* error);
