// Motion-compensation routines the decode loop uses beside the primitive
// table: prediction averaged straight into the destination, which
// bidirectional macroblocks use for their second anchor instead of
// predicting into a scratch block and averaging it in.  Each slot holds the
// fastest form this build has; the portable forms are the reference the
// equivalence checks compare with.
#pragma once

#include "primitives/dispatch/atomic_slot.h"
#include "primitives/primitive_types.h"

namespace tavrin {

struct MotionRoutineSet {
  AtomicSlot<PredictHalfSampleFn> predictAverage8x8;
  AtomicSlot<PredictHalfSampleFn> predictAverage16x16;
};

extern MotionRoutineSet motionRoutines;

}  // namespace tavrin
