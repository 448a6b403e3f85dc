// tavrin decode INPUT [-o OUTPUT] [--video-quality N] [--post-filter N]
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "decode_session.h"
#include "elementary_stream.h"
#include "frame_rate.h"
#include "input_file.h"
#include "picture_writer.h"

namespace tavrin::tool {
namespace {

constexpr const char* kDecodeHelp =
    "usage: tavrin decode INPUT [-o OUTPUT] [--video-quality N] [--post-filter N]\n"
    "\n"
    "Decodes a raw MPEG-4 Visual elementary stream (.m4v, .cmp, .bits) and\n"
    "writes its pictures in display order.\n"
    "\n"
    "  -o OUTPUT            YUV4MPEG2 when OUTPUT ends in .y4m, raw planar 4:2:0\n"
    "                       otherwise; without -o the pictures are decoded and\n"
    "                       discarded\n"
    "  --video-quality N    reconstruction path, 0 (default) or 1\n"
    "  --post-filter N      0 none (default), 1 deblocked luma, 2 luma and chroma\n"
    "\n"
    "examples:\n"
    "  tavrin decode clip.m4v -o clip.y4m\n"
    "  tavrin decode clip.m4v -o clip.yuv --post-filter 2\n";

bool ParseInt(const std::string& text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return false;
  value = static_cast<int>(v);
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "tavrin decode: %s\n", message.c_str());
  return 1;
}

}  // namespace

int RunDecode(const std::vector<std::string>& args) {
  std::string input, output;
  DecodeSettings settings;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-h" || a == "--help") {
      std::fputs(kDecodeHelp, stdout);
      return 0;
    } else if (a == "-o" && hasValue) {
      output = args[++i];
    } else if (a == "--video-quality" && hasValue) {
      if (!ParseInt(args[++i], settings.videoQuality)) return Fail("--video-quality takes a number");
    } else if (a == "--post-filter" && hasValue) {
      if (!ParseInt(args[++i], settings.postFilter)) return Fail("--post-filter takes a number");
    } else if (input.empty() && (a == "-" || a[0] != '-')) {
      input = a;
    } else {
      std::fputs(kDecodeHelp, stderr);
      return 2;
    }
  }
  if (input.empty()) {
    std::fputs(kDecodeHelp, stderr);
    return 2;
  }

  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(input, bytes, error)) return Fail(error);
  SplitResult split = SplitElementaryStream(bytes);
  if (!split.ok()) return Fail("'" + input + "': " + split.error);
  const ElementaryStream& stream = split.stream;

  DecodeSession session;
  if (!session.Open(stream.Header(bytes), settings)) return Fail("'" + input + "': " + session.error());

  std::FILE* out = nullptr;
  if (!output.empty()) {
    out = output == "-" ? stdout : std::fopen(output.c_str(), "wb");
    if (out == nullptr) return Fail("cannot create '" + output + "'");
  }
  Y4mParameters y4m;
  const Ratio rate = StreamFrameRate(bytes, stream, session.layer());
  y4m.frameRateNum = rate.num;
  y4m.frameRateDen = rate.den;
  const Ratio aspect = PixelAspectRatio(session.layer());
  y4m.aspectNum = aspect.num;
  y4m.aspectDen = aspect.den;
  PictureWriter writer(out ? out : stdout, FormatForPath(output), y4m);
  auto sink = [&](const PlanarPicture& picture) {
    if (out != nullptr) writer.Write(picture);
  };
  for (size_t i = 0; i < stream.pictures.size(); ++i) session.Feed(stream.Picture(bytes, i), sink);
  session.Finish(sink);

  bool ok = true;
  if (out != nullptr) {
    ok = writer.Flush() && !writer.failed();
    if (out != stdout) ok = std::fclose(out) == 0 && ok;
  }
  if (!ok) return Fail("writing '" + output + "' failed: " + writer.error());
  if (session.counts().shown == 0) return Fail("'" + input + "': the decoder returned no picture");
  return 0;
}

}  // namespace tavrin::tool
