// Reading motion vector differences from the compressed bytes, shared by the
// vector-decoding primitives.
#pragma once

#include <cstdint>

#include "primitives/primitive_types.h"

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
PrimitiveStatus CheckBitPosition(BytePointer* bytePos, const int32_t* bitPos);

// One vector difference, x then y: each component a motion_code, then for a
// nonzero magnitude its sign bit and rSize residual bits.  Returns false on a
// code that matches no word; the cursor is then unchanged.
bool ReadVectorDifference(BitCursor& cursor, int32_t rSize, int32_t* dx, int32_t* dy);

// Adds a decoded difference to one predictor component and brings the sum
// back into -R .. R-1 (R = 16 << fcode) with at most one correction.
int16_t AddWrapped(int16_t predictor, int32_t difference, int32_t fcode);

// Reads one difference at the caller's position and adds it to *vector with
// wrapping.  VectorCodeError leaves the position and the vector unchanged.
// The arguments must already be checked.
PrimitiveStatus DecodeMotionDifference(BytePointer* bytePos, int32_t* bitPos,
                                       MotionVector* vector, int32_t fcode);

inline bool IsValidFcode(int32_t fcode) { return fcode >= 1 && fcode <= 7; }

}  // namespace tavrin::vectors
