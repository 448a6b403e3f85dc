// Half-sample prediction of 8x8 and 16x16 blocks, and prediction with a
// residual added.
#include "primitives/blockcopy/half_sample.h"

#include <algorithm>
#include <cstring>

#include "primitives/blockcopy/blockcopy.h"

namespace tavrin::blockcopy_internal {
namespace {

// One row at a time into a local line, then stored: the line cannot alias
// the reference, which lets the compiler keep a whole row in vector
// registers.  Width and interpolation mode are template arguments for the
// same reason.
template <int kWidth, int kMode>
void PredictRows(const uint8_t* p, ptrdiff_t rs, int rc, int height, uint8_t* out,
                 ptrdiff_t outStride) {
  uint8_t line[kWidth];
  for (int y = 0; y < height; ++y, p += rs, out += outStride) {
    // The row below is formed only by the modes that read it.
    const uint8_t* below = kMode >= 2 ? p + rs : p;
    for (int x = 0; x < kWidth; ++x) {
      if constexpr (kMode == 0) {
        line[x] = p[x];
      } else if constexpr (kMode == 1) {
        line[x] = static_cast<uint8_t>((p[x] + p[x + 1] + 1 - rc) >> 1);
      } else if constexpr (kMode == 2) {
        line[x] = static_cast<uint8_t>((p[x] + below[x] + 1 - rc) >> 1);
      } else {
        line[x] = static_cast<uint8_t>((p[x] + p[x + 1] + below[x] + below[x + 1] + 2 - rc) >> 2);
      }
    }
    std::memcpy(out, line, kWidth);
  }
}

template <int kWidth>
void PredictRowsOfWidth(const uint8_t* p, ptrdiff_t rs, int mode, int rc, int height, uint8_t* out,
                        ptrdiff_t outStride) {
  switch (mode) {
    case 0:
      PredictRows<kWidth, 0>(p, rs, rc, height, out, outStride);
      break;
    case 1:
      PredictRows<kWidth, 1>(p, rs, rc, height, out, outStride);
      break;
    case 2:
      PredictRows<kWidth, 2>(p, rs, rc, height, out, outStride);
      break;
    default:
      PredictRows<kWidth, 3>(p, rs, rc, height, out, outStride);
      break;
  }
}

}  // namespace

void PredictHalfSampleBlock(const uint8_t* reference, ptrdiff_t referenceStride,
                            MotionVector vector, int32_t rounding, int width, int height,
                            uint8_t* out, ptrdiff_t outStride) {
  const int rc = rounding != 0 ? 1 : 0;
  const int vx = vector.x;
  const int vy = vector.y;
  const ptrdiff_t rs = referenceStride;
  const uint8_t* origin = reference + (vx >> 1) + rs * (vy >> 1);
  const int mode = ((vy & 1) << 1) | (vx & 1);
  switch (width) {
    case 16:
      PredictRowsOfWidth<16>(origin, rs, mode, rc, height, out, outStride);
      break;
    case 8:
      PredictRowsOfWidth<8>(origin, rs, mode, rc, height, out, outStride);
      break;
    default:
      PredictRowsOfWidth<4>(origin, rs, mode, rc, height, out, outStride);
      break;
  }
}

}  // namespace tavrin::blockcopy_internal

namespace tavrin::reference {

using blockcopy_internal::PredictHalfSampleBlock;

// The vector is required too: a missing one is refused like a missing block
// rather than read through.
PrimitiveStatus PredictHalfSample8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  PredictHalfSampleBlock(reference, referenceStride, *vector, rounding, 8, 8, destination,
                         destinationStride);
  return Ok;
}

PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  PredictHalfSampleBlock(reference, referenceStride, *vector, rounding, 16, 16, destination,
                         destinationStride);
  return Ok;
}

