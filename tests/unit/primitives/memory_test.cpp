#include "primitives/memory/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tavrin {
namespace {

using namespace reference;

TEST(AlignedAllocation, RefusesCountsBelowOne) {
  EXPECT_EQ(AllocBytes(0), nullptr);
  EXPECT_EQ(AllocBytes(-1), nullptr);
  EXPECT_EQ(AllocShorts(0), nullptr);
  EXPECT_EQ(AllocInts(-7), nullptr);
}

TEST(AlignedAllocation, BlocksAreAlignedAndWholeAndFreeable) {
  for (int32_t n = 1; n < 200; n += 7) {
    uint8_t* b = AllocBytes(n);
    int16_t* s = AllocShorts(n);
    int32_t* i = AllocInts(n);
    ASSERT_TRUE(b && s && i);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 32, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s) % 32, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(i) % 32, 0u);
    // The whole requested size is usable (the sanitizer build checks this).
    std::memset(b, 1, static_cast<size_t>(n));
    std::memset(s, 1, static_cast<size_t>(n) * 2);
    std::memset(i, 1, static_cast<size_t>(n) * 4);
    FreeAligned(b);
    FreeAligned(s);
    FreeAligned(i);
  }
  FreeAligned(nullptr);
}

TEST(ZeroFill, NullPointerIsCheckedBeforeTheCount) {
  EXPECT_EQ(ZeroBytes(nullptr, 0), NullPointer);
  EXPECT_EQ(ZeroBytes(nullptr, 10), NullPointer);
  uint8_t byte = 5;
  EXPECT_EQ(ZeroBytes(&byte, 0), SizeError);
  EXPECT_EQ(ZeroBytes(&byte, -3), SizeError);
  EXPECT_EQ(byte, 5);
}

TEST(ZeroFill, ClearsExactlyTheRangeAtEveryAlignment) {
  std::vector<uint8_t> buffer(20480 + 64);
  for (int32_t n : {1, 3, 7, 15, 17, 20480}) {
    for (int32_t offset = 0; offset < 16; ++offset) {
      std::fill(buffer.begin(), buffer.end(), 0xEE);
      ASSERT_EQ(ZeroBytes(buffer.data() + offset + 8, n), Ok);
      for (int32_t i = 0; i < static_cast<int32_t>(buffer.size()); ++i) {
        const bool inside = i >= offset + 8 && i < offset + 8 + n;
        ASSERT_EQ(buffer[static_cast<size_t>(i)], inside ? 0 : 0xEE) << n << " " << offset << " " << i;
      }
    }
  }
}

TEST(LibraryInformation, RecordsAreConstantAndNamed) {
  const LibraryInfo* a = GetSignalLibraryInfo();
  const LibraryInfo* b = GetImageLibraryInfo();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a, GetSignalLibraryInfo());
  EXPECT_NE(a, b);
  EXPECT_NE(a->name, nullptr);
}

}  // namespace
}  // namespace tavrin
