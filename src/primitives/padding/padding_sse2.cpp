// Edge padding with SSE2: the rows above and below are written 16 bytes at
// a time (each chunk of the edge row loaded once and stored into every
// border row), the left and right borders with one broadcast register per
// side.  Ragged ends are covered by a last chunk that overlaps the previous
// one, so no byte outside the padded area is touched.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "primitives/padding/padding.h"

namespace tavrin::sse2 {
namespace {

inline void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline void Store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// Copies `width` (at least 8) bytes of `source` into `rows` rows starting at
// `destination`, `stride` apart.
void CopyRowInto(const uint8_t* source, size_t width, uint8_t* destination, ptrdiff_t stride,
                 int32_t rows) {
  if (width < 16) {
    const __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source));
    const __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + width - 8));
    for (int32_t r = 0; r < rows; ++r, destination += stride) {
      Store8(destination, head);
      Store8(destination + width - 8, tail);
    }
    return;
  }
  for (size_t x = 0; x < width; x += 16) {
    const size_t at = x + 16 <= width ? x : width - 16;
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + at));
    uint8_t* out = destination + at;
    for (int32_t r = 0; r < rows; ++r, out += stride) Store16(out, chunk);
  }
}

// Sets `count` (at least 8) bytes at p to the byte in every lane of v.
inline void Fill(uint8_t* p, size_t count, __m128i v) {
  if (count < 16) {
    Store8(p, v);
    Store8(p + count - 8, v);
    return;
  }
  size_t x = 0;
  for (; x + 16 <= count; x += 16) Store16(p + x, v);
  if (x < count) Store16(p + count - 16, v);
}

}  // namespace

PrimitiveStatus PadPlane(uint8_t* base, int32_t width, int32_t height, int32_t border,
                         int32_t stride) {
  if (const PrimitiveStatus s = padding::CheckPadArguments(base, width, height, border, stride);
      s != Ok) {
    return s;
  }

  const ptrdiff_t s = stride;
  const size_t w = static_cast<size_t>(width);
  const size_t b = static_cast<size_t>(border);
  uint8_t* const firstVisible = base + s * border + border;
  uint8_t* const lastVisible = firstVisible + s * (height - 1);

  CopyRowInto(firstVisible, w, base + border, s, border);
  CopyRowInto(lastVisible, w, lastVisible + s, s, border);

  const int64_t rows = static_cast<int64_t>(height) + 2 * static_cast<int64_t>(border);
  uint8_t* row = base;
  for (int64_t r = 0; r < rows; ++r, row += s) {
    Fill(row, b, _mm_set1_epi8(static_cast<char>(row[b])));
    Fill(row + b + w, b, _mm_set1_epi8(static_cast<char>(row[b + w - 1])));
  }
  return Ok;
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
