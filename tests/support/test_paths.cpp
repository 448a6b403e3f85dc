#include "support/test_paths.h"

#include <filesystem>

namespace testsupport {

std::string DataPath(const std::string& name) { return std::string(TAVRIN_TEST_DATA_DIR) + "/" + name; }

std::string CacheDir() {
  std::filesystem::create_directories(TAVRIN_TEST_CACHE_DIR);
  return TAVRIN_TEST_CACHE_DIR;
}

}  // namespace testsupport

#include <fstream>
#include <iterator>

namespace testsupport {
namespace {

std::vector<unsigned char> ReadAll(const std::string& name) {
  std::ifstream in(DataPath(name), std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Offsets of the start codes 00 00 01 xx whose code byte matches.
template <typename Match>
std::vector<size_t> StartCodes(const std::vector<unsigned char>& b, Match match) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 3 < b.size(); ++i)
    if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && match(b[i + 3])) at.push_back(i);
  return at;
}

}  // namespace

std::vector<unsigned char> HeaderBytesOf(const std::string& streamName) {
  const auto bytes = ReadAll(streamName);
  const auto objects = StartCodes(bytes, [](unsigned char c) { return c <= 0x1F; });
  const auto pictures = StartCodes(bytes, [](unsigned char c) { return c == 0xB6; });
  if (objects.empty() || pictures.empty() || pictures.back() < objects.front()) return {};
  size_t end = 0;
  for (size_t p : pictures)
    if (p > objects.front()) {
      end = p;
      break;
    }
  return std::vector<unsigned char>(bytes.begin() + static_cast<ptrdiff_t>(objects.front()),
                                    bytes.begin() + static_cast<ptrdiff_t>(end));
}

std::vector<std::vector<unsigned char>> PicturesOf(const std::string& streamName) {
  const auto bytes = ReadAll(streamName);
  const auto pictures = StartCodes(bytes, [](unsigned char c) { return c == 0xB6; });
  std::vector<std::vector<unsigned char>> out;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const size_t end = i + 1 < pictures.size() ? pictures[i + 1] : bytes.size();
    out.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(pictures[i]),
                     bytes.begin() + static_cast<ptrdiff_t>(end));
  }
  return out;
}

}  // namespace testsupport
