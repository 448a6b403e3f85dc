// Reading motion vector differences from the compressed bytes, shared by the
// vector-decoding primitives: the motion_code lookup, sign and residual
// bits, and the wrap of the resulting vector into range.  Inline, as they
// run several times per macroblock.
#pragma once

#include <cstdint>

#include "primitives/primitive_types.h"
#include "primitives/vectors/motion_code_table.h"

namespace tavrin::vectors {

// A working copy of a BitPosition.  Decoders advance the copy and write it
// back only when everything they read was valid, so a failure leaves the
// caller's position untouched.
struct BitCursor {
  BytePointer byte;
  int32_t bit;  // 0..7

  // The next 32 - bit (at least 25) bits, most significant first, in the top
  // of the word.  Loads four bytes from the current one; the decoder keeps
  // spare zero bytes after the data, so that stays inside the buffer.
  uint32_t Peek32() const {
    const uint32_t word = (static_cast<uint32_t>(byte[0]) << 24) |
                          (static_cast<uint32_t>(byte[1]) << 16) |
                          (static_cast<uint32_t>(byte[2]) << 8) | static_cast<uint32_t>(byte[3]);
    return word << bit;
  }

  void Skip(int32_t bits) {
    bit += bits;
    byte += bit >> 3;
    bit &= 7;
  }
};

// The BitPosition checks every reading primitive starts with: NullPointer
// for a missing pointer (either argument or the byte pointer itself), then
// BitOffsetError for an offset outside 0..7.
inline PrimitiveStatus CheckBitPosition(BytePointer* bytePos, const int32_t* bitPos) {
  if (bytePos == nullptr || bitPos == nullptr || *bytePos == nullptr) return NullPointer;
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  return Ok;
}

namespace detail {

// One component.  At most 12 + 1 + 6 = 19 bits, all within one peek.
inline bool ReadComponent(BitCursor& cursor, int32_t rSize, int32_t* difference) {
  const uint32_t bits = cursor.Peek32();
  const uint32_t peek = bits >> (32 - kMotionCodePeekBits);
  if (peek < 2) return false;
  const MotionCodeEntry entry = LookUpMotionCode(peek);
  int32_t used = entry.length;
  int32_t value = 0;
  if (entry.magnitude != 0) {
    const bool negative = ((bits << used) >> 31) != 0;
    used += 1;
    int32_t residual = 0;
    if (rSize > 0) {
      residual = static_cast<int32_t>((bits << used) >> (32 - rSize));
      used += rSize;
    }
    value = ((static_cast<int32_t>(entry.magnitude) - 1) << rSize) + residual + 1;
    if (negative) value = -value;
  }
  cursor.Skip(used);
  *difference = value;
  return true;
}

}  // namespace detail

// One vector difference, x then y: each component a motion_code, then for a
// nonzero magnitude its sign bit and rSize residual bits.  Returns false on a
// code that matches no word; the cursor is then unchanged.
inline bool ReadVectorDifference(BitCursor& cursor, int32_t rSize, int32_t* dx, int32_t* dy) {
  BitCursor work = cursor;
  int32_t x = 0;
  int32_t y = 0;
  if (!detail::ReadComponent(work, rSize, &x) || !detail::ReadComponent(work, rSize, &y)) {
    return false;
  }
  cursor = work;
  *dx = x;
  *dy = y;
  return true;
}

// Adds a decoded difference to one predictor component and brings the sum
// back into -R .. R-1 (R = 16 << fcode) with at most one correction.
inline int16_t AddWrapped(int16_t predictor, int32_t difference, int32_t fcode) {
  const int32_t range = 16 << fcode;
  int32_t v = predictor + difference;
  if (v < -range) {
    v += 2 * range;
  } else if (v >= range) {
    v -= 2 * range;
  }
  return static_cast<int16_t>(v);
}

// Reads one difference at the caller's position and adds it to *vector with
// wrapping.  VectorCodeError leaves the position and the vector unchanged.
// The arguments must already be checked.
inline PrimitiveStatus DecodeMotionDifference(BytePointer* bytePos, int32_t* bitPos,
                                              MotionVector* vector, int32_t fcode) {
  BitCursor cursor{*bytePos, *bitPos};
  int32_t dx = 0;
  int32_t dy = 0;
  if (!ReadVectorDifference(cursor, fcode - 1, &dx, &dy)) return VectorCodeError;
  vector->x = AddWrapped(vector->x, dx, fcode);
  vector->y = AddWrapped(vector->y, dy, fcode);
  *bytePos = cursor.byte;
  *bitPos = cursor.bit;
  return Ok;
}

inline bool IsValidFcode(int32_t fcode) { return fcode >= 1 && fcode <= 7; }

}  // namespace tavrin::vectors
