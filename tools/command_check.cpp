// tavrin check INPUT
#include <cstdio>

#include "command_support.h"
#include "damage_scan.h"
#include "frame_rate.h"

namespace tavrin::tool {
namespace {

constexpr const char* kCheckHelp =
    "usage: tavrin check INPUT\n"
    "\n"
    "Tells which pictures of INPUT are damaged, for archive checks.  Every\n"
    "picture's macroblock codes are read the way the decoder reads them;\n"
    "a damaged picture is listed with its number (stream order), type, time\n"
    "and how many of its macroblocks the decoder conceals (rebuilds from the\n"
    "pictures around it) when it decodes the file.  The last line sums up.\n"
    "\n"
    "Exit status: 0 when no picture is damaged, 1 when one is (or INPUT\n"
    "cannot be read or decoded), 2 on wrong usage.\n"
    "\n"
    "examples:\n"
    "  tavrin check clip.avi\n"
    "  for f in archive/*.avi; do tavrin check \"$f\" >/dev/null || echo \"$f\"; done\n";

}  // namespace

int RunCheck(const std::vector<std::string>& args, const Console& console) {
  std::string path;
  for (const std::string& a : args) {
    if (a == "-h" || a == "--help") {
      std::fputs(kCheckHelp, console.out);
      return 0;
    } else if (path.empty() && (a == "-" || a[0] != '-')) {
      path = a;
    } else {
      return Usage(console, kCheckHelp, "unexpected argument '" + a + "'");
    }
  }
  if (path.empty()) return Usage(console, kCheckHelp, "check needs an INPUT file");
  std::string error;
  const std::unique_ptr<Input> input = OpenInput(path, console, error);
  if (!input) return Fail(console, "check", error);
  const std::string refusal = RefusalOf(*input);
  if (!refusal.empty()) return Fail(console, "check", refusal);
  const VideoObjectLayer& layer = input->layer.layer;
  DamageScanner scanner(layer);
  PictureClock clock(layer.vopTimeIncrementResolution);
  const double resolution = layer.vopTimeIncrementResolution > 0 ? layer.vopTimeIncrementResolution : 1;
  int damaged = 0;
  long long concealed = 0;
  const auto& pictures = input->source.pictures;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const PictureHeaderResult header = ParsePictureHeader(pictures[i], layer);
    const double seconds = header.ok() ? static_cast<double>(clock.Next(header.header)) / resolution : 0;
    const PictureDamage d = scanner.Scan(pictures[i]);
    if (!d.damaged) continue;
    ++damaged;
    concealed += d.concealed;
    if (!d.readable) {
      std::fprintf(console.out, "picture %zu: header unreadable (%s); the picture before is shown again\n", i,
                   header.error.c_str());
      continue;
    }
    std::fprintf(console.out, "picture %zu (%c) at %.3f s: %d of %d macroblocks concealed\n", i,
                 CodingTypeLetter(header.header.vopCodingType), seconds, d.concealed, scanner.macroblocks());
  }
  std::fprintf(console.out, "%s: %zu pictures, %d damaged, %lld macroblocks concealed\n", input->name.c_str(),
               pictures.size(), damaged, concealed);
  return damaged > 0 ? 1 : 0;
}

}  // namespace tavrin::tool
