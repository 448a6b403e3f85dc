// tavrin: look into and decode MPEG-4 Visual files with the tavrin library.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tavrin::tool::RunTool(args, tavrin::tool::ProcessConsole());
  } catch (const std::bad_alloc&) {
    std::fputs("tavrin: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin: %s\n", e.what());
  }
  return 1;
}
