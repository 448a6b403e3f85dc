// Memory primitives: every variant against the reference.
#include <algorithm>
#include <cstring>

#include "checkasm/checkasm.h"
#include "primitives/memory/memory.h"

namespace {

TEST(CheckAsm, ZeroBytes) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("ZeroBytes");
  std::vector<uint8_t> a(70000), b(70000);
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().ZeroBytes)) {
    for (int iter = 0; iter < 300; ++iter) {
      for (size_t i = 0; i < a.size(); ++i) a[i] = b[i] = static_cast<uint8_t>(rng());
      const int32_t offset = static_cast<int32_t>(rng() % 64);
      int32_t count = static_cast<int32_t>(iter < 200 ? rng() % 300 : rng() % 60000) - 8;
      if (iter % 50 == 0) count = 20480;
      const bool null = iter % 97 == 0;
      auto want = tavrin::reference::ZeroBytes(null ? nullptr : a.data() + offset, count);
      auto got = c.fn(null ? nullptr : b.data() + offset, count);
      ASSERT_EQ(want, got) << "variant " << c.variant << " count " << count;
      ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size())) << "variant " << c.variant;
    }
    checkasm::Bench("ZeroBytes 4096 v" + std::to_string(c.variant),
                    [&] { c.fn(b.data(), 4096); });
  }
}

// Ranges around and above the sizes from which variants write with stores
// that bypass the caches (20480 and 524288 bytes), at every alignment.
TEST(CheckAsm, ZeroBytesLargeRanges) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("ZeroBytesLargeRanges");
  std::vector<uint8_t> a(600000), b(600000);
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().ZeroBytes)) {
    for (int32_t base : {20479, 20480, 524287, 524288, 524289, 524304, 599000}) {
      const int32_t offset = static_cast<int32_t>(rng() % 32);
      const int32_t count = std::min(base, static_cast<int32_t>(a.size()) - 40) - offset % 7;
      for (size_t i = 0; i < a.size(); ++i) a[i] = b[i] = static_cast<uint8_t>(rng() | 1);
      ASSERT_EQ(tavrin::reference::ZeroBytes(a.data() + offset, count),
                c.fn(b.data() + offset, count));
      ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size()))
          << "variant " << c.variant << " count " << count << " offset " << offset;
    }
  }
}

TEST(CheckAsm, AlignedAllocation) {
  CHECKASM_TRACE();
  const auto& t = checkasm::Table();
  for (const auto& alloc : checkasm::CandidatesOf(t.AllocBytes)) {
    for (const auto& release : checkasm::CandidatesOf(t.FreeAligned)) {
      for (int32_t n : {1, 3, 31, 32, 33, 1000, 65536}) {
        uint8_t* p = alloc.fn(n);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 32, 0u);
        std::memset(p, 0xA5, static_cast<size_t>(n));
        release.fn(p);
      }
      EXPECT_EQ(alloc.fn(0), nullptr);
      EXPECT_EQ(alloc.fn(-5), nullptr);
    }
  }
}

}  // namespace
