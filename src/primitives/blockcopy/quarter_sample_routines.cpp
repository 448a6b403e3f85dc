#include "primitives/blockcopy/quarter_sample_routines.h"

namespace tavrin {

#if defined(__SSE2__)
namespace fastest = sse2;
#else
namespace fastest = reference;
#endif

QuarterSampleRoutineSet quarterSampleRoutines{
    AtomicSlot<PredictQuarterSampleFn>{fastest::PredictQuarterSample8x8},
    AtomicSlot<PredictQuarterSampleFn>{fastest::PredictQuarterSample16x16},
    AtomicSlot<PredictQuarterSampleFn>{fastest::PredictQuarterSampleAverage8x8},
    AtomicSlot<PredictQuarterSampleFn>{fastest::PredictQuarterSampleAverage16x16}};

}  // namespace tavrin
