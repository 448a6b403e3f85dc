#include "support/test_paths.h"

#include <filesystem>

namespace testsupport {

std::string DataPath(const std::string& name) { return std::string(TAVRIN_TEST_DATA_DIR) + "/" + name; }

std::string CacheDir() {
  std::filesystem::create_directories(TAVRIN_TEST_CACHE_DIR);
  return TAVRIN_TEST_CACHE_DIR;
}

}  // namespace testsupport
