#include "primitives/blockcopy/motion_routines.h"

#include "primitives/blockcopy/blockcopy.h"

namespace tavrin {

#if defined(__SSE2__)
MotionRoutineSet motionRoutines{AtomicSlot<PredictHalfSampleFn>{sse2::PredictAverage8x8},
                                AtomicSlot<PredictHalfSampleFn>{sse2::PredictAverage16x16},
                                AtomicSlot<PredictChromaFn>{sse2::PredictChroma},
                                AtomicSlot<PredictChromaFn>{sse2::PredictAverageChroma}};
#else
MotionRoutineSet motionRoutines{AtomicSlot<PredictHalfSampleFn>{reference::PredictAverage8x8},
                                AtomicSlot<PredictHalfSampleFn>{reference::PredictAverage16x16},
                                AtomicSlot<PredictChromaFn>{reference::PredictChroma},
                                AtomicSlot<PredictChromaFn>{reference::PredictAverageChroma}};
#endif

}  // namespace tavrin
