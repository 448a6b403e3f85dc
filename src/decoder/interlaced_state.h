// What interlaced streams keep beyond the progressive records: for every
// macroblock of the most recent P picture, whether it was predicted field
// by field, from which reference field each of its fields came, and its two
// field vectors.  The direct macroblocks of the B pictures that follow read
// them.  Allocated for interlaced layers only.
#pragma once

#include <cstdint>

#include "primitives/primitive_types.h"

namespace tavrin {

// Bits of a macroblock's field mode.
enum FieldModeBits : uint8_t {
  kFieldPredicted = 1,     // two field vectors, one per field
  kTopFromBottom = 2,      // the top field predicted from the reference's bottom field
  kBottomFromBottom = 4,   // the bottom field predicted from the reference's bottom field
};

struct InterlacedState {
  uint8_t* fieldModes;          // mbWidth * mbHeight; 0 for frame prediction (or none)
  MotionVector* fieldVectors;   // 2 per macroblock: top field, bottom field (field units)
  // Clock ticks per frame, for the field distances of direct macroblocks;
  // 0 until the first B picture sets it.
  int64_t framePeriod;
};

// The field mode of a macroblock from its field_prediction and reference
// field bits.
inline uint8_t FieldMode(int32_t topSelect, int32_t bottomSelect) {
  return static_cast<uint8_t>(kFieldPredicted | (topSelect != 0 ? kTopFromBottom : 0) |
                              (bottomSelect != 0 ? kBottomFromBottom : 0));
}

// Allocates (cleared) for `macroblocks` macroblocks: false when memory could
// not be had.
bool AllocateInterlacedState(InterlacedState& state, int32_t macroblocks);
void ReleaseInterlacedState(InterlacedState& state);
// Every macroblock frame predicted with no vectors (after an intra picture).
void ClearInterlacedState(InterlacedState& state, int32_t macroblocks);

}  // namespace tavrin
