// No leak and flat memory: 10000 create, decode and release cycles leave the
// heap and the resident size where they were after a warm-up.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "damage.h"
#include "robust_decode.h"
#include "tavrin.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAVRIN_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TAVRIN_TEST_SANITIZED 1
#endif
#endif
#ifdef TAVRIN_TEST_SANITIZED
// The sanitizers' allocator statistics (sanitizer/allocator_interface.h,
// which not every compiler installs).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace robustness {
namespace {

// Bytes the program holds on the heap right now.  The sanitizers keep
// freed blocks in quarantine, so there their allocator's own count is used.
size_t LiveHeapBytes() {
#ifdef TAVRIN_TEST_SANITIZED
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

size_t ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

TEST(Memory, FlatOverTenThousandCycles) {
  const Stream s = LoadStream("mpeg4_ipb_long.m4v", 64, 48);
  ASSERT_GE(s.pictures.size(), 4u);
  Bytes damaged = s.pictures[1];
  Random random(3);
  FlipBits(damaged, 6, random, 4);

  auto cycle = [&](size_t n) {
    DecoderInput in{};
    in.data = s.header.data();
    // Every ninth decoder gets a header it cannot use.
    in.length = static_cast<uint32_t>(n % 9 == 8 ? 10 : s.header.size());
    in.width = s.width;
    in.height = s.height;
    DecoderOutput out{};
    const TavrinHandle h = TavrinDecoder_CreateDecoder(&in, &out);
    ASSERT_NE(h, 0u);
    TavrinDecoder_SetVideoQuality(h, static_cast<int32_t>(n % 2));
    TavrinDecoder_SetPostFilter(h, static_cast<int32_t>(n % 3));
    DecoderInput frame{};
    frame.data = s.pictures[0].data();
    frame.length = static_cast<uint32_t>(s.pictures[0].size());
    TavrinDecoder_DecoderOneFrame(h, &frame, &out);
    if (n % 10 == 0) {
      const Bytes& next = n % 20 == 0 ? damaged : s.pictures[1];
      frame.data = next.data();
      frame.length = static_cast<uint32_t>(next.size());
      TavrinDecoder_DecoderOneFrame(h, &frame, &out);
    }
    ASSERT_EQ(TavrinDecoder_ReleaseDecoder(h), 1);
  };

  for (size_t n = 0; n < 200; ++n) cycle(n);
  const size_t heap = LiveHeapBytes();
  const size_t resident = ResidentBytes();
  size_t highestHeap = heap;
  for (size_t n = 0; n < 10000; ++n) {
    cycle(n);
    if (n % 500 == 0) highestHeap = std::max(highestHeap, LiveHeapBytes());
  }
  const size_t finalHeap = LiveHeapBytes();
  // A few kilobytes of slack for the test framework's own bookkeeping.
  EXPECT_LE(finalHeap, heap + 16384) << "heap grew from " << heap << " to " << finalHeap;
  EXPECT_LE(highestHeap, heap + 16384);
#ifndef TAVRIN_TEST_SANITIZED
  // Resident memory: the allocator may keep some freed memory, but not a
  // share of every decoder made.
  EXPECT_LE(ResidentBytes(), resident + (8u << 20))
      << "resident size grew from " << resident << " to " << ResidentBytes();
#else
  (void)resident;
#endif
}

}  // namespace
}  // namespace robustness
