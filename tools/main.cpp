// tavrin: decode MPEG-4 Visual files with the tavrin library.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

namespace {

constexpr const char* kHelp =
    "usage: tavrin COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  decode INPUT [-o OUTPUT]   decode to YUV4MPEG2 (.y4m) or raw 4:2:0\n"
    "\n"
    "'tavrin COMMAND --help' tells more about a command.\n"
    "\n"
    "example:\n"
    "  tavrin decode clip.m4v -o clip.y4m && mpv clip.y4m\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
    std::fputs(kHelp, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "decode") return tavrin::tool::RunDecode(args);
  std::fprintf(stderr, "tavrin: unknown command '%s'\n\n%s", command.c_str(), kHelp);
  return 2;
}
