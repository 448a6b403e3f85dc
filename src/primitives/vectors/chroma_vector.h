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

}  // namespace tavrin::vectors
