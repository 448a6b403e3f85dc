// Placeholder bodies until this family is built: every primitive refuses
// its input.  Nothing here decodes.
#include "primitives/blockcopy/blockcopy.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace tavrin::reference {
PrimitiveStatus Copy16x16(const uint8_t* source, uint8_t* destination, int32_t stride) { return TypeError; }

PrimitiveStatus Copy8x8(const uint8_t* source, uint8_t* destination, int32_t stride) { return TypeError; }

PrimitiveStatus AddResidual8x8(uint8_t* picture, const int16_t* residual, int32_t stride) { return TypeError; }

PrimitiveStatus Average8x8(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                           int32_t destinationStride) { return TypeError; }

PrimitiveStatus Average16x16(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride) { return TypeError; }

PrimitiveStatus PredictHalfSample8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* vector, int32_t rounding) { return TypeError; }

PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding) { return TypeError; }

PrimitiveStatus PredictAddResidual8x8(const uint8_t* reference, int32_t referenceStride,
                                      const int16_t* residual, uint8_t* destination,
                                      int32_t destinationStride, const MotionVector* vector,
                                      int32_t rounding) { return TypeError; }

PrimitiveStatus PredictOverlapped8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* current, const MotionVector* left,
                                     const MotionVector* right, const MotionVector* above,
                                     const MotionVector* below, int32_t rounding) { return TypeError; }

}  // namespace tavrin::reference
