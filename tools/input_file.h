// Reading the whole input file into memory, with errors in words.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tavrin::tool {

// Reads path ("-" reads `standardInput`); on failure returns false and says
// why, naming the file.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   std::FILE* standardInput = stdin);

}  // namespace tavrin::tool
