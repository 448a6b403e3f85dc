// The chroma vector of a macroblock with one luma vector.  The picture
// decoders derive one or two per macroblock and call this inline; the
// chroma-vector primitive is the same function behind its argument checks.
#pragma once

#include <cstdint>

#include "primitives/primitive_types.h"

namespace tavrin::vectors {

// Half the luma component, rounded so that luma half-sample offsets 1, 2
// and 3 (mod 4) all land on the chroma half-sample position; symmetric
// about zero.  Of the magnitude m, (m >> 1) | 1 when m & 3 is nonzero is
// (m >> 1) | (m & 1): bit 0 of m >> 1 is bit 1 of m.  Without branches,
// the sign taken off and put back with its mask.
[[gnu::always_inline]] inline int16_t ChromaComponent(int16_t v) {
  const int32_t sign = int32_t{v} >> 31;  // 0 or -1
  const int32_t m = (int32_t{v} ^ sign) - sign;
  const int32_t c = (m >> 1) | (m & 1);
  return static_cast<int16_t>((c ^ sign) - sign);
}

[[gnu::always_inline]] inline MotionVector ChromaVectorOf(MotionVector luma) {
  return MotionVector{ChromaComponent(luma.x), ChromaComponent(luma.y)};
}

// Of four luma vectors: the sum of a component, sixteen times the chroma
// value in chroma half samples, rounded so that whole multiples of 16 give
// an even value and the remainder picks the nearest chroma half-sample
// position; symmetric about zero.
inline constexpr uint8_t kSixteenthRounding[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};

[[gnu::always_inline]] inline int16_t ChromaOfSumOfFour(int32_t sum) {
  const int32_t m = sum < 0 ? -sum : sum;
  const int32_t c = (m >> 4) * 2 + kSixteenthRounding[m & 15];
  return static_cast<int16_t>(sum < 0 ? -c : c);
}

[[gnu::always_inline]] inline MotionVector ChromaVectorOfFour(const MotionVector* luma) {
  return MotionVector{
      ChromaOfSumOfFour(int32_t{luma[0].x} + luma[1].x + luma[2].x + luma[3].x),
      ChromaOfSumOfFour(int32_t{luma[0].y} + luma[1].y + luma[2].y + luma[3].y)};
}

}  // namespace tavrin::vectors
