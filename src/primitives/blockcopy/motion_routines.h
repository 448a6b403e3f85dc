// Motion-compensation routines the decode loop uses beside the primitive
// table: prediction averaged straight into the destination, which
// bidirectional macroblocks use for their second anchor instead of
// predicting into a scratch block and averaging it in, and both chroma
// blocks of a macroblock predicted in one pass.  Each slot holds the
// fastest form this build has; the portable forms are the reference the
// equivalence checks compare with.
#pragma once

#include "primitives/dispatch/atomic_slot.h"
#include "primitives/primitive_types.h"

namespace tavrin {

// Both chroma blocks of a macroblock with one vector (blockcopy.h).
using PredictChromaFn = PrimitiveStatus (*)(const uint8_t* cb, const uint8_t* cr,
                                            int32_t referenceStride, uint8_t* cbOut,
                                            uint8_t* crOut, int32_t outStride,
                                            const MotionVector* vector, int32_t rounding);

struct MotionRoutineSet {
  AtomicSlot<PredictHalfSampleFn> predictAverage8x8;
  AtomicSlot<PredictHalfSampleFn> predictAverage16x16;
  AtomicSlot<PredictChromaFn> predictChroma;
  AtomicSlot<PredictChromaFn> predictAverageChroma;
};

extern MotionRoutineSet motionRoutines;

}  // namespace tavrin
