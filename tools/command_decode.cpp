// tavrin decode INPUT [-o OUTPUT] [--format F] [--video-quality N] [--post-filter N]
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "command_support.h"
#include "frame_rate.h"
#include "picture_writer.h"
#include "progress.h"
#include "stream_survey.h"

namespace tavrin::tool {
namespace {

constexpr const char* kDecodeHelp =
    "usage: tavrin decode INPUT [-o OUTPUT] [options]\n"
    "\n"
    "Decodes the MPEG-4 Visual video of INPUT and writes its pictures in\n"
    "display order.  INPUT is an AVI, MP4, MOV, 3GP or Matroska (.mkv) file\n"
    "or a raw stream (.m4v, .cmp, .bits, or H.263's .263 and .h263), told\n"
    "apart by content; '-' reads standard input.\n"
    "\n"
    "  -o OUTPUT            where the pictures go; '-' is standard output.\n"
    "                       Without -o the pictures are decoded and counted.\n"
    "  --format F           y4m (YUV4MPEG2) or yuv (raw planar 4:2:0); by\n"
    "                       default y4m for '-' and names ending in .y4m,\n"
    "                       yuv otherwise\n"
    "  --video-quality N    reconstruction path, 0 (default) or 1\n"
    "  --post-filter N      0 none (default), 1 deblocked luma, 2 luma and chroma\n"
    "  -q, --quiet          no progress line (it is shown only on a terminal)\n"
    "\n"
    "A stream the decoder does not support (static sprites, data\n"
    "partitioning, ...) is refused with the reason; 'tavrin info INPUT' shows\n"
    "it too.\n"
    "\n"
    "examples:\n"
    "  tavrin decode clip.avi -o clip.y4m\n"
    "  tavrin decode clip.mp4 -o - | mpv -\n"
    "  tavrin decode clip.mkv -o clip.y4m\n"
    "  tavrin decode clip.m4v -o clip.yuv --post-filter 2\n";

struct Options {
  std::string input, output, format;
  DecodeSettings settings;
  bool quiet = false;
};

// 0 when the options read well, else the exit status to return.
int ReadOptions(const std::vector<std::string>& args, const Console& console, Options& o, bool& help) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-h" || a == "--help") {
      help = true;
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (!hasValue) return Usage(console, kDecodeHelp, a + " needs a file name");
      o.output = args[++i];
    } else if (a == "--format") {
      if (!hasValue || (args[i + 1] != "y4m" && args[i + 1] != "yuv")) {
        return Usage(console, kDecodeHelp, "--format takes y4m or yuv");
      }
      o.format = args[++i];
    } else if (a == "--video-quality") {
      if (!hasValue || !ParseNumber(args[++i], 0, 1, o.settings.videoQuality)) {
        return Usage(console, kDecodeHelp, "--video-quality takes 0 or 1");
      }
    } else if (a == "--post-filter") {
      if (!hasValue || !ParseNumber(args[++i], 0, 2, o.settings.postFilter)) {
        return Usage(console, kDecodeHelp, "--post-filter takes 0, 1 or 2");
      }
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (o.input.empty() && (a == "-" || a[0] != '-')) {
      o.input = a;
    } else if (o.output.empty() && (a == "-" || a[0] != '-')) {
      o.output = a;
    } else {
      return Usage(console, kDecodeHelp, "unexpected argument '" + a + "'");
    }
  }
  if (o.input.empty()) return Usage(console, kDecodeHelp, "decode needs an INPUT file");
  return 0;
}

}  // namespace

int RunDecode(const std::vector<std::string>& args, const Console& console) {
  Options o;
  bool help = false;
  if (const int status = ReadOptions(args, console, o, help); status != 0) return status;
  if (help) {
    std::fputs(kDecodeHelp, console.out);
    return 0;
  }
  const bool toStandardOutput = o.output == "-";
  if (toStandardOutput && console.outIsTerminal) {
    return Fail(console, "decode",
                "standard output is a terminal: pipe it into a player (tavrin decode IN -o - | mpv -) or give a file");
  }

  std::string error;
  const std::unique_ptr<Input> input = OpenInput(o.input, console, error);
  if (!input) return Fail(console, "decode", error);
  const VideoSource& source = input->source;
  if (const std::string refusal = RefusalOf(*input); !refusal.empty()) {
    return Fail(console, "decode", "'" + input->name + "': " + refusal);
  }
  DecodeSession session;
  if (!session.Open(source.header, o.settings)) {
    return Fail(console, "decode", "'" + input->name + "': " + session.error());
  }

  std::FILE* out = nullptr;
  if (toStandardOutput) {
    out = console.out;
  } else if (!o.output.empty()) {
    out = std::fopen(o.output.c_str(), "wb");
    if (out == nullptr) {
      return Fail(console, "decode", "cannot create '" + o.output + "': " + std::strerror(errno));
    }
  }
  PictureFormat format = FormatForPath(o.output);
  if (toStandardOutput) format = PictureFormat::kY4m;
  if (!o.format.empty()) format = o.format == "y4m" ? PictureFormat::kY4m : PictureFormat::kRawYuv420;

  Y4mParameters y4m;
  const Ratio rate = StreamFrameRate(source.pictures, session.layer(), source.containerRate);
  y4m.frameRateNum = rate.num;
  y4m.frameRateDen = rate.den;
  const Ratio aspect = PixelAspectRatio(session.layer());
  y4m.aspectNum = aspect.num;
  y4m.aspectDen = aspect.den;
  const StreamSurvey survey = SurveyPictures(source.pictures, session.layer());
  y4m.interlacing = survey.fieldOrder;
  PictureWriter writer(out != nullptr ? out : console.out, format, y4m);
  const int expected = survey.shown;
  ProgressLine progress(console.errIsTerminal && !o.quiet ? console.err : nullptr, expected);
  auto sink = [&](const PlanarPicture& picture) {
    if (out != nullptr) writer.Write(picture);
    progress.Step();
  };
  for (const auto& picture : source.pictures) {
    session.Feed(picture, sink);
    if (writer.failed()) break;
  }
  if (!writer.failed()) session.Finish(sink);
  progress.Finish();

  bool ok = true;
  if (out != nullptr) {
    ok = writer.Flush() && !writer.failed();
    if (out != console.out) ok = std::fclose(out) == 0 && ok;
  }
  // A failed decode leaves no output file behind (devices and pipes named
  // as output are left alone).
  struct stat written {};
  const bool wroteFile = out != nullptr && !toStandardOutput && stat(o.output.c_str(), &written) == 0 &&
                         S_ISREG(written.st_mode);
  if (wroteFile && (!ok || session.counts().shown == 0)) std::remove(o.output.c_str());
  if (!ok) {
    return Fail(console, "decode", "writing '" + (toStandardOutput ? std::string("standard output") : o.output) +
                                       "' failed: " + writer.error());
  }
  if (session.counts().shown == 0) {
    return Fail(console, "decode", "'" + input->name + "': the decoder returned no picture");
  }
  if (session.counts().refused > 0) {
    std::fprintf(console.err, "tavrin decode: '%s': %d pictures not decoded: the decoder does not support %s\n",
                 input->name.c_str(), session.counts().refused, session.counts().refusal.c_str());
  }
  if (out == nullptr) {
    std::fprintf(console.out, "decoded %d pictures of %s from '%s'; nothing written (give -o FILE to keep them)\n",
                 session.counts().shown, SizeText(session.width(), session.height()).c_str(), input->name.c_str());
  }
  return 0;
}

}  // namespace tavrin::tool
