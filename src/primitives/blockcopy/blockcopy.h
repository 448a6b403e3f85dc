// Block copy, average and half-sample prediction primitives (table slots 7
// to 9 and 11 to 16): the pixel side of motion compensation.
#pragma once

#include "platform/avx2_forms.h"
#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus Copy16x16(const uint8_t* source, uint8_t* destination, int32_t stride);
PrimitiveStatus Copy8x8(const uint8_t* source, uint8_t* destination, int32_t stride);
PrimitiveStatus AddResidual8x8(uint8_t* picture, const int16_t* residual, int32_t stride);
PrimitiveStatus Average8x8(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                           int32_t destinationStride);
PrimitiveStatus Average16x16(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride);
PrimitiveStatus PredictHalfSample8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictAddResidual8x8(const uint8_t* reference, int32_t referenceStride,
                                      const int16_t* residual, uint8_t* destination,
                                      int32_t destinationStride, const MotionVector* vector,
                                      int32_t rounding);
PrimitiveStatus PredictOverlapped8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* current, const MotionVector* left,
                                     const MotionVector* right, const MotionVector* above,
                                     const MotionVector* below, int32_t rounding);
// The half-sample prediction averaged into the destination, rounding up:
// destination = (destination + prediction + 1) >> 1.  The same result as
// predicting into a scratch block and averaging it in, in one pass.
PrimitiveStatus PredictAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                  uint8_t* destination, int32_t destinationStride,
                                  const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictAverage16x16(const uint8_t* reference, int32_t referenceStride,
                                    uint8_t* destination, int32_t destinationStride,
                                    const MotionVector* vector, int32_t rounding);
// Both chroma blocks of a macroblock predicted with one vector (the two
// planes share their stride), plain or averaged into the destinations: the
// results of PredictHalfSample8x8 and PredictAverage8x8 on each plane.
PrimitiveStatus PredictChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                              uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                              const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictAverageChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                                     uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                                     const MotionVector* vector, int32_t rounding);
// A macroblock predicted from two anchors: the first prediction, then the
// second averaged into it (PredictHalfSample16x16 then PredictAverage16x16;
// PredictChroma then PredictAverageChroma), with their statuses.  The fast
// forms average in registers and write the destination once.
PrimitiveStatus PredictBidirectional16x16(const uint8_t* first, const uint8_t* second,
                                          int32_t referenceStride, uint8_t* destination,
                                          int32_t destinationStride,
                                          const MotionVector* firstVector,
                                          const MotionVector* secondVector, int32_t rounding);
PrimitiveStatus PredictBidirectionalChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                           const uint8_t* secondCb, const uint8_t* secondCr,
                                           int32_t referenceStride, uint8_t* cbOut,
                                           uint8_t* crOut, int32_t outStride,
                                           const MotionVector* firstVector,
                                           const MotionVector* secondVector, int32_t rounding);
}  // namespace tavrin::reference

#if defined(__SSE2__)
// The same primitives with SSE2 (every x86-64 processor has it): variants 1
// to 3 of their rows on x86.  PredictOverlapped8x8 keeps the portable code.
namespace tavrin::sse2 {
PrimitiveStatus Copy16x16(const uint8_t* source, uint8_t* destination, int32_t stride);
PrimitiveStatus Copy8x8(const uint8_t* source, uint8_t* destination, int32_t stride);
PrimitiveStatus AddResidual8x8(uint8_t* picture, const int16_t* residual, int32_t stride);
PrimitiveStatus Average8x8(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                           int32_t destinationStride);
PrimitiveStatus Average16x16(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride);
PrimitiveStatus PredictHalfSample8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictAddResidual8x8(const uint8_t* reference, int32_t referenceStride,
                                      const int16_t* residual, uint8_t* destination,
                                      int32_t destinationStride, const MotionVector* vector,
                                      int32_t rounding);
PrimitiveStatus PredictAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                  uint8_t* destination, int32_t destinationStride,
                                  const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                              uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                              const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictBidirectional16x16(const uint8_t* first, const uint8_t* second,
                                          int32_t referenceStride, uint8_t* destination,
                                          int32_t destinationStride,
                                          const MotionVector* firstVector,
                                          const MotionVector* secondVector, int32_t rounding);
PrimitiveStatus PredictBidirectionalChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                           const uint8_t* secondCb, const uint8_t* secondCr,
                                           int32_t referenceStride, uint8_t* cbOut,
                                           uint8_t* crOut, int32_t outStride,
                                           const MotionVector* firstVector,
                                           const MotionVector* secondVector, int32_t rounding);
}  // namespace tavrin::sse2
#endif

#if defined(TAVRIN_AVX2_FORMS)
// The 16x16 luma predictions with AVX2, installed in place of the
// SSE2 ones when the processor reports AVX2 (SelectAvx2Forms).
namespace tavrin::avx2 {
PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding);
PrimitiveStatus PredictBidirectional16x16(const uint8_t* first, const uint8_t* second,
                                          int32_t referenceStride, uint8_t* destination,
                                          int32_t destinationStride,
                                          const MotionVector* firstVector,
                                          const MotionVector* secondVector, int32_t rounding);
}  // namespace tavrin::avx2
#endif
