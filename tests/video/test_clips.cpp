#include "tests/video/test_clips.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cstdlib>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kWhite{255, 255, 255};

bool inBand(int y, int height) { return y >= height * 5 / 12 && y < height * 7 / 12; }

}  // namespace

Picture makeQuadrantPicture(int width, int height, int index) {
  Picture picture(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      Bgr c;
      if (inBand(y, height)) {
        int bit = x * 8 / width;
        c = (index >> bit) & 1 ? kWhite : Bgr{0, 0, 0};
      } else {
        bool right = x >= width / 2, bottom = y >= height / 2;
        c = bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed);
      }
      uint8_t* p = &picture[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(c.b);
      p[1] = static_cast<uint8_t>(c.g);
      p[2] = static_cast<uint8_t>(c.r);
      p[3] = 255;
    }
  }
  return picture;
}

int readPictureIndex(const uint8_t* bgra, int width, int height) {
  int index = 0;
  int y = height / 2;
  for (int bit = 0; bit < 8; bit++) {
    int x = (2 * bit + 1) * width / 16;
    const uint8_t* p = bgra + (static_cast<size_t>(y) * width + x) * 4;
    int level = (p[0] + p[1] + p[2]) / 3;
    if (level > 180) {
      index |= 1 << bit;
    } else if (level > 70) {
      return -1;
    }
  }
  return index;
}

Bgr quadrantColour(const uint8_t* bgra, int width, int height, int quadrant) {
  int x = (quadrant % 2 == 0 ? 1 : 3) * width / 4;
  int y = (quadrant < 2 ? 1 : 3) * height / 4;
  const uint8_t* p = bgra + (static_cast<size_t>(y) * width + x) * 4;
  return Bgr{p[0], p[1], p[2]};
}

bool near(const Bgr& colour, const Bgr& expected, int tolerance) {
  return std::abs(colour.b - expected.b) <= tolerance && std::abs(colour.g - expected.g) <= tolerance &&
         std::abs(colour.r - expected.r) <= tolerance;
}

bool writeClip(const std::string& path, const std::vector<Picture>& pictures, int width, int height,
               int fps, std::string* error) {
  gst_init(nullptr, nullptr);
  GError* parseError = nullptr;
  GstElement* pipeline = gst_parse_launch(
      "appsrc name=src format=time ! videoconvert ! jpegenc quality=90 ! avimux ! filesink name=out",
      &parseError);
  if (!pipeline) {
    *error = parseError ? parseError->message : "cannot build the encoder";
    if (parseError) g_error_free(parseError);
    return false;
  }
  GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
  GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  g_object_set(out, "location", path.c_str(), nullptr);
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRA", "width",
                                      G_TYPE_INT, width, "height", G_TYPE_INT, height, "framerate",
                                      GST_TYPE_FRACTION, fps, 1, nullptr);
  g_object_set(src, "caps", caps, nullptr);
  gst_caps_unref(caps);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  for (size_t i = 0; i < pictures.size(); i++) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, pictures[i].size(), nullptr);
    gst_buffer_fill(buffer, 0, pictures[i].data(), pictures[i].size());
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(i, GST_SECOND, fps);
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, fps);
    gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
  }
  gst_app_src_end_of_stream(GST_APP_SRC(src));
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (!ok) *error = message ? "encoder error" : "encoder timed out";
  if (message) gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(src);
  gst_object_unref(out);
  gst_object_unref(pipeline);
  return ok;
}

bool writePng(const std::string& path, const Picture& picture, int width, int height) {
  // stb writes RGBA; swap blue and red.
  Picture rgba = picture;
  for (size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
  return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}
