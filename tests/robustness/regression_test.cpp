// Every input the fuzzing targets ever found a fault with, kept under
// tests/robustness/regressions/<target>/, replayed through the same target
// code (fuzz/*_fuzzer.cpp).  A fault that comes back stops this test with a
// crash or a sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/reference_decode.h"

extern "C" int TavrinFuzzDecoder(const uint8_t* data, size_t size);
extern "C" int TavrinFuzzHeader(const uint8_t* data, size_t size);
extern "C" int TavrinFuzzCoefficient(const uint8_t* data, size_t size);
extern "C" int TavrinFuzzVector(const uint8_t* data, size_t size);
extern "C" int TavrinFuzzMatroska(const uint8_t* data, size_t size);

namespace robustness {
namespace {

using Target = int (*)(const uint8_t*, size_t);

void Replay(const std::string& folder, Target target) {
  const std::filesystem::path dir = std::filesystem::path(TAVRIN_ROBUSTNESS_REGRESSIONS_DIR) / folder;
  if (!std::filesystem::exists(dir)) return;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(entry.path().string(), bytes)) << entry.path();
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(target(bytes.data(), bytes.size()), 0);
  }
}

TEST(FuzzRegressions, Decoder) { Replay("decoder", TavrinFuzzDecoder); }
TEST(FuzzRegressions, Header) { Replay("header", TavrinFuzzHeader); }
TEST(FuzzRegressions, Coefficient) { Replay("coefficient", TavrinFuzzCoefficient); }
TEST(FuzzRegressions, Vector) { Replay("vector", TavrinFuzzVector); }
TEST(FuzzRegressions, Matroska) { Replay("matroska", TavrinFuzzMatroska); }

}  // namespace
}  // namespace robustness
