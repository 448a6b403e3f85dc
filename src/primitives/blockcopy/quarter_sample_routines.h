// The quarter-sample prediction routines the decode loop calls (beside the
// primitive table, like the motion routines): a luma block at its position
// in the reference, moved by a vector in quarter samples, predicted with a
// rounding control, into the destination or averaged into it
// (quarter_sample.h).  Each slot holds the fastest form this build has
// (SSE2 on x86); the portable forms are the reference the equivalence
// checks compare with.
#pragma once

#include "primitives/blockcopy/quarter_sample.h"
#include "primitives/dispatch/atomic_slot.h"

namespace tavrin {

struct QuarterSampleRoutineSet {
  AtomicSlot<PredictQuarterSampleFn> predict8x8;
  AtomicSlot<PredictQuarterSampleFn> predict16x16;
  AtomicSlot<PredictQuarterSampleFn> predictAverage8x8;
  AtomicSlot<PredictQuarterSampleFn> predictAverage16x16;
};

extern QuarterSampleRoutineSet quarterSampleRoutines;

}  // namespace tavrin
