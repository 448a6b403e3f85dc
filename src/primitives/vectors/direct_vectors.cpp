// Direct-mode vectors of B pictures: the co-located P-picture vectors scaled
// by the temporal distances, plus a decoded (or zero) delta.
#include <cstdint>
#include <cstring>

#include "primitives/vectors/direct_vector.h"
#include "primitives/vectors/vector_bits.h"
#include "primitives/vectors/vectors.h"

namespace tavrin::reference {

namespace {

bool IsWordAligned(const uint8_t* p) { return (reinterpret_cast<uintptr_t>(p) & 3u) == 0; }

// The arguments are checked; writes all four forward and backward vectors.
void DeriveAll(const MotionVector* colocated, MotionVector* forward, MotionVector* backward,
               const uint8_t* flags, int32_t trb, int32_t trd, MotionVector delta) {
  uint32_t word = 0;
  std::memcpy(&word, flags, sizeof word);
  if (word == 0) {
    for (int k = 0; k < 4; ++k) forward[k] = backward[k] = delta;
    return;
  }
  MotionVector mv[4];
  std::memcpy(mv, colocated, sizeof mv);  // the outputs may share its storage
  if (vectors::FourAreOne(mv)) {
    // A co-located macroblock with one vector: the divisions once.
    MotionVector f, b;
    vectors::DirectPair(mv[0], delta, trb, trd, f, b);
    for (int k = 0; k < 4; ++k) {
      forward[k] = f;
      backward[k] = b;
    }
    return;
  }
  for (int k = 0; k < 4; ++k) {
    vectors::DirectComponent(mv[k].x, delta.x, trb, trd, &forward[k].x, &backward[k].x);
    vectors::DirectComponent(mv[k].y, delta.y, trb, trd, &forward[k].y, &backward[k].y);
  }
}

PrimitiveStatus CheckDirectArguments(const MotionVector* colocated, const MotionVector* forward,
                                     const MotionVector* backward, const uint8_t* flags,
                                     int32_t trb, int32_t trd) {
  if (colocated == nullptr || forward == nullptr || backward == nullptr || flags == nullptr) {
    return NullPointer;
  }
  if (!IsWordAligned(flags)) return AlignmentError;
  if (trb <= 0 || trd <= 0) return TimeDistanceError;
  return Ok;
}

}  // namespace

PrimitiveStatus DecodeDirectVectors(BytePointer* bytePos, int32_t* bitPos,
                                    const MotionVector* colocated, MotionVector* forward,
                                    MotionVector* backward, const uint8_t* flags, int32_t trb,
                                    int32_t trd) {
  if (const PrimitiveStatus s = vectors::CheckBitPosition(bytePos, bitPos); s != Ok) return s;
  if (const PrimitiveStatus s = CheckDirectArguments(colocated, forward, backward, flags, trb, trd);
      s != Ok) {
    return s;
  }
  // The delta is read as with fcode 1 (no residual bits) and is not wrapped.
  vectors::BitCursor cursor{*bytePos, *bitPos};
  int32_t dx = 0;
  int32_t dy = 0;
  if (!vectors::ReadVectorDifference(cursor, 0, &dx, &dy)) return VectorCodeError;
  *bytePos = cursor.byte;
  *bitPos = cursor.bit;
  DeriveAll(colocated, forward, backward, flags, trb, trd,
            MotionVector{static_cast<int16_t>(dx), static_cast<int16_t>(dy)});
  return Ok;
}

PrimitiveStatus DeriveDirectVectors(const MotionVector* colocated, MotionVector* forward,
                                    MotionVector* backward, const uint8_t* flags, int32_t trb,
                                    int32_t trd) {
  if (const PrimitiveStatus s = CheckDirectArguments(colocated, forward, backward, flags, trb, trd);
      s != Ok) {
    return s;
  }
  DeriveAll(colocated, forward, backward, flags, trb, trd, MotionVector{0, 0});
  return Ok;
}

}  // namespace tavrin::reference
