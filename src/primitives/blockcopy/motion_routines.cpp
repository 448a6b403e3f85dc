#include "primitives/blockcopy/motion_routines.h"

#include "primitives/blockcopy/blockcopy.h"

namespace tavrin {

#if defined(__SSE2__)
MotionRoutineSet motionRoutines{AtomicSlot<PredictHalfSampleFn>{sse2::PredictAverage8x8},
                                AtomicSlot<PredictChromaFn>{sse2::PredictChroma},
                                AtomicSlot<PredictBidirectionalFn>{sse2::PredictBidirectional16x16},
                                AtomicSlot<PredictBidirectionalChromaFn>{
                                    sse2::PredictBidirectionalChroma}};
#else
MotionRoutineSet motionRoutines{AtomicSlot<PredictHalfSampleFn>{reference::PredictAverage8x8},
                                AtomicSlot<PredictChromaFn>{reference::PredictChroma},
                                AtomicSlot<PredictBidirectionalFn>{
                                    reference::PredictBidirectional16x16},
                                AtomicSlot<PredictBidirectionalChromaFn>{
                                    reference::PredictBidirectionalChroma}};
#endif

}  // namespace tavrin
