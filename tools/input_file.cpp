#include "input_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tavrin::tool {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   std::FILE* standardInput) {
  const bool fromStandardInput = path == "-";
  const std::string name = fromStandardInput ? "standard input" : "'" + path + "'";
  struct stat info {};
  if (!fromStandardInput && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    error = "cannot read " + name + ": it is a directory";
    return false;
  }
  std::FILE* f = fromStandardInput ? standardInput : std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open " + name + ": " + std::strerror(errno);
    return false;
  }
  bytes.clear();
  // A regular file is read into one block of its size.
  struct stat opened {};
  if (fstat(fileno(f), &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_size > 0) {
    bytes.reserve(static_cast<std::size_t>(opened.st_size));
  }
  uint8_t chunk[1 << 16];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool failed = std::ferror(f) != 0;
  const int readError = errno;
  if (!fromStandardInput) std::fclose(f);
  if (failed) {
    error = "cannot read " + name + ": " + std::strerror(readError);
    return false;
  }
  if (bytes.empty()) {
    error = name + " is empty";
    return false;
  }
  return true;
}

}  // namespace tavrin::tool
