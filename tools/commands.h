// The tool's commands.  Each takes the arguments after its name and returns
// the process exit status.
#pragma once

#include <string>
#include <vector>

namespace tavrin::tool {

int RunDecode(const std::vector<std::string>& args);

}  // namespace tavrin::tool
