// Direct-mode vectors of B pictures: the co-located P-picture vectors scaled
// by the temporal distances, plus a decoded (or zero) delta.
#include <cstdint>
#include <cstring>

#include "primitives/vectors/vector_bits.h"
#include "primitives/vectors/vectors.h"

namespace tavrin::reference {

namespace {

bool IsWordAligned(const uint8_t* p) { return (reinterpret_cast<uintptr_t>(p) & 3u) == 0; }

// 32-bit two's-complement arithmetic: the products and sums wrap rather than
// overflow, whatever the temporal distances.
int32_t Mul32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t Add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t Sub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// One component: forward and backward from the co-located component mv and
// the delta component mvd.  trd is positive, so the divisions are defined.
void DeriveComponent(int32_t mv, int32_t mvd, int32_t trb, int32_t trd, int16_t* forward,
                     int16_t* backward) {
  const int32_t f = Add32(mvd, Mul32(trb, mv) / trd);
  const int32_t b = mvd == 0 ? Mul32(trb - trd, mv) / trd : Sub32(f, mv);
  *forward = static_cast<int16_t>(f);
  *backward = static_cast<int16_t>(b);
}

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
  uint32_t words[4];
  std::memcpy(words, mv, sizeof words);
  if (words[1] == words[0] && words[2] == words[0] && words[3] == words[0]) {
    // A co-located macroblock standing still (the common case in a still
    // scene): both scaled vectors are zero, so forward is the delta, and so
    // is backward (zero when the delta is, forward minus zero otherwise).
    if (words[0] == 0) {
      for (int k = 0; k < 4; ++k) forward[k] = backward[k] = delta;
      return;
    }
    // A co-located macroblock with one vector: the divisions once.
    MotionVector f, b;
    DeriveComponent(mv[0].x, delta.x, trb, trd, &f.x, &b.x);
    DeriveComponent(mv[0].y, delta.y, trb, trd, &f.y, &b.y);
    for (int k = 0; k < 4; ++k) {
      forward[k] = f;
      backward[k] = b;
    }
    return;
  }
  for (int k = 0; k < 4; ++k) {
    DeriveComponent(mv[k].x, delta.x, trb, trd, &forward[k].x, &backward[k].x);
    DeriveComponent(mv[k].y, delta.y, trb, trd, &forward[k].y, &backward[k].y);
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
