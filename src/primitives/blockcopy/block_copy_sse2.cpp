// Whole-block moves with SSE2: the two block copies, residual addition onto
// a picture block, and the rounded average of two predictions.  A 16-wide
// row is one 128-bit register, an 8-wide row its low half.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>

#include "primitives/blockcopy/blockcopy.h"
#include "primitives/blockcopy/sse2_rows.h"

namespace tavrin::sse2 {

using namespace blockcopy_sse2;

PrimitiveStatus Copy16x16(const uint8_t* source, uint8_t* destination, int32_t stride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  if (stride < 16) return Step16Error;
  const ptrdiff_t s = stride;
  for (int y = 0; y < 16; y += 2) {
    const __m128i a = Load16(source);
    const __m128i b = Load16(source + s);
    Store16(destination, a);
    Store16(destination + s, b);
    source += 2 * s;
    destination += 2 * s;
  }
  return Ok;
}

PrimitiveStatus Copy8x8(const uint8_t* source, uint8_t* destination, int32_t stride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  if (stride < 8) return Step8Error;
  const ptrdiff_t s = stride;
  for (int y = 0; y < 8; y += 2) {
    const __m128i a = Load8(source);
    const __m128i b = Load8(source + s);
    Store8(destination, a);
    Store8(destination + s, b);
    source += 2 * s;
    destination += 2 * s;
  }
  return Ok;
}

PrimitiveStatus AddResidual8x8(uint8_t* picture, const int16_t* residual, int32_t stride) {
  if (picture == nullptr || residual == nullptr) return NullPointer;
  if (stride < 8) return Step8Error;
  const ptrdiff_t s = stride;
  for (int y = 0; y < 8; ++y) {
    Store8(picture, AddResidualRow(Widen8(Load8(picture)), residual + 8 * y));
    picture += s;
  }
  return Ok;
}

PrimitiveStatus Average8x8(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                           int32_t destinationStride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  const ptrdiff_t ss = sourceStride;
  const ptrdiff_t ds = destinationStride;
  for (int y = 0; y < 8; ++y) {
    Store8(destination, _mm_avg_epu8(Load8(source), Load8(destination)));
    source += ss;
    destination += ds;
  }
  return Ok;
}

PrimitiveStatus Average16x16(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  const ptrdiff_t ss = sourceStride;
  const ptrdiff_t ds = destinationStride;
  for (int y = 0; y < 16; ++y) {
    Store16(destination, _mm_avg_epu8(Load16(source), Load16(destination)));
    source += ss;
    destination += ds;
  }
  return Ok;
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
