// Motion-compensation routines the decode loop uses beside the primitive
// table: an 8x8 prediction averaged straight into the destination (the
// second anchor of a bidirectional block with its own vector), both chroma
// blocks of a macroblock predicted in one pass, and a macroblock's luma or
// chroma predicted from both anchors and averaged in one pass.  Each slot holds the
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

// A macroblock's luma, or both its chroma blocks, predicted from two
// anchors and averaged (blockcopy.h).
using PredictBidirectionalFn = PrimitiveStatus (*)(const uint8_t* first, const uint8_t* second,
                                                   int32_t referenceStride, uint8_t* destination,
                                                   int32_t destinationStride,
                                                   const MotionVector* firstVector,
                                                   const MotionVector* secondVector,
                                                   int32_t rounding);
using PredictBidirectionalChromaFn = PrimitiveStatus (*)(
    const uint8_t* firstCb, const uint8_t* firstCr, const uint8_t* secondCb,
    const uint8_t* secondCr, int32_t referenceStride, uint8_t* cbOut, uint8_t* crOut,
    int32_t outStride, const MotionVector* firstVector, const MotionVector* secondVector,
    int32_t rounding);

struct MotionRoutineSet {
  AtomicSlot<PredictHalfSampleFn> predictAverage8x8;
  AtomicSlot<PredictChromaFn> predictChroma;
  AtomicSlot<PredictBidirectionalFn> predictBidirectional16x16;
  AtomicSlot<PredictBidirectionalChromaFn> predictBidirectionalChroma;
};

extern MotionRoutineSet motionRoutines;

}  // namespace tavrin