// The residual and the vector are required as well (see above).
PrimitiveStatus PredictAddResidual8x8(const uint8_t* reference, int32_t referenceStride,
                                      const int16_t* residual, uint8_t* destination,
                                      int32_t destinationStride, const MotionVector* vector,
                                      int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (residual == nullptr || vector == nullptr) return NullPointer;
  uint8_t prediction[64];
  PredictHalfSampleBlock(reference, referenceStride, *vector, rounding, 8, 8, prediction, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      destination[x] =
          static_cast<uint8_t>(std::clamp(prediction[8 * y + x] + residual[8 * y + x], 0, 255));
    }
    destination += destinationStride;
  }
  return Ok;
}

}  // namespace tavrin::reference

namespace tavrin::reference {

namespace {
template <int kSize>
PrimitiveStatus PredictAverage(const uint8_t* reference, int32_t referenceStride,
                               uint8_t* destination, int32_t destinationStride,
                               const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  uint8_t prediction[kSize * kSize];
  PredictHalfSampleBlock(reference, referenceStride, *vector, rounding, kSize, kSize, prediction,
                         kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      destination[x] = static_cast<uint8_t>((prediction[kSize * y + x] + destination[x] + 1) >> 1);
    }
    destination += destinationStride;
  }
  return Ok;
}
}  // namespace

PrimitiveStatus PredictAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                  uint8_t* destination, int32_t destinationStride,
                                  const MotionVector* vector, int32_t rounding) {
  return PredictAverage<8>(reference, referenceStride, destination, destinationStride, vector,
                           rounding);
}

PrimitiveStatus PredictAverage16x16(const uint8_t* reference, int32_t referenceStride,
                                    uint8_t* destination, int32_t destinationStride,
                                    const MotionVector* vector, int32_t rounding) {
  return PredictAverage<16>(reference, referenceStride, destination, destinationStride, vector,
                            rounding);
}

namespace {

// Both chroma planes through one per-plane routine.
using PlaneRoutine = PrimitiveStatus (*)(const uint8_t*, int32_t, uint8_t*, int32_t,
                                         const MotionVector*, int32_t);
PrimitiveStatus BothPlanes(PlaneRoutine plane, const uint8_t* cb, const uint8_t* cr,
                           int32_t referenceStride, uint8_t* cbOut, uint8_t* crOut,
                           int32_t outStride, const MotionVector* vector, int32_t rounding) {
  if (cb == nullptr || cr == nullptr || cbOut == nullptr || crOut == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  plane(cb, referenceStride, cbOut, outStride, vector, rounding);
  return plane(cr, referenceStride, crOut, outStride, vector, rounding);
}

}  // namespace

PrimitiveStatus PredictChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                              uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                              const MotionVector* vector, int32_t rounding) {
  return BothPlanes(PredictHalfSample8x8, cb, cr, referenceStride, cbOut, crOut, outStride, vector,
                    rounding);
}

PrimitiveStatus PredictAverageChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                                     uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                                     const MotionVector* vector, int32_t rounding) {
  return BothPlanes(PredictAverage8x8, cb, cr, referenceStride, cbOut, crOut, outStride, vector,
                    rounding);
}

PrimitiveStatus PredictBidirectional16x16(const uint8_t* first, const uint8_t* second,
                                          int32_t referenceStride, uint8_t* destination,
                                          int32_t destinationStride,
                                          const MotionVector* firstVector,
                                          const MotionVector* secondVector, int32_t rounding) {
  const PrimitiveStatus s = PredictHalfSample16x16(first, referenceStride, destination,
                                                   destinationStride, firstVector, rounding);
  if (s != Ok) return s;
  return PredictAverage16x16(second, referenceStride, destination, destinationStride,
                             secondVector, rounding);
}

PrimitiveStatus PredictBidirectionalChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                           const uint8_t* secondCb, const uint8_t* secondCr,
                                           int32_t referenceStride, uint8_t* cbOut,
                                           uint8_t* crOut, int32_t outStride,
                                           const MotionVector* firstVector,
                                           const MotionVector* secondVector, int32_t rounding) {
  const PrimitiveStatus s = PredictChroma(firstCb, firstCr, referenceStride, cbOut, crOut,
                                          outStride, firstVector, rounding);
  if (s != Ok) return s;
  return PredictAverageChroma(secondCb, secondCr, referenceStride, cbOut, crOut, outStride,
                              secondVector, rounding);
}

}  // namespace tavrin::reference
