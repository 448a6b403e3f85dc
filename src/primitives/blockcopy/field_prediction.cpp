// Field blocks with the portable half-sample interpolation: the frame
// interpolation (half_sample.h) over fewer rows.
#include "primitives/blockcopy/field_prediction.h"

#include "primitives/blockcopy/half_sample.h"

namespace tavrin::reference {
namespace {

using blockcopy_internal::PredictHalfSampleBlock;

// A width x rows block predicted, or averaged into the destination
// (rounding up), as the frame forms do.
template <int kWidth, int kRows>
PrimitiveStatus Predict(const uint8_t* reference, int32_t referenceStride, uint8_t* destination,
                        int32_t destinationStride, const MotionVector* vector, int32_t rounding,
                        bool average) {
  if (reference == nullptr || destination == nullptr || vector == nullptr) return NullPointer;
  if (!average) {
    PredictHalfSampleBlock(reference, referenceStride, *vector, rounding, kWidth, kRows,
                           destination, destinationStride);
    return Ok;
  }
  uint8_t prediction[kWidth * kRows];
  PredictHalfSampleBlock(reference, referenceStride, *vector, rounding, kWidth, kRows, prediction,
                         kWidth);
  for (int y = 0; y < kRows; ++y, destination += destinationStride) {
    for (int x = 0; x < kWidth; ++x) {
      destination[x] = static_cast<uint8_t>((prediction[kWidth * y + x] + destination[x] + 1) >> 1);
    }
  }
  return Ok;
}

PrimitiveStatus Chroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                       uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                       const MotionVector* vector, int32_t rounding, bool average) {
  if (cb == nullptr || cr == nullptr || cbOut == nullptr || crOut == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  Predict<8, 4>(cb, referenceStride, cbOut, outStride, vector, rounding, average);
  return Predict<8, 4>(cr, referenceStride, crOut, outStride, vector, rounding, average);
}

}  // namespace

PrimitiveStatus PredictField16x8(const uint8_t* reference, int32_t referenceStride,
                                 uint8_t* destination, int32_t destinationStride,
                                 const MotionVector* vector, int32_t rounding) {
  return Predict<16, 8>(reference, referenceStride, destination, destinationStride, vector,
                        rounding, false);
}

PrimitiveStatus PredictFieldChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                                   uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                                   const MotionVector* vector, int32_t rounding) {
  return Chroma(cb, cr, referenceStride, cbOut, crOut, outStride, vector, rounding, false);
}

PrimitiveStatus PredictBidirectionalField16x8(const uint8_t* first, const uint8_t* second,
                                              int32_t referenceStride, uint8_t* destination,
                                              int32_t destinationStride,
                                              const MotionVector* firstVector,
                                              const MotionVector* secondVector, int32_t rounding) {
  const PrimitiveStatus s = Predict<16, 8>(first, referenceStride, destination, destinationStride,
                                           firstVector, rounding, false);
  if (s != Ok) return s;
  return Predict<16, 8>(second, referenceStride, destination, destinationStride, secondVector,
                        rounding, true);
}

PrimitiveStatus PredictBidirectionalFieldChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                                const uint8_t* secondCb, const uint8_t* secondCr,
                                                int32_t referenceStride, uint8_t* cbOut,
                                                uint8_t* crOut, int32_t outStride,
                                                const MotionVector* firstVector,
                                                const MotionVector* secondVector,
                                                int32_t rounding) {
  const PrimitiveStatus s = Chroma(firstCb, firstCr, referenceStride, cbOut, crOut, outStride,
                                   firstVector, rounding, false);
  if (s != Ok) return s;
  return Chroma(secondCb, secondCr, referenceStride, cbOut, crOut, outStride, secondVector,
                rounding, true);
}

}  // namespace tavrin::reference
