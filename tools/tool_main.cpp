// The tool's top level: the command table and the overall help.
#include <unistd.h>

#include <cstdio>

#include "commands.h"
#include "tavrin.h"

namespace tavrin::tool {
namespace {

constexpr const char* kHelp =
    "usage: tavrin COMMAND [ARGS]\n"
    "\n"
    "Looks into and decodes MPEG-4 Visual video (Xvid, DivX, ffmpeg's mpeg4)\n"
    "in AVI, MP4, MOV and Matroska (.mkv) files and raw streams (.m4v), told\n"
    "apart by content.\n"
    "\n"
    "commands:\n"
    "  decode INPUT -o OUTPUT     decode to YUV4MPEG2 (.y4m) or raw 4:2:0, '-' for\n"
    "                             standard output\n"
    "  info INPUT                 container, size, rate, quantisation, coding\n"
    "                             tools, pictures by type, and whether the\n"
    "                             decoder supports the stream\n"
    "  snapshot INPUT -o F.png    a contact sheet of evenly spaced pictures\n"
    "  bench INPUT                time the decoder on the input, in memory\n"
    "  check INPUT                which pictures are damaged, and how many\n"
    "                             macroblocks the decoder conceals in each\n"
    "  version                    the library's version\n"
    "\n"
    "'tavrin COMMAND --help' tells more about a command.\n"
    "\n"
    "examples:\n"
    "  tavrin info clip.avi\n"
    "  tavrin decode clip.avi -o clip.y4m && mpv clip.y4m\n"
    "  tavrin decode clip.mp4 -o - | mpv -\n"
    "  tavrin info clip.mkv\n"
    "  tavrin snapshot clip.m4v -o clip.png\n"
    "  tavrin bench clip.avi --runs 10\n"
    "  tavrin check clip.avi\n";

}  // namespace

Console ProcessConsole() {
  Console console;
  console.outIsTerminal = isatty(fileno(stdout)) != 0;
  console.errIsTerminal = isatty(fileno(stderr)) != 0;
  return console;
}

int RunTool(const std::vector<std::string>& all, const Console& console) {
  if (all.empty()) {
    std::fputs(kHelp, console.err);
    return 2;
  }
  const std::string& command = all[0];
  const std::vector<std::string> args(all.begin() + 1, all.end());
  if (command == "-h" || command == "--help" || command == "help") {
    if (!args.empty()) return RunTool({args[0], "--help"}, console);
    std::fputs(kHelp, console.out);
    return 0;
  }
  if (command == "decode") return RunDecode(args, console);
  if (command == "info") return RunInfo(args, console);
  if (command == "snapshot") return RunSnapshot(args, console);
  if (command == "bench") return RunBench(args, console);
  if (command == "check") return RunCheck(args, console);
  if (command == "version" || command == "--version") {
    const unsigned version = static_cast<unsigned>(GetMorvelDllVersion());
    std::fprintf(console.out, "tavrin, library version %u.%u.%u\n", version >> 24, (version >> 16) & 0xFF,
                 version & 0xFFFF);
    return 0;
  }
  std::fprintf(console.err, "tavrin: unknown command '%s'\n\n", command.c_str());
  std::fputs(kHelp, console.err);
  return 2;
}

}  // namespace tavrin::tool
