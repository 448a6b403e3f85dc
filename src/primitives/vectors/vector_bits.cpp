// Reading motion vector differences: the motion_code lookup, sign and
// residual bits, and the wrap of the resulting vector into range.
#include "primitives/vectors/vector_bits.h"

#include "primitives/vectors/motion_code_table.h"

namespace tavrin::vectors {

PrimitiveStatus CheckBitPosition(BytePointer* bytePos, const int32_t* bitPos) {
  if (bytePos == nullptr || bitPos == nullptr || *bytePos == nullptr) return NullPointer;
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  return Ok;
}

namespace {

// One component.  At most 12 + 1 + 6 = 19 bits, all within one peek.
bool ReadComponent(BitCursor& cursor, int32_t rSize, int32_t* difference) {
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

}  // namespace

bool ReadVectorDifference(BitCursor& cursor, int32_t rSize, int32_t* dx, int32_t* dy) {
  BitCursor work = cursor;
  int32_t x = 0;
  int32_t y = 0;
  if (!ReadComponent(work, rSize, &x) || !ReadComponent(work, rSize, &y)) return false;
  cursor = work;
  *dx = x;
  *dy = y;
  return true;
}

int16_t AddWrapped(int16_t predictor, int32_t difference, int32_t fcode) {
  const int32_t range = 16 << fcode;
  int32_t v = predictor + difference;
  if (v < -range) {
    v += 2 * range;
  } else if (v >= range) {
    v -= 2 * range;
  }
  return static_cast<int16_t>(v);
}

PrimitiveStatus DecodeMotionDifference(BytePointer* bytePos, int32_t* bitPos,
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

}  // namespace tavrin::vectors
