// tavrin snapshot INPUT -o FILE.png [--frames N] [--width W]
#include <cstdio>

#include "command_support.h"
#include "contact_sheet.h"
#include "png_file.h"
#include "stream_survey.h"

namespace tavrin::tool {
namespace {

constexpr const char* kSnapshotHelp =
    "usage: tavrin snapshot INPUT -o FILE.png [--frames N] [--width W]\n"
    "\n"
    "Decodes INPUT and writes a contact sheet: N pictures spread evenly over\n"
    "the video (the first and the last among them), scaled down side by side,\n"
    "each labelled with its number in display order (from 0) and its type.\n"
    "Colours are converted with the BT.601 limited-range matrix.\n"
    "\n"
    "  -o FILE.png          the PNG file to write; '-' is standard output\n"
    "  --frames N           pictures on the sheet (1 to 100, default 12)\n"
    "  --width W            largest width of one picture on the sheet\n"
    "                       (16 to 4096, default 320)\n"
    "  --video-quality N    reconstruction path, 0 (default) or 1\n"
    "  --post-filter N      0 none (default), 1 deblocked luma, 2 luma and chroma\n"
    "\n"
    "examples:\n"
    "  tavrin snapshot clip.avi -o clip.png\n"
    "  tavrin snapshot clip.mp4 -o sheet.png --frames 4 --width 640\n";

}  // namespace

int RunSnapshot(const std::vector<std::string>& args, const Console& console) {
  std::string path, output;
  int frames = 12, maxWidth = 320;
  DecodeSettings settings;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-h" || a == "--help") {
      std::fputs(kSnapshotHelp, console.out);
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (!hasValue) return Usage(console, kSnapshotHelp, a + " needs a file name");
      output = args[++i];
    } else if (a == "--frames") {
      if (!hasValue || !ParseNumber(args[++i], 1, 100, frames)) {
        return Usage(console, kSnapshotHelp, "--frames takes 1 to 100");
      }
    } else if (a == "--width") {
      if (!hasValue || !ParseNumber(args[++i], 16, 4096, maxWidth)) {
        return Usage(console, kSnapshotHelp, "--width takes 16 to 4096");
      }
    } else if (a == "--video-quality") {
      if (!hasValue || !ParseNumber(args[++i], 0, 1, settings.videoQuality)) {
        return Usage(console, kSnapshotHelp, "--video-quality takes 0 or 1");
      }
    } else if (a == "--post-filter") {
      if (!hasValue || !ParseNumber(args[++i], 0, 2, settings.postFilter)) {
        return Usage(console, kSnapshotHelp, "--post-filter takes 0, 1 or 2");
      }
    } else if (path.empty() && (a == "-" || a[0] != '-')) {
      path = a;
    } else {
      return Usage(console, kSnapshotHelp, "unexpected argument '" + a + "'");
    }
  }
  if (path.empty()) return Usage(console, kSnapshotHelp, "snapshot needs an INPUT file");
  if (output.empty()) return Usage(console, kSnapshotHelp, "snapshot needs -o FILE.png");
  if (output == "-" && console.outIsTerminal) {
    return Fail(console, "snapshot", "standard output is a terminal: give -o FILE.png");
  }

  std::string error;
  const std::unique_ptr<Input> input = OpenInput(path, console, error);
  if (!input) return Fail(console, "snapshot", error);
  if (const std::string refusal = RefusalOf(*input); !refusal.empty()) {
    return Fail(console, "snapshot", "'" + input->name + "': " + refusal);
  }
  DecodeSession session;
  if (!session.Open(input->source.header, settings)) {
    return Fail(console, "snapshot", "'" + input->name + "': " + session.error());
  }
  const int total = SurveyPictures(input->source.pictures, session.layer()).shown;
  const std::vector<int> wanted = EvenlySpaced(total, frames);
  int thumbWidth = 0, thumbHeight = 0;
  ThumbnailSize(session.width(), session.height(), maxWidth, thumbWidth, thumbHeight);
  ContactSheet sheet(static_cast<int>(wanted.size()), thumbWidth, thumbHeight);
  std::size_t next = 0;
  int placed = 0;
  auto sink = [&](const PlanarPicture& picture) {
    const int number = session.counts().shown;
    if (next >= wanted.size() || number != wanted[next]) return;
    char label[32];
    std::snprintf(label, sizeof label, "#%d %c", number, CodingTypeLetter(session.showingType()));
    sheet.Place(static_cast<int>(next), picture, label);
    ++next;
    ++placed;
  };
  for (const auto& picture : input->source.pictures) {
    session.Feed(picture, sink);
    if (next >= wanted.size()) break;
  }
  session.Finish(sink);
  if (placed == 0) return Fail(console, "snapshot", "'" + input->name + "': the decoder returned no picture");

  const bool written = output == "-" ? WritePng(console.out, sheet.image(), error)
                                     : WritePng(output, sheet.image(), error);
  if (!written) return Fail(console, "snapshot", error);
  if (output != "-") {
    std::fprintf(console.out, "wrote %s: %d pictures of %s, %dx%d\n", output.c_str(), placed,
                 SizeText(session.width(), session.height()).c_str(), sheet.image().width, sheet.image().height);
  }
  return 0;
}

}  // namespace tavrin::tool
