#include "tools/detect/detection_records.h"

#include <nlohmann/json.hpp>

namespace {

// A CSV field: quoted when it holds a comma, a quote or a line break, quotes doubled.
std::string csvText(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string csvLine(const MarkerRecord& r) {
  std::string line = std::to_string(r.frame) + "," + number(r.seconds) + "," + std::to_string(r.id) + "," +
                     csvText(r.name) + "," + number(r.confidence) + "," + std::to_string(r.dir);
  for (const auto& corner : r.corners) line += "," + number(corner[0]) + "," + number(corner[1]);
  for (const auto& row : r.pose)
    for (double v : row) line += "," + (r.hasPose ? number(v) : std::string());
  line += "," + (r.hasPose ? number(r.fitError) : std::string());
  return line;
}

std::string jsonLine(const MarkerRecord& r) {
  nlohmann::ordered_json j;
  j["frame"] = r.frame;
  j["time"] = r.seconds;
  j["id"] = r.id;
  j["name"] = r.name;
  j["confidence"] = r.confidence;
  j["dir"] = r.dir;
  j["corners"] = nlohmann::json::array();
  for (const auto& corner : r.corners) j["corners"].push_back({corner[0], corner[1]});
  j["pose"] = nullptr;
  j["fit_error"] = nullptr;
  if (r.hasPose) {
    j["pose"] = nlohmann::json::array();
    for (const auto& row : r.pose) j["pose"].push_back({row[0], row[1], row[2], row[3]});
    j["fit_error"] = r.fitError;
  }
  // Names come from file names, which need not be valid UTF-8: replace what is not.
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

const char* RecordWriter::csvHeader() {
  return "frame,time,id,name,confidence,dir,x0,y0,x1,y1,x2,y2,x3,y3,"
         "m00,m01,m02,m03,m10,m11,m12,m13,m20,m21,m22,m23,fit_error";
}

RecordWriter::RecordWriter(FILE* out, RecordFormat format) : out_(out), format_(format) {
  if (format_ == RecordFormat::Csv) std::fprintf(out_, "%s\n", csvHeader());
}

void RecordWriter::write(const MarkerRecord& record) {
  const std::string line = format_ == RecordFormat::Csv ? csvLine(record) : jsonLine(record);
  std::fprintf(out_, "%s\n", line.c_str());
}
