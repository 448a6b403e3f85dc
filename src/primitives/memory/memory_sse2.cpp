// Zero filling with SSE2: unaligned 16-byte stores at both ends, aligned
// 16-byte stores in between; ranges under 16 bytes byte by byte.  Ranges above
// 512 KiB are written with stores that bypass the caches, followed by a
// store fence, since such a range would only evict everything else.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "primitives/memory/memory.h"

namespace tavrin::sse2 {
namespace {

constexpr size_t kStreamingAbove = 0x80000;

}  // namespace

PrimitiveStatus ZeroBytes(void* bytes, int32_t count) {
  if (bytes == nullptr) return NullPointer;
  if (count <= 0) return SizeError;
  uint8_t* p = static_cast<uint8_t*>(bytes);
  const size_t n = static_cast<size_t>(count);
  const __m128i zero = _mm_setzero_si128();
  if (n < 16) {
    for (size_t i = 0; i < n; ++i) p[i] = 0;
    return Ok;
  }
  // Unaligned first and last 16 bytes; aligned stores in between (they may
  // overlap the first and last, which are zero already).
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 16), zero);
  __m128i* q = reinterpret_cast<__m128i*>((reinterpret_cast<uintptr_t>(p) + 16) & ~uintptr_t{15});
  __m128i* const end =
      reinterpret_cast<__m128i*>(reinterpret_cast<uintptr_t>(p + n) & ~uintptr_t{15});
  if (n > kStreamingAbove) {
    for (; q < end; ++q) _mm_stream_si128(q, zero);
    _mm_sfence();
  } else {
    for (; q < end; ++q) _mm_store_si128(q, zero);
  }
  return Ok;
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
