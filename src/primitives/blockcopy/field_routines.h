// The field prediction routines (field_prediction.h) the interlaced picture
// decoders call: a luma field block, both chroma field blocks, and each
// from two references averaged.  Each slot holds the fastest form this
// build has; the portable forms are the reference the equivalence checks
// compare with.
#pragma once

#include "primitives/blockcopy/motion_routines.h"
#include "primitives/dispatch/atomic_slot.h"
#include "primitives/primitive_types.h"

namespace tavrin {

struct FieldRoutineSet {
  AtomicSlot<PredictHalfSampleFn> predictLuma16x8;
  AtomicSlot<PredictChromaFn> predictChroma8x4;
  AtomicSlot<PredictBidirectionalFn> predictBidirectionalLuma16x8;
  AtomicSlot<PredictBidirectionalChromaFn> predictBidirectionalChroma8x4;
};

extern FieldRoutineSet fieldRoutines;

}  // namespace tavrin
