// Half-sample prediction of 8x8 and 16x16 blocks with SSE2, and prediction
// with a residual added.  Each output row is formed in one register of
// bytes: two-sample averages are the rounding-up byte average, less the odd
// bit when rounding control is 1; four-sample averages combine the
// two-sample averages of a row and of the row below (sse2_rows.h), reusing
// each row's pair for the row above it.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>

#include "primitives/blockcopy/blockcopy.h"
#include "primitives/blockcopy/sse2_rows.h"

namespace tavrin::sse2 {
namespace {

using namespace blockcopy_sse2;

template <int kWidth>
__m128i LoadRow(const uint8_t* p) {
  if constexpr (kWidth == 16) {
    return Load16(p);
  } else {
    return Load8(p);
  }
}

// The four-sample averages, rounding control as a template argument.
template <int kWidth, int kRc, typename Emit>
void PredictDiagonal(const uint8_t* p, ptrdiff_t rs, Emit& emit) {
  const __m128i ones = _mm_set1_epi8(1);
  HalfPair above = PairOf<kRc>(LoadRow<kWidth>(p), LoadRow<kWidth>(p + 1), ones);
  for (int y = 0; y < kWidth; ++y) {
    p += rs;
    const HalfPair below = PairOf<kRc>(LoadRow<kWidth>(p), LoadRow<kWidth>(p + 1), ones);
    emit(y, AverageFour<kRc>(above, below, ones));
    above = below;
  }
}

// Predicts a kWidth x kWidth block from the reference origin p at the given
// interpolation mode and hands each row's bytes to emit(row, bytes).
template <int kWidth, typename Emit>
void PredictRows(const uint8_t* p, ptrdiff_t rs, int mode, int rc, Emit&& emit) {
  const __m128i rcOnes = _mm_set1_epi8(static_cast<char>(rc));
  switch (mode) {
    case 0:
      for (int y = 0; y < kWidth; ++y, p += rs) emit(y, LoadRow<kWidth>(p));
      break;
    case 1:
      for (int y = 0; y < kWidth; ++y, p += rs) {
        emit(y, AverageTwo(LoadRow<kWidth>(p), LoadRow<kWidth>(p + 1), rcOnes));
      }
      break;
    case 2: {
      __m128i above = LoadRow<kWidth>(p);
      for (int y = 0; y < kWidth; ++y) {
        p += rs;
        const __m128i below = LoadRow<kWidth>(p);
        emit(y, AverageTwo(above, below, rcOnes));
        above = below;
      }
      break;
    }
    default:
      if (rc != 0) {
        PredictDiagonal<kWidth, 1>(p, rs, emit);
      } else {
        PredictDiagonal<kWidth, 0>(p, rs, emit);
      }
      break;
  }
}

// The reference origin moved by the vector's integer part (arithmetic
// halving), and the interpolation mode from its low bits.
const uint8_t* Origin(const uint8_t* reference, ptrdiff_t rs, MotionVector v) {
  return reference + (v.x >> 1) + rs * (v.y >> 1);
}
int ModeOf(MotionVector v) { return ((v.y & 1) << 1) | (v.x & 1); }

}  // namespace

PrimitiveStatus PredictHalfSample8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const ptrdiff_t ds = destinationStride;
  PredictRows<8>(Origin(reference, rs, *vector), rs, ModeOf(*vector), rounding != 0 ? 1 : 0,
                 [&](int y, __m128i row) { Store8(destination + ds * y, row); });
  return Ok;
}

PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const ptrdiff_t ds = destinationStride;
  PredictRows<16>(Origin(reference, rs, *vector), rs, ModeOf(*vector), rounding != 0 ? 1 : 0,
                  [&](int y, __m128i row) { Store16(destination + ds * y, row); });
  return Ok;
}

PrimitiveStatus PredictAddResidual8x8(const uint8_t* reference, int32_t referenceStride,
                                      const int16_t* residual, uint8_t* destination,
                                      int32_t destinationStride, const MotionVector* vector,
                                      int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (residual == nullptr || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const ptrdiff_t ds = destinationStride;
  PredictRows<8>(Origin(reference, rs, *vector), rs, ModeOf(*vector), rounding != 0 ? 1 : 0,
                 [&](int y, __m128i row) {
                   Store8(destination + ds * y, AddResidualRow(Widen8(row), residual + 8 * y));
                 });
  return Ok;
}

PrimitiveStatus PredictAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                  uint8_t* destination, int32_t destinationStride,
                                  const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const ptrdiff_t ds = destinationStride;
  PredictRows<8>(Origin(reference, rs, *vector), rs, ModeOf(*vector), rounding != 0 ? 1 : 0,
                 [&](int y, __m128i row) {
                   uint8_t* to = destination + ds * y;
                   Store8(to, _mm_avg_epu8(row, Load8(to)));
                 });
  return Ok;
}

PrimitiveStatus PredictAverage16x16(const uint8_t* reference, int32_t referenceStride,
                                    uint8_t* destination, int32_t destinationStride,
                                    const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const ptrdiff_t ds = destinationStride;
  PredictRows<16>(Origin(reference, rs, *vector), rs, ModeOf(*vector), rounding != 0 ? 1 : 0,
                  [&](int y, __m128i row) {
                    uint8_t* to = destination + ds * y;
                    Store16(to, _mm_avg_epu8(row, Load16(to)));
                  });
  return Ok;
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
