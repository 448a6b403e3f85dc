// Half-sample prediction of field blocks: the lines of one field of a
// macroblock predicted from the lines of one field of a reference.  A field
// is every other line of a picture, so these are the frame predictions with
// fewer rows: callers pass the reference and destination at the field's
// first line and twice the picture's stride, and the vector's vertical
// component counts field lines.  The luma block is 16 samples wide and 8
// field lines high, each chroma block 8 wide and 4 high.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus PredictField16x8(const uint8_t* reference, int32_t referenceStride,
                                 uint8_t* destination, int32_t destinationStride,
                                 const MotionVector* vector, int32_t rounding);
// Both chroma field blocks (Cb and Cr share their strides) with one vector.
PrimitiveStatus PredictFieldChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                                   uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                                   const MotionVector* vector, int32_t rounding);
// From two references and averaged, rounding up: the first prediction, then
// the second averaged into it, with their statuses (as the frame forms in
// blockcopy.h).
PrimitiveStatus PredictBidirectionalField16x8(const uint8_t* first, const uint8_t* second,
                                              int32_t referenceStride, uint8_t* destination,
                                              int32_t destinationStride,
                                              const MotionVector* firstVector,
                                              const MotionVector* secondVector, int32_t rounding);
PrimitiveStatus PredictBidirectionalFieldChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                                const uint8_t* secondCb, const uint8_t* secondCr,
                                                int32_t referenceStride, uint8_t* cbOut,
                                                uint8_t* crOut, int32_t outStride,
                                                const MotionVector* firstVector,
                                                const MotionVector* secondVector,
                                                int32_t rounding);
}  // namespace tavrin::reference

#if defined(__SSE2__)
namespace tavrin::sse2 {
PrimitiveStatus PredictField16x8(const uint8_t* reference, int32_t referenceStride,
                                 uint8_t* destination, int32_t destinationStride,
                                 const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictFieldChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                                   uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                                   const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictBidirectionalField16x8(const uint8_t* first, const uint8_t* second,
                                              int32_t referenceStride, uint8_t* destination,
                                              int32_t destinationStride,
                                              const MotionVector* firstVector,
                                              const MotionVector* secondVector, int32_t rounding);
PrimitiveStatus PredictBidirectionalFieldChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                                const uint8_t* secondCb, const uint8_t* secondCr,
                                                int32_t referenceStride, uint8_t* cbOut,
                                                uint8_t* crOut, int32_t outStride,
                                                const MotionVector* firstVector,
                                                const MotionVector* secondVector,
                                                int32_t rounding);
}  // namespace tavrin::sse2
#endif
