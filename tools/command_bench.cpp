// tavrin bench INPUT [--runs N] [--video-quality Q] [--post-filter N]
#include <time.h>

#include <cstdio>

#include "command_support.h"
#include "stream_survey.h"
#include "tavrin.h"

namespace tavrin::tool {
namespace {

constexpr const char* kBenchHelp =
    "usage: tavrin bench INPUT [--runs N] [--video-quality Q] [--post-filter N]\n"
    "\n"
    "Decodes INPUT N times (5 by default) in memory through the library's\n"
    "interface, discarding the pictures, and prints one line per run, then\n"
    "last the totals as\n"
    "\n"
    "  frames=<pictures decoded> cpu_seconds=<s> wall_seconds=<s>\n"
    "\n"
    "Times cover the decode calls alone: reading the file and its container\n"
    "are outside them.  CPU time is the thread's; wall time includes the\n"
    "decoder's one-millisecond pause before each picture it returns.\n"
    "\n"
    "  --runs N             decodes of the whole input (1 to 1000, default 5)\n"
    "  --video-quality Q    reconstruction path, 0 (default) or 1\n"
    "  --post-filter N      0 none (default), 1 deblocked luma, 2 luma and chroma\n"
    "\n"
    "examples:\n"
    "  tavrin bench clip.avi\n"
    "  tavrin bench clip.m4v --runs 20 --video-quality 1\n";

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct RunTimes {
  long frames = 0;
  double cpu = 0;
  double wall = 0;
  bool created = false;
};

RunTimes DecodeOnce(const Input& input, int videoQuality, int postFilter) {
  RunTimes t;
  const VideoObjectLayer& layer = input.layer.layer;
  DecoderInput header{};
  header.data = input.source.header.data();
  header.length = static_cast<uint32_t>(input.source.header.size());
  header.width = layer.videoObjectLayerWidth;
  header.height = layer.videoObjectLayerHeight;
  DecoderOutput output{};
  const TavrinHandle handle = TavrinDecoder_CreateDecoder(&header, &output);
  if (handle == 0) return t;
  t.created = true;
  TavrinDecoder_SetVideoQuality(handle, videoQuality);
  TavrinDecoder_SetPostFilter(handle, postFilter);
  // The clocks are read around the whole loop, which does nothing but the
  // calls: reading them around each call would add two system calls per
  // picture to what is measured.
  const double cpu0 = Seconds(CLOCK_THREAD_CPUTIME_ID);
  const double wall0 = Seconds(CLOCK_MONOTONIC);
  for (const auto& picture : input.source.pictures) {
    DecoderInput frame{};
    frame.data = picture.data();
    frame.length = static_cast<uint32_t>(picture.size());
    TavrinDecoder_DecoderOneFrame(handle, &frame, &output);
  }
  t.wall = Seconds(CLOCK_MONOTONIC) - wall0;
  t.cpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
  TavrinDecoder_ReleaseDecoder(handle);
  return t;
}

}  // namespace

int RunBench(const std::vector<std::string>& args, const Console& console) {
  std::string path;
  int runs = 5, videoQuality = 0, postFilter = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-h" || a == "--help") {
      std::fputs(kBenchHelp, console.out);
      return 0;
    } else if (a == "--runs") {
      if (!hasValue || !ParseNumber(args[++i], 1, 1000, runs)) return Usage(console, kBenchHelp, "--runs takes 1 to 1000");
    } else if (a == "--video-quality") {
      if (!hasValue || !ParseNumber(args[++i], 0, 1, videoQuality)) {
        return Usage(console, kBenchHelp, "--video-quality takes 0 or 1");
      }
    } else if (a == "--post-filter") {
      if (!hasValue || !ParseNumber(args[++i], 0, 2, postFilter)) {
        return Usage(console, kBenchHelp, "--post-filter takes 0, 1 or 2");
      }
    } else if (path.empty() && (a == "-" || a[0] != '-')) {
      path = a;
    } else {
      return Usage(console, kBenchHelp, "unexpected argument '" + a + "'");
    }
  }
  if (path.empty()) return Usage(console, kBenchHelp, "bench needs an INPUT file");
  std::string error;
  const std::unique_ptr<Input> input = OpenInput(path, console, error);
  if (!input) return Fail(console, "bench", error);
  if (const std::string refusal = RefusalOf(*input); !refusal.empty()) {
    return Fail(console, "bench", "'" + input->name + "': " + refusal);
  }
  // Pictures decoded per run: the coded ones (placeholders decode nothing).
  const int perRun = SurveyPictures(input->source.pictures, input->layer.layer).shown;
  const VideoObjectLayer& layer = input->layer.layer;
  std::fprintf(console.out, "input: %s (%s, %s, %d pictures, video quality %d, post-filter %d)\n",
               input->name.c_str(), input->source.format.c_str(),
               SizeText(layer.videoObjectLayerWidth, layer.videoObjectLayerHeight).c_str(), perRun, videoQuality,
               postFilter);
  RunTimes total;
  for (int run = 1; run <= runs; ++run) {
    const RunTimes t = DecodeOnce(*input, videoQuality, postFilter);
    if (!t.created) return Fail(console, "bench", "the decoder could not be created");
    total.frames += perRun;
    total.cpu += t.cpu;
    total.wall += t.wall;
    std::fprintf(console.out, "run %d: %d pictures, cpu %.6f s, wall %.6f s\n", run, perRun, t.cpu, t.wall);
  }
  std::fprintf(console.out, "frames=%ld cpu_seconds=%.6f wall_seconds=%.6f\n", total.frames, total.cpu, total.wall);
  return 0;
}

}  // namespace tavrin::tool
