// The marker table: which markers the viewer looks for and what it draws on each.
#pragma once

#include <cstdint>

constexpr int kMarkerTableCapacity = 32;  // rows; also the number of model slots of the scene
constexpr int kMarkerTextSize = 256;      // bytes of each text field, NUL included

struct MarkerEntry {
  char modelPath[kMarkerTextSize];      // model file, relative to the working directory
  char texturePrefix[kMarkerTextSize];  // put in front of each texture file name, no separator added
  float scale;                          // model scale, multiplied by the user scale when drawn
  char patternFile[kMarkerTextSize];    // pattern file of the marker's interior
  double centerX;                       // marker centre in the marker plane, in the unit of width
  double centerY;
  float width;                          // side length; fixes the unit of the pose translation
};

struct MarkerTable {
  int32_t count;                                // rows read
  MarkerEntry entries[kMarkerTableCapacity];    // in file order
};

// The file the viewer reads its table from, relative to the working directory.
constexpr const char* kMarkerTableFile = "Data/markerdata.mkd";

// The process-wide table, zero-filled until readMarkerTable fills it.
MarkerTable& markerTable();

// Reads kMarkerTableFile into table. A missing or unreadable file leaves count 0.
void readMarkerTable(MarkerTable& table);

// Reads path into table: a header line, then one row of seven comma-separated fields per line
// (model path, texture prefix, scale, pattern file, centre x, centre y, width). Fields missing
// at the end of a line repeat the last field read; numbers take the longest leading decimal
// prefix (0 when there is none). Texts longer than 255 characters keep their first 255 and rows
// beyond 32 are ignored, each with one line on standard error. Returns false, with count 0,
// when the file cannot be opened or read, a folder for example (after one line on standard error
// naming it and the cause).
bool readMarkerTableFrom(const char* path, MarkerTable& table);
