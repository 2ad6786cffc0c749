// Camera, file, image-sequence and custom-pipeline sources: each becomes a GStreamer plan.
#include <gst/gst.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

#include "video/gst_pipeline.h"
#include "video/gst_source_internal.h"

namespace {

std::string fpsText(int num, int den) {
  if (den == 1) return std::to_string(num);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3g", static_cast<double>(num) / den);
  return buffer;
}

// The part every source ends with. Only file and pipeline sources change the rate here; the
// camera is asked for its rate and a sequence is stamped at it.
std::string outputPart(const VideoSourceConfig& config) {
  std::string text = " ! videoconvert ! videoscale";
  bool rate = config.fpsNum > 0 &&
              (config.type == VideoSourceType::File || config.type == VideoSourceType::Pipeline);
  if (rate) {
    text += " ! videorate ! video/x-raw,framerate=" + std::to_string(config.fpsNum) + "/" +
            std::to_string(config.fpsDen);
  }
  return text + " ! capsfilter name=arvideo_caps ! appsink name=arvideo_sink";
}

// Opens the device far enough to read the formats it offers.
bool probeCamera(const std::string& device, const VideoSourceConfig& config, CameraFormat* format,
                 std::string* error) {
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("v4l2src", nullptr);
  if (!src) {
    gst_object_unref(pipeline);
    *error = "the v4l2src element is missing (install gstreamer1.0-plugins-good)";
    return false;
  }
  g_object_set(src, "device", device.c_str(), nullptr);
  gst_bin_add(GST_BIN(pipeline), src);
  bool ok = false;
  if (gst_element_set_state(pipeline, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    GError* gerror = nullptr;
    if (message) gst_message_parse_error(message, &gerror, nullptr);
    *error = gerror ? arVideoGErrorText(gerror) : "cannot open the device";
    if (message) gst_message_unref(message);
    gst_object_unref(bus);
  } else {
    GstPad* pad = gst_element_get_static_pad(src, "src");
    GstCaps* offered = gst_pad_query_caps(pad, nullptr);
    ok = arVideoChooseCameraFormat(offered, config.width, config.height, config.fpsNum,
                                   config.fpsDen, format);
    if (!ok) *error = "offers neither raw video nor MJPEG";
    gst_caps_unref(offered);
    gst_object_unref(pad);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok;
}

std::unique_ptr<VideoSource> openCamera(const std::string& device, const VideoSourceConfig& config,
                                        std::string* error) {
  CameraFormat format;
  std::string cause;
  std::error_code ec;
  if (!std::filesystem::exists(device, ec)) {
    *error = "camera " + device + ": no such device";
    return nullptr;
  }
  if (!probeCamera(device, config, &format, &cause)) {
    *error = "camera " + device + ": " + cause;
    return nullptr;
  }
  GstPlan plan;
  plan.what = "camera " + device;
  plan.device = device;
  plan.cameraCaps = format.caps;
  plan.sync = false;
  plan.detail = format.label + " at " + fpsText(config.fpsNum, config.fpsDen) + " fps" +
                (format.exactSize ? "" : " (scaled)");
  plan.launch = "v4l2src name=arvideo_src ! capsfilter name=arvideo_camcaps" +
                std::string(format.mjpeg ? " ! jpegdec" : "") + outputPart(config);
  return arVideoRunGstPlan(config, std::move(plan), error);
}

std::unique_ptr<VideoSource> openAnyCamera(const VideoSourceConfig& config, std::string* error) {
  if (config.device != "auto") return openCamera(config.device, config, error);
  std::vector<std::string> devices = arVideoListCameraDevices();
  if (devices.empty()) {
    *error = "no camera found";
    return nullptr;
  }
  std::string causes;
  for (const std::string& device : devices) {
    std::string cause;
    if (auto source = openCamera(device, config, &cause)) return source;
    causes += (causes.empty() ? "" : "; ") + cause;
  }
  *error = "no camera could be opened (" + causes + ")";
  return nullptr;
}

std::unique_ptr<VideoSource> openFile(const VideoSourceConfig& config, std::string* error) {
  std::ifstream probe(config.file, std::ios::binary);
  if (!probe || !std::filesystem::is_regular_file(config.file)) {
    *error = "file " + config.file + ": " +
             (std::filesystem::exists(config.file) ? "not a readable file" : "no such file");
    return nullptr;
  }
  GError* uriError = nullptr;
  gchar* uri = gst_filename_to_uri(config.file.c_str(), &uriError);
  if (!uri) {
    *error = "file " + config.file + ": " + arVideoGErrorText(uriError);
    return nullptr;
  }
  GstPlan plan;
  plan.what = "file " + config.file;
  plan.uri = uri;
  g_free(uri);
  plan.loop = config.loop;
  plan.detail = config.loop ? "(looping)" : "";
  plan.launch = "uridecodebin name=arvideo_src" + outputPart(config);
  return arVideoRunGstPlan(config, std::move(plan), error);
}

std::unique_ptr<VideoSource> openSequence(const VideoSourceConfig& config, std::string* error) {
  GstPlan plan;
  plan.what = "sequence " + config.file;
  std::string cause;
  if (!arVideoListSequence(config.file, &plan.pictures, &plan.pictureCaps, &cause)) {
    *error = plan.what + ": " + cause;
    return nullptr;
  }
  plan.loop = config.loop;
  plan.detail = "(" + std::to_string(plan.pictures.size()) + (plan.pictures.size() == 1 ? " picture) at " : " pictures) at ") +
                fpsText(config.fpsNum, config.fpsDen) + " fps" + (config.loop ? ", looping" : "");
  plan.launch = "appsrc name=arvideo_appsrc ! decodebin" + outputPart(config);
  return arVideoRunGstPlan(config, std::move(plan), error);
}

std::unique_ptr<VideoSource> openPipeline(const VideoSourceConfig& config, std::string* error) {
  GstPlan plan;
  plan.what = "pipeline '" + config.pipeline + "'";
  plan.launch = config.pipeline + outputPart(config);
  return arVideoRunGstPlan(config, std::move(plan), error);
}

}  // namespace

bool arVideoGstInit(std::string* error) {
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] {
    GError* gerror = nullptr;
    if (!gst_init_check(nullptr, nullptr, &gerror)) failure = "GStreamer: " + arVideoGErrorText(gerror);
  });
  if (!failure.empty()) *error = failure;
  return failure.empty();
}

std::unique_ptr<VideoSource> arVideoOpenGstSource(const VideoSourceConfig& config, std::string* error) {
  if (!arVideoGstInit(error)) return nullptr;
  switch (config.type) {
    case VideoSourceType::Camera: return openAnyCamera(config, error);
    case VideoSourceType::File: return openFile(config, error);
    case VideoSourceType::Sequence: return openSequence(config, error);
    case VideoSourceType::Pipeline: return openPipeline(config, error);
    case VideoSourceType::Demo: break;
  }
  *error = "not a GStreamer source";
  return nullptr;
}
