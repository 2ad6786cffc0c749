// The records ardetect writes: one per detected marker per frame, as CSV with a header line or
// as JSON lines (one object per line).
#pragma once

#include <cstdio>
#include <string>

enum class RecordFormat { Csv, Json };

struct MarkerRecord {
  long frame = 0;              // 0 for the first frame read
  double seconds = 0;          // the frame's time in the stream
  int id = -1;                 // pattern id (load order of the set); -1 when unidentified
  std::string name;            // pattern name; empty when unidentified
  double confidence = 0;       // correlation with the pattern, -1 .. 1
  int dir = -1;                // matching orientation 0 .. 3; -1 when unidentified
  double corners[4][2] = {};   // ideal pixels; for an identified marker top-left, top-right,
                               // bottom-right, bottom-left of the upright marker
  bool hasPose = false;
  double pose[3][4] = {};      // marker -> camera [R | t], t in the marker width's unit
  double fitError = 0;         // mean squared corner distance, pixels squared
};

class RecordWriter {
 public:
  // Writes the CSV header at once, so that an empty result is still a valid file.
  RecordWriter(FILE* out, RecordFormat format);
  void write(const MarkerRecord& record);

  // The CSV header line, without the newline.
  static const char* csvHeader();

 private:
  FILE* out_;
  RecordFormat format_;
};
