// Quarter-sample luma prediction of 8x8 and 16x16 blocks, plain or averaged
// into the destination.
//
// A block is predicted from the reference in two passes, each on 8-bit
// samples.  The horizontal pass forms, for every row the vertical pass
// needs, the samples at the vector's horizontal fraction: the full samples
// (fraction 0), the half samples of the eight-tap filter
// (-1, 3, -6, 20, 20, -6, 3, -1) / 32 (fraction 2), or the average of a
// half sample and the full sample nearest to it (fractions 1 and 3).  The
// vertical pass does the same down the columns of what the first pass
// formed.  The filter taps that fall outside the block's reference area (the
// block and one more column or row) take the samples mirrored at its edge:
// the row a b c ... p q of a 16-wide block reads as c b a a b c ... p q q p o.
// So a prediction reads no sample outside the size x size block at the
// vector's full-sample position and the column right of it and the row below
// it.  Filter results are rounded ((sum + 16 - rounding) >> 5) and clamped to
// 0..255, averages rounded as (a + b + 1 - rounding) >> 1, with `rounding`
// taken as 0 or 1 (any nonzero value is 1).
//
// The averaging forms put the prediction onto what the destination holds:
// destination = (destination + prediction + 1) >> 1, the second anchor of a
// bidirectional block.
#pragma once

#include "platform/avx2_forms.h"
#include "primitives/primitive_types.h"

namespace tavrin {

// `reference` addresses the reference sample at the block's own position;
// the vector, in quarter samples, moves it.  NullPointer (and nothing
// written) when a pointer is missing.
using PredictQuarterSampleFn = PrimitiveStatus (*)(const uint8_t* reference,
                                                   int32_t referenceStride, uint8_t* destination,
                                                   int32_t destinationStride,
                                                   const MotionVector* vector, int32_t rounding);

}  // namespace tavrin

namespace tavrin::reference {
PrimitiveStatus PredictQuarterSample8x8(const uint8_t* reference, int32_t referenceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSample16x16(const uint8_t* reference, int32_t referenceStride,
                                          uint8_t* destination, int32_t destinationStride,
                                          const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSampleAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                               uint8_t* destination, int32_t destinationStride,
                                               const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSampleAverage16x16(const uint8_t* reference,
                                                 int32_t referenceStride, uint8_t* destination,
                                                 int32_t destinationStride,
                                                 const MotionVector* vector, int32_t rounding);
}  // namespace tavrin::reference

#if defined(__SSE2__)
// The same with SSE2; their loads stay inside the area described above.
namespace tavrin::sse2 {
PrimitiveStatus PredictQuarterSample8x8(const uint8_t* reference, int32_t referenceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSample16x16(const uint8_t* reference, int32_t referenceStride,
                                          uint8_t* destination, int32_t destinationStride,
                                          const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSampleAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                               uint8_t* destination, int32_t destinationStride,
                                               const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSampleAverage16x16(const uint8_t* reference,
                                                 int32_t referenceStride, uint8_t* destination,
                                                 int32_t destinationStride,
                                                 const MotionVector* vector, int32_t rounding);
}  // namespace tavrin::sse2
#endif

#if defined(TAVRIN_AVX2_FORMS)
// The same with AVX2, installed in place of the SSE2 forms when the
// processor reports AVX2; their loads stay inside the same area.
namespace tavrin::avx2 {
PrimitiveStatus PredictQuarterSample8x8(const uint8_t* reference, int32_t referenceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSampleAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                               uint8_t* destination, int32_t destinationStride,
                                               const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSample16x16(const uint8_t* reference, int32_t referenceStride,
                                          uint8_t* destination, int32_t destinationStride,
                                          const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictQuarterSampleAverage16x16(const uint8_t* reference,
                                                 int32_t referenceStride, uint8_t* destination,
                                                 int32_t destinationStride,
                                                 const MotionVector* vector, int32_t rounding);
}  // namespace tavrin::avx2
#endif
