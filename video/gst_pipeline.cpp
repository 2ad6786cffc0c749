// The capture pipeline behind camera, file, sequence and custom-pipeline sources.
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "video/gst_pipeline.h"

namespace {

constexpr auto kOpenTimeout = std::chrono::seconds(10);      // first picture must come by then
constexpr auto kErrorGrace = std::chrono::seconds(2);        // wait for the cause of a failed start
constexpr GstClockTime kBusPoll = 100 * GST_MSECOND;         // bus thread checks for quit this often

class GstVideoSource : public VideoSource {
 public:
  GstVideoSource(const VideoSourceConfig& config, GstPlan plan)
      : config_(config), plan_(std::move(plan)) {}

  ~GstVideoSource() override {
    quit_ = true;
    frames_.setAccepting(false);  // a lossless publish waiting for the consumer gives up
    if (busThread_.joinable()) busThread_.join();
    if (pipeline_) {
      gst_element_set_state(pipeline_, GST_STATE_NULL);
      gst_object_unref(pipeline_);
    }
  }

  bool open(std::string* error) {
    if (!build(error)) return false;
    busThread_ = std::thread([this] { watchBus(); });
    GstStateChangeReturn change = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_NO_PREROLL) {
      // A live source gives no picture while paused; run it (frames are dropped until start).
      change = gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    auto deadline = std::chrono::steady_clock::now() +
                    (change == GST_STATE_CHANGE_FAILURE ? kErrorGrace : kOpenTimeout);
    cv_.wait_until(lock, deadline, [this] { return sawPicture_ || !failure_.empty(); });
    if (!failure_.empty() || !sawPicture_) {
      *error = plan_.what + ": " + (!failure_.empty() ? failure_
               : change == GST_STATE_CHANGE_FAILURE ? std::string("the pipeline could not start")
                                                     : std::string("no picture within 10 s"));
      return false;
    }
    width_ = config_.width > 0 ? config_.width : nativeWidth_;
    height_ = config_.height > 0 ? config_.height : nativeHeight_;
    lock.unlock();
    if (config_.width == 0) lockOutputSize();
    frames_.configure(width_, height_, config_.flipV, config_.flipH);
    frames_.setLossless(config_.everyFrame);
    queryDuration();
    lock.lock();
    if (!failure_.empty()) {
      *error = plan_.what + ": " + failure_;
      return false;
    }
    opened_ = true;
    return true;
  }

  bool start() override {
    if (frames_.finished()) return false;
    frames_.setAccepting(true);
    return gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
  }

  void stop() override {
    frames_.setAccepting(false);
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  }

  double durationSeconds() const override { return duration_; }

  std::string description() const override {
    std::string text = plan_.what + " " + std::to_string(width_) + "x" + std::to_string(height_);
    if (!plan_.detail.empty()) text += " " + plan_.detail;
    return text;
  }

 private:
  bool build(std::string* error) {
    GError* parseError = nullptr;
    pipeline_ = gst_parse_launch(plan_.launch.c_str(), &parseError);
    if (!pipeline_ || parseError) {
      *error = plan_.what + ": invalid pipeline: " + arVideoGErrorText(parseError);
      return false;
    }
    if (!GST_IS_BIN(pipeline_)) {
      *error = plan_.what + ": invalid pipeline";
      return false;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline_), "arvideo_sink");
    GstElement* caps = gst_bin_get_by_name(GST_BIN(pipeline_), "arvideo_caps");
    if (!sink || !caps) {
      if (sink) gst_object_unref(sink);
      if (caps) gst_object_unref(caps);
      *error = plan_.what + ": the description must not use the names arvideo_sink and arvideo_caps";
      return false;
    }
    setOutputCaps(caps, config_.width, config_.height);
    gst_object_unref(caps);
    const bool sync = plan_.sync && !config_.everyFrame;
    g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", sync ? TRUE : FALSE,
                 "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_preroll = [](GstAppSink* s, gpointer self) {
      return static_cast<GstVideoSource*>(self)->onSample(gst_app_sink_pull_preroll(s), false);
    };
    callbacks.new_sample = [](GstAppSink* s, gpointer self) {
      return static_cast<GstVideoSource*>(self)->onSample(gst_app_sink_pull_sample(s), true);
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    gst_object_unref(sink);
    configureSourcePart();
    return true;
  }

