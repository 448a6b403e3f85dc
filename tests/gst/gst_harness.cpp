#include "gst_harness.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "commands.h"
#include "elementary_stream.h"

#if defined(TAVRIN_GST_SANITIZED)
// GLib allocates in its constructors when GStreamer loads plugin libraries
// (while it builds its registry) and keeps that for the process: not a leak
// of ours.  Telling it apart needs whole stacks, which GLib, built without
// frame pointers, gives only to the slow unwinder.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:_dl_init\n";
}
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}
#endif

namespace gsttest {
namespace {

std::string Describe(GstMessage* message) {
  GError* error = nullptr;
  gchar* debug = nullptr;
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    gst_message_parse_error(message, &error, &debug);
  } else {
    gst_message_parse_warning(message, &error, &debug);
  }
  std::string text = error != nullptr ? error->message : "";
  if (debug != nullptr) text += std::string(" (") + debug + ")";
  g_clear_error(&error);
  g_free(debug);
  return text;
}

void Keep(GstSample* sample, RunResult& result) {
  GstVideoInfo info;
  GstVideoFrame frame;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
      !gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
    result.errors.push_back("a sample that does not map as video");
    return;
  }
  result.format = gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info));
  result.width = GST_VIDEO_INFO_WIDTH(&info);
  result.height = GST_VIDEO_INFO_HEIGHT(&info);
  result.rateNum = GST_VIDEO_INFO_FPS_N(&info);
  result.rateDen = GST_VIDEO_INFO_FPS_D(&info);
  Picture picture{GST_BUFFER_PTS(buffer), GST_BUFFER_DURATION(buffer), {}};
  for (guint p = 0; p < GST_VIDEO_FRAME_N_PLANES(&frame); ++p) {
    const auto* row = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    for (int r = 0; r < GST_VIDEO_FRAME_COMP_HEIGHT(&frame, p); ++r, row += GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p)) {
      picture.yuv.insert(picture.yuv.end(), row, row + GST_VIDEO_FRAME_COMP_WIDTH(&frame, p));
    }
  }
  gst_video_frame_unmap(&frame);
  result.pictures.push_back(std::move(picture));
}

void TakeMessages(GstBus* bus, RunResult& result) {
  while (GstMessage* m = gst_bus_pop_filtered(
             bus, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_WARNING | GST_MESSAGE_EOS))) {
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) result.errors.push_back(Describe(m));
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_WARNING) result.warnings.push_back(Describe(m));
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS) result.eos = true;
    gst_message_unref(m);
  }
}

template <typename Feed>
RunResult Collect(GstElement* pipeline, GstClockTime seekTo, Feed feed) {
  RunResult result;
  GstBus* bus = gst_element_get_bus(pipeline);
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  if (sink == nullptr && g_object_class_find_property(G_OBJECT_GET_CLASS(pipeline), "video-sink") != nullptr) {
    // A playbin: pictures go to an appsink as its video sink.
    sink = GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("appsink", "out")));
    GstCaps* i420 = gst_caps_from_string("video/x-raw, format=I420");
    g_object_set(sink, "sync", FALSE, "caps", i420, nullptr);
    gst_caps_unref(i420);
    g_object_set(pipeline, "video-sink", sink, nullptr);
  }
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  feed(pipeline);
  if (GST_CLOCK_TIME_IS_VALID(seekTo)) {
    gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND);
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (!gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, static_cast<gint64>(seekTo))) {
      result.errors.push_back("the seek was refused");
    }
    gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND);
  }
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (sink != nullptr && result.errors.empty()) {
    TakeMessages(bus, result);
    if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_MSECOND)) {
      Keep(sample, result);
      gst_sample_unref(sample);
    } else if (gst_app_sink_is_eos(GST_APP_SINK(sink))) {
      break;
    } else if (std::chrono::steady_clock::now() > deadline) {
      result.errors.push_back("no end of stream within 30 seconds");
    }
  }
  TakeMessages(bus, result);
  if (sink != nullptr) result.eos = result.eos || gst_app_sink_is_eos(GST_APP_SINK(sink));
  GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
    GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
    const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    if (klass != nullptr && std::string(klass).find("Decoder/Video") != std::string::npos) {
      result.decoders.push_back(GST_OBJECT_NAME(factory));
    }
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(it);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  if (sink != nullptr) gst_object_unref(sink);
  gst_object_unref(bus);
  gst_object_unref(pipeline);
  return result;
}

GstElement* Parse(const std::string& description, RunResult& failure) {
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  if (error != nullptr) {
    failure.errors.push_back(std::string("cannot build '") + description + "': " + error->message);
    g_clear_error(&error);
    if (pipeline != nullptr) gst_object_unref(pipeline);
    return nullptr;
  }
  return pipeline;
}

}  // namespace

const std::string& Unavailable() {
  static const std::string why = [] {
    setenv("GST_PLUGIN_PATH", TAVRIN_GST_PLUGIN_DIR, 1);
    setenv("GST_REGISTRY", TAVRIN_GST_REGISTRY, 1);
    setenv("GST_PLUGIN_FEATURE_RANK", "tavrindec:MAX", 1);
    // Plugins are loaded in this process, not in a helper: a plugin built
    // with sanitizers loads only into a process that has their runtime.
    setenv("GST_REGISTRY_FORK", "no", 1);
    GError* error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
      std::string text = std::string("GStreamer does not start: ") + (error ? error->message : "?");
      g_clear_error(&error);
      return text;
    }
    for (const char* name : {"avidemux", "qtdemux", "matroskademux", "decodebin", "playbin"}) {
      GstElementFactory* factory = gst_element_factory_find(name);
      if (factory == nullptr) return std::string("no GStreamer element ") + name;
      gst_object_unref(factory);
    }
    if (std::system("gst-launch-1.0 --version > /dev/null 2>&1") != 0) return std::string("no gst-launch-1.0");
    return std::string();
  }();
  return why;
}

