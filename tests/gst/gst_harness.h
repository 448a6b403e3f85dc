// Running the tavrindec element from the build tree: pipelines in this
// process (appsrc/appsink) and through gst-launch-1.0, and the tool's own
// decode of the same files to compare with.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gsttest {

// Empty when GStreamer, the plugin in the build tree, gst-launch-1.0 and
// the demuxers are at hand; else why the tests are skipped.  Sets up
// GStreamer on first use (the build tree's plugin folder, a registry file
// in the build tree, and the element's rank raised to MAX).
const std::string& Unavailable();

// True when GStreamer loads the element from the build tree's plugin.
bool ElementLoads();

// Skips a test where GStreamer or its good plugins are missing; fails it
// where they are present but the build tree's plugin does not load.
#define SKIP_WITHOUT_GSTREAMER()                                       \
  do {                                                                 \
    if (const std::string& why = gsttest::Unavailable(); !why.empty()) \
      GTEST_SKIP() << why;                                             \
    ASSERT_TRUE(gsttest::ElementLoads()) << "tavrindec does not load";  \
  } while (0)

struct Picture {
  GstClockTime pts = GST_CLOCK_TIME_NONE;
  GstClockTime duration = GST_CLOCK_TIME_NONE;
  std::vector<uint8_t> yuv;  // Y, Cb, Cr planes, tightly packed
};

struct RunResult {
  std::vector<Picture> pictures;
  std::string format;  // of the caps the pictures came with
  int width = 0, height = 0;
  int rateNum = 0, rateDen = 0;
  bool eos = false;
  std::vector<std::string> errors, warnings;  // bus messages, in words
  std::vector<std::string> decoders;  // factory names of the decoders in the pipeline

  std::vector<uint8_t> AllPictures() const;
};

// Runs a pipeline description whose pictures end in an appsink named
// "out" (or a playbin whose video-sink is one) to its end; with a seek
// position, prerolls, seeks there (flushing, accurate) and collects what
// follows.
RunResult Run(const std::string& description, GstClockTime seekTo = GST_CLOCK_TIME_NONE);

// One unit of an elementary stream pushed through appsrc.
struct Unit {
  std::vector<uint8_t> bytes;
  bool corrupted = false;  // carries the CORRUPTED flag
};

// Pushes units (decode times 40 ms apart, no presentation times, as AVI
// gives them) into "appsrc ! tavrindec PROPERTIES ! appsink" with the caps
// given; the header goes into codec_data when not empty.
RunResult RunUnits(const std::string& caps, const std::vector<uint8_t>& codecData, const std::vector<Unit>& units,
                   const std::string& properties = "");

// The units of a committed raw stream: its pictures, the header bytes in
// front of the first unless they go into codec_data.
std::vector<Unit> StreamUnits(const std::string& streamPath, bool headerInBand);

struct Launched {
  int status = -1;
  std::string log;  // what it printed
};
// gst-launch-1.0 -q with the arguments given (shell words).
Launched GstLaunch(const std::string& arguments);

// The tool's decode of a file to raw 4:2:0 (tavrin decode FILE -o OUT.yuv
// ARGS...); empty on failure.
std::vector<uint8_t> ToolDecode(const std::string& path, const std::vector<std::string>& arguments = {});
// What `tavrin info FILE` prints.
std::string ToolInfo(const std::string& path);

std::vector<uint8_t> ReadFile(const std::string& path);
// A scratch file name unique to this process.
std::string Scratch(const std::string& name);

}  // namespace gsttest
