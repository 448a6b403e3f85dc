// The direct-mode vectors of one co-located vector: the arithmetic of the
// direct-vector primitives, inline, so that the bidirectional decoder can
// derive a co-located macroblock's single vector pair without a call.
#pragma once

#include <cstdint>
#include <cstring>

#include "primitives/primitive_types.h"
#include "primitives/wrapping_arithmetic.h"

namespace tavrin::vectors {

// One component: forward and backward from the co-located component mv and
// the delta component mvd.  trd must be positive; the products and sums wrap
// rather than overflow, whatever the temporal distances.
inline void DirectComponent(int32_t mv, int32_t mvd, int32_t trb, int32_t trd, int16_t* forward,
                            int16_t* backward) {
  const int32_t f = Add32(mvd, Mul32(trb, mv) / trd);
  const int32_t b = mvd == 0 ? Mul32(trb - trd, mv) / trd : Sub32(f, mv);
  *forward = static_cast<int16_t>(f);
  *backward = static_cast<int16_t>(b);
}

// Forward and backward of co-located vector mv with delta.  A co-located
// macroblock standing still (the common case in a still scene) needs no
// division: both scaled vectors are zero, so forward is the delta, and so
// is backward (zero when the delta is, forward minus zero otherwise).
inline void DirectPair(MotionVector mv, MotionVector delta, int32_t trb, int32_t trd,
                       MotionVector& forward, MotionVector& backward) {
  if (mv.x == 0 && mv.y == 0) {
    forward = backward = delta;
    return;
  }
  DirectComponent(mv.x, delta.x, trb, trd, &forward.x, &backward.x);
  DirectComponent(mv.y, delta.y, trb, trd, &forward.y, &backward.y);
}

// Whether the four vectors of a co-located macroblock are one vector.
inline bool FourAreOne(const MotionVector* v) {
  uint32_t words[4];
  std::memcpy(words, v, sizeof words);
  return words[1] == words[0] && words[2] == words[0] && words[3] == words[0];
}

}  // namespace tavrin::vectors
