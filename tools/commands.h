// The tool's commands.  Each takes the arguments after its name and the
// console it talks to, and returns the process exit status: 0 done, 1
// failed (with a message on the console's error stream), 2 wrong usage.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tavrin::tool {

struct Console {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  std::FILE* in = stdin;
  bool outIsTerminal = false;  // pictures are not written to a terminal
  bool errIsTerminal = false;  // the progress line is shown on a terminal only
};

// The console of the running process, with the terminals found by isatty.
Console ProcessConsole();

int RunDecode(const std::vector<std::string>& args, const Console& console);
int RunInfo(const std::vector<std::string>& args, const Console& console);
int RunSnapshot(const std::vector<std::string>& args, const Console& console);
int RunBench(const std::vector<std::string>& args, const Console& console);
int RunCheck(const std::vector<std::string>& args, const Console& console);

// The whole command line after the program name, as main() hands it on.
int RunTool(const std::vector<std::string>& args, const Console& console);

}  // namespace tavrin::tool
