// Finding V4L2 cameras and choosing what to ask of them.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "video/gst_source_internal.h"

namespace {

enum Rank { RawAtRate, JpegAtRate, RawAtSize, JpegAtSize, RawScaled, JpegScaled, NoMatch };

bool canGive(const GstStructure* offered, GstStructure* wanted) {
  bool ok = gst_structure_can_intersect(offered, wanted);
  gst_structure_free(wanted);
  return ok;
}

}  // namespace

bool arVideoChooseCameraFormat(const GstCaps* offered, int width, int height, int fpsNum,
                               int fpsDen, CameraFormat* out) {
  int best = NoMatch;
  const GstStructure* bestStructure = nullptr;
  for (guint i = 0; offered && i < gst_caps_get_size(offered); i++) {
    const GstStructure* s = gst_caps_get_structure(offered, i);
    const char* name = gst_structure_get_name(s);
    bool raw = gst_structure_has_name(s, "video/x-raw");
    if (!raw && !gst_structure_has_name(s, "image/jpeg")) continue;
    int rank = raw ? RawScaled : JpegScaled;
    if (canGive(s, gst_structure_new(name, "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                                      height, nullptr))) {
      rank = raw ? RawAtSize : JpegAtSize;
      if (canGive(s, gst_structure_new(name, "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                                        height, "framerate", GST_TYPE_FRACTION, fpsNum, fpsDen,
                                        nullptr))) {
        rank = raw ? RawAtRate : JpegAtRate;
      }
    }
    if (rank < best) {
      best = rank;
      bestStructure = s;
    }
  }
  if (!bestStructure) return false;
  out->mjpeg = best == JpegAtRate || best == JpegAtSize || best == JpegScaled;
  out->exactSize = best <= JpegAtSize;
  out->caps = out->mjpeg ? "image/jpeg" : "video/x-raw";
  out->label = "MJPEG";
  if (!out->mjpeg) {
    const char* format = gst_structure_get_string(bestStructure, "format");
    out->label = format ? format : "raw";
    if (format) out->caps += std::string(",format=") + format;
  }
  if (out->exactSize) {
    out->caps += ",width=" + std::to_string(width) + ",height=" + std::to_string(height);
  }
  if (best <= JpegAtRate) {
    out->caps += ",framerate=" + std::to_string(fpsNum) + "/" + std::to_string(fpsDen);
  }
  return true;
}

std::vector<std::string> arVideoListCameraDevices() {
  std::vector<std::pair<long, std::string>> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("video", 0) != 0 || name.size() == 5) continue;
    std::string digits = name.substr(5);
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    found.emplace_back(std::strtol(digits.c_str(), nullptr, 10), entry.path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> devices;
  for (const auto& entry : found) devices.push_back(entry.second);
  return devices;
}