  void configureSourcePart() {
    if (!plan_.device.empty() || !plan_.uri.empty()) {
      GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline_), "arvideo_src");
      if (!plan_.device.empty()) g_object_set(src, "device", plan_.device.c_str(), nullptr);
      if (!plan_.uri.empty()) g_object_set(src, "uri", plan_.uri.c_str(), nullptr);
      gst_object_unref(src);
    }
    if (!plan_.cameraCaps.empty()) {
      GstElement* filter = gst_bin_get_by_name(GST_BIN(pipeline_), "arvideo_camcaps");
      GstCaps* caps = gst_caps_from_string(plan_.cameraCaps.c_str());
      g_object_set(filter, "caps", caps, nullptr);
      gst_caps_unref(caps);
      gst_object_unref(filter);
    }
    if (!plan_.pictures.empty()) {
      GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline_), "arvideo_appsrc");
      GstCaps* caps = gst_caps_new_simple(plan_.pictureCaps.c_str(), "framerate", GST_TYPE_FRACTION,
                                          config_.fpsNum, config_.fpsDen, nullptr);
      g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, "max-bytes",
                   static_cast<guint64>(4 << 20), nullptr);
      gst_caps_unref(caps);
      GstAppSrcCallbacks callbacks = {};
      callbacks.need_data = [](GstAppSrc* s, guint, gpointer self) {
        static_cast<GstVideoSource*>(self)->feedPicture(s);
      };
      gst_app_src_set_callbacks(GST_APP_SRC(src), &callbacks, this, nullptr);
      gst_object_unref(src);
    }
  }

  static void setOutputCaps(GstElement* filter, int width, int height) {
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRA", nullptr);
    if (width > 0) {
      gst_caps_set_simple(caps, "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
    }
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
  }

  void queryDuration() {
    if (plan_.loop) return;
    if (!plan_.pictures.empty()) {
      duration_ = static_cast<double>(plan_.pictures.size()) * config_.fpsDen / config_.fpsNum;
      return;
    }
    gint64 nanoseconds = 0;
    if (!plan_.uri.empty() && gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &nanoseconds) &&
        nanoseconds > 0)
      duration_ = static_cast<double>(nanoseconds) / GST_SECOND;
  }

  // The buffer's time in the stream, in seconds; -1 when it carries none.
  static double streamSeconds(GstSample* sample, GstBuffer* buffer) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(pts)) return -1;
    const GstSegment* segment = gst_sample_get_segment(sample);
    const guint64 stream = segment ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts) : pts;
    return GST_CLOCK_TIME_IS_VALID(stream) ? static_cast<double>(stream) / GST_SECOND : -1;
  }

  // Without a configured size the first picture's size is kept for good; later pictures of
  // another size are scaled to it, so the viewer's frame size never changes.
  void lockOutputSize() {
    GstElement* caps = gst_bin_get_by_name(GST_BIN(pipeline_), "arvideo_caps");
    setOutputCaps(caps, width_, height_);
    gst_object_unref(caps);
  }

  GstFlowReturn onSample(GstSample* sample, bool playing) {
    if (!sample) return GST_FLOW_OK;
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (caps && buffer && gst_video_info_from_caps(&info, caps)) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!sawPicture_) {
          sawPicture_ = true;
          nativeWidth_ = GST_VIDEO_INFO_WIDTH(&info);
          nativeHeight_ = GST_VIDEO_INFO_HEIGHT(&info);
        }
      }
      cv_.notify_all();
      GstMapInfo map;
      if (playing && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const gsize needed = static_cast<gsize>(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0)) *
                             (GST_VIDEO_INFO_HEIGHT(&info) - 1) + GST_VIDEO_INFO_WIDTH(&info) * 4;
        if (map.size >= GST_VIDEO_INFO_PLANE_OFFSET(&info, 0) + needed) {
          frames_.publish(map.data + GST_VIDEO_INFO_PLANE_OFFSET(&info, 0),
                          GST_VIDEO_INFO_PLANE_STRIDE(&info, 0), GST_VIDEO_INFO_WIDTH(&info),
                          GST_VIDEO_INFO_HEIGHT(&info), streamSeconds(sample, buffer));
        }
        gst_buffer_unmap(buffer, &map);
      }
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
  }

  // Runs on the appsrc's streaming thread: one picture file per buffer, stamped at the
  // configured rate; the count keeps growing across loops so time never runs backwards.
  void feedPicture(GstAppSrc* src) {
    if (nextPicture_ == plan_.pictures.size()) {
      if (!plan_.loop) {
        gst_app_src_end_of_stream(src);
        return;
      }
      nextPicture_ = 0;
    }
    const std::string& path = plan_.pictures[nextPicture_++];
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) bytes.clear();
    if (bytes.empty()) {
      GST_ELEMENT_ERROR(src, RESOURCE, READ, ("cannot read picture %s", path.c_str()), (nullptr));
      return;
    }
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes.size(), nullptr);
    gst_buffer_fill(buffer, 0, bytes.data(), bytes.size());
    const guint64 num = static_cast<guint64>(config_.fpsNum), den = static_cast<guint64>(config_.fpsDen);
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(picturesFed_, GST_SECOND * den, num);
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND * den, num);
    picturesFed_++;
    gst_app_src_push_buffer(src, buffer);
  }

  void watchBus() {
    GstBus* bus = gst_element_get_bus(pipeline_);
    while (!quit_) {
      GstMessage* message = gst_bus_timed_pop_filtered(
          bus, kBusPoll, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
      if (!message) continue;
      if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        g_free(debug);
        endStream(arVideoGErrorText(error));
      } else if (!(plan_.loop && isOpen() && rewind())) {
        endStream("");
      }
      gst_message_unref(message);
    }
    gst_object_unref(bus);
  }

  bool isOpen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_;
  }

  bool rewind() {
    return gst_element_seek_simple(pipeline_, GST_FORMAT_TIME,
                                   static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH), 0);
  }

  // Before the source is open the cause goes back to open(); afterwards it is printed once and
  // the viewer gets no further frames. cause is empty for the end of the stream.
  void endStream(const std::string& cause) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!opened_) {
        if (failure_.empty()) failure_ = cause.empty() ? "the stream ended before the first picture" : cause;
        cv_.notify_all();
        return;
      }
      if (ended_) return;
      ended_ = true;
    }
    // A recording read through ends as expected; only a failure is news there.
    if (!cause.empty() || !config_.everyFrame)
      std::fprintf(stderr, "video: %s %s\n", plan_.what.c_str(),
                   cause.empty() ? "ended" : ("stopped: " + cause).c_str());
    frames_.finish();
  }

  VideoSourceConfig config_;
  GstPlan plan_;
  GstElement* pipeline_ = nullptr;
  std::thread busThread_;
  std::atomic<bool> quit_{false};
  int width_ = 0, height_ = 0;
  double duration_ = 0;           // seconds; 0 when unknown or endless
  size_t nextPicture_ = 0;        // feeder thread only
  guint64 picturesFed_ = 0;       // feeder thread only

  std::mutex mutex_;              // guards the fields below
  std::condition_variable cv_;
  bool sawPicture_ = false;
  int nativeWidth_ = 0, nativeHeight_ = 0;
  std::string failure_;           // cause of a failure before the source was open
  bool opened_ = false;
  bool ended_ = false;
};

}  // namespace

std::string arVideoGErrorText(GError* error) {
  std::string text = error && error->message ? error->message : "unknown error";
  if (error) g_error_free(error);
  return text;
}

std::unique_ptr<VideoSource> arVideoRunGstPlan(const VideoSourceConfig& config, GstPlan plan,
                                               std::string* error) {
  auto source = std::make_unique<GstVideoSource>(config, std::move(plan));
  if (!source->open(error)) return nullptr;
  return source;
}
