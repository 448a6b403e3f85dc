#include "primitives/blockcopy/field_routines.h"

#include "primitives/blockcopy/field_prediction.h"

namespace tavrin {

#if defined(__SSE2__)
FieldRoutineSet fieldRoutines{
    AtomicSlot<PredictHalfSampleFn>{sse2::PredictField16x8},
    AtomicSlot<PredictChromaFn>{sse2::PredictFieldChroma},
    AtomicSlot<PredictBidirectionalFn>{sse2::PredictBidirectionalField16x8},
    AtomicSlot<PredictBidirectionalChromaFn>{sse2::PredictBidirectionalFieldChroma}};
#else
FieldRoutineSet fieldRoutines{
    AtomicSlot<PredictHalfSampleFn>{reference::PredictField16x8},
    AtomicSlot<PredictChromaFn>{reference::PredictFieldChroma},
    AtomicSlot<PredictBidirectionalFn>{reference::PredictBidirectionalField16x8},
    AtomicSlot<PredictBidirectionalChromaFn>{reference::PredictBidirectionalFieldChroma}};
#endif

}  // namespace tavrin