bool ElementLoads() {
  GstElementFactory* factory = gst_element_factory_find("tavrindec");
  if (factory != nullptr) gst_object_unref(factory);
  return factory != nullptr;
}

std::vector<uint8_t> RunResult::AllPictures() const {
  std::vector<uint8_t> all;
  for (const Picture& p : pictures) all.insert(all.end(), p.yuv.begin(), p.yuv.end());
  return all;
}

RunResult Run(const std::string& description, GstClockTime seekTo) {
  RunResult failure;
  GstElement* pipeline = Parse(description, failure);
  return pipeline ? Collect(pipeline, seekTo, [](GstElement*) {}) : failure;
}

RunResult RunUnits(const std::string& caps, const std::vector<uint8_t>& codecData, const std::vector<Unit>& units,
                   const std::string& properties) {
  RunResult failure;
  GstElement* pipeline = Parse("appsrc name=in format=time max-bytes=0 ! tavrindec " + properties +
                                   " ! appsink name=out sync=false",
                               failure);
  if (pipeline == nullptr) return failure;
  return Collect(pipeline, GST_CLOCK_TIME_NONE, [&](GstElement* bin) {
    GstElement* source = gst_bin_get_by_name(GST_BIN(bin), "in");
    GstCaps* sourceCaps = gst_caps_from_string(caps.c_str());
    if (!codecData.empty()) {
      GstBuffer* data = gst_buffer_new_memdup(codecData.data(), codecData.size());
      gst_caps_set_simple(sourceCaps, "codec_data", GST_TYPE_BUFFER, data, nullptr);
      gst_buffer_unref(data);
    }
    gst_app_src_set_caps(GST_APP_SRC(source), sourceCaps);
    gst_caps_unref(sourceCaps);
    for (std::size_t i = 0; i < units.size(); ++i) {
      GstBuffer* buffer = gst_buffer_new_memdup(units[i].bytes.data(), units[i].bytes.size());
      GST_BUFFER_DTS(buffer) = i * 40 * GST_MSECOND;
      GST_BUFFER_DURATION(buffer) = 40 * GST_MSECOND;
      if (units[i].corrupted) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_CORRUPTED);
      gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(source));
    gst_object_unref(source);
  });
}

std::vector<Unit> StreamUnits(const std::string& streamPath, bool headerInBand) {
  const std::vector<uint8_t> bytes = ReadFile(streamPath);
  const tavrin::tool::SplitResult split = tavrin::tool::SplitElementaryStream(bytes);
  std::vector<Unit> units;
  for (const tavrin::tool::PictureUnit& p : split.stream.pictures) {
    const std::size_t from = units.empty() && headerInBand ? 0 : p.offset;
    units.push_back({{bytes.begin() + static_cast<std::ptrdiff_t>(from),
                      bytes.begin() + static_cast<std::ptrdiff_t>(p.offset + p.size)}});
  }
  return units;
}

Launched GstLaunch(const std::string& arguments) {
  Launched result;
#if defined(TAVRIN_GST_SANITIZED)
  // A plugin built with sanitizers loads only into a process that has their
  // runtime, which gst-launch-1.0 has not: the pipeline runs here instead.
  RunResult failure;
  GstElement* pipeline = Parse(arguments, failure);
  if (pipeline == nullptr) return {1, failure.errors[0]};
  GstBus* bus = gst_element_get_bus(pipeline);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstMessage* end = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                               static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  result.status = end != nullptr && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS ? 0 : 1;
  if (end != nullptr && GST_MESSAGE_TYPE(end) == GST_MESSAGE_ERROR) result.log = Describe(end);
  if (end != nullptr) gst_message_unref(end);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(bus);
  gst_object_unref(pipeline);
  return result;
#endif
  const std::string log = Scratch("gst-launch.log");
  const int status = std::system(("gst-launch-1.0 -q " + arguments + " > '" + log + "' 2>&1").c_str());
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const std::vector<uint8_t> text = ReadFile(log);
  result.log.assign(text.begin(), text.end());
  std::remove(log.c_str());
  return result;
}

std::vector<uint8_t> ToolDecode(const std::string& path, const std::vector<std::string>& arguments) {
  const std::string out = Scratch("tool.yuv");
  std::vector<std::string> command = {"decode", path, "-o", out, "-q"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  tavrin::tool::Console console;
  console.out = std::tmpfile();
  console.err = std::tmpfile();
  const int status = tavrin::tool::RunTool(command, console);
  std::fclose(console.out);
  std::fclose(console.err);
  std::vector<uint8_t> bytes = status == 0 ? ReadFile(out) : std::vector<uint8_t>{};
  std::remove(out.c_str());
  return bytes;
}

std::string ToolInfo(const std::string& path) {
  tavrin::tool::Console console;
  console.out = std::tmpfile();
  console.err = std::tmpfile();
  tavrin::tool::RunTool({"info", path}, console);
  std::rewind(console.out);
  std::string text;
  for (int c; (c = std::fgetc(console.out)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(console.out);
  std::fclose(console.err);
  return text;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Scratch(const std::string& name) {
  return ::testing::TempDir() + "tavrin_gst_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace gsttest
