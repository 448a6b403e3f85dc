// The position checks of the vector-reading primitives (the readers
// themselves are inline in vector_bits.h).
#include "primitives/vectors/vector_bits.h"

namespace tavrin::vectors {

PrimitiveStatus CheckBitPosition(BytePointer* bytePos, const int32_t* bitPos) {
  if (bytePos == nullptr || bitPos == nullptr || *bytePos == nullptr) return NullPointer;
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  return Ok;
}

}  // namespace tavrin::vectors
