// Reading the whole input file into memory, with errors in words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::tool {

// Reads path; on failure returns false and says why, naming the file.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace tavrin::tool
