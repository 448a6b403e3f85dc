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
#include "primitives/blockcopy/field_prediction.h"
#include "primitives/blockcopy/sse2_rows.h"

namespace tavrin::sse2 {
namespace {

using namespace blockcopy_sse2;

// Row sources: the bytes of one prediction row at an offset from the block
// origin, in one register.  A chroma pair puts the Cb row in the low half
// and the Cr row in the high half, so that both blocks are predicted with
// the arithmetic of one.
struct Rows16 {
  const uint8_t* p;
  __m128i operator()(ptrdiff_t offset) const { return Load16(p + offset); }
};
struct Rows8 {
  const uint8_t* p;
  __m128i operator()(ptrdiff_t offset) const { return Load8(p + offset); }
};
struct ChromaRows {
  const uint8_t* cb;
  const uint8_t* cr;
  __m128i operator()(ptrdiff_t offset) const {
    return _mm_unpacklo_epi64(Load8(cb + offset), Load8(cr + offset));
  }
};

// The four-sample averages, rounding control as a template argument.
template <int kRows, int kRc, typename Source, typename Emit>
[[gnu::always_inline]] inline void PredictDiagonal(const Source& row, ptrdiff_t rs, Emit& emit) {
  const __m128i ones = _mm_set1_epi8(1);
  HalfPair above = PairOf<kRc>(row(0), row(1), ones);
  for (int y = 0; y < kRows; ++y) {
    const ptrdiff_t o = rs * (y + 1);
    const HalfPair below = PairOf<kRc>(row(o), row(o + 1), ones);
    emit(y, AverageFour<kRc>(above, below, ones));
    above = below;
  }
}

// Predicts kRows rows from the source at the given interpolation mode and
// hands each row's bytes to emit(row, bytes).  These bodies are always
// inlined: each primitive is one of them with its own emit, and a shared
// out-of-line copy would cost a call and the emit's indirection per block.
template <int kRows, typename Source, typename Emit>
[[gnu::always_inline]] inline void PredictRows(const Source& row, ptrdiff_t rs, int mode, int rc, Emit&& emit) {
  const __m128i rcOnes = _mm_set1_epi8(static_cast<char>(rc));
  switch (mode) {
    case 0:
      for (int y = 0; y < kRows; ++y) emit(y, row(rs * y));
      break;
    case 1:
      for (int y = 0; y < kRows; ++y) emit(y, AverageTwo(row(rs * y), row(rs * y + 1), rcOnes));
      break;
    case 2: {
      __m128i above = row(0);
      for (int y = 0; y < kRows; ++y) {
        const __m128i below = row(rs * (y + 1));
        emit(y, AverageTwo(above, below, rcOnes));
        above = below;
      }
      break;
    }
    default:
      if (rc != 0) {
        PredictDiagonal<kRows, 1>(row, rs, emit);
      } else {
        PredictDiagonal<kRows, 0>(row, rs, emit);
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

// A kSize x kSize block predicted from the reference at the vector, each
// row handed to emit; NullPointer when a pointer is missing (present tells
// whether the destinations are there).
template <int kSize, typename Emit>
[[gnu::always_inline]] inline PrimitiveStatus PredictSquare(const uint8_t* reference, int32_t referenceStride, bool present,
                              const MotionVector* vector, int32_t rounding, Emit&& emit) {
  if (reference == nullptr || !present || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const uint8_t* origin = Origin(reference, rs, *vector);
  const int rc = rounding != 0 ? 1 : 0;
  if constexpr (kSize == 16) {
    PredictRows<16>(Rows16{origin}, rs, ModeOf(*vector), rc, emit);
  } else {
    PredictRows<8>(Rows8{origin}, rs, ModeOf(*vector), rc, emit);
  }
  return Ok;
}

// Both chroma blocks, each row pair (Cb low, Cr high) handed to emit.
template <typename Emit>
[[gnu::always_inline]] inline PrimitiveStatus PredictPair(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                            bool present, const MotionVector* vector, int32_t rounding,
                            Emit&& emit) {
  if (cb == nullptr || cr == nullptr || !present || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  PredictRows<8>(ChromaRows{Origin(cb, rs, *vector), Origin(cr, rs, *vector)}, rs,
                 ModeOf(*vector), rounding != 0 ? 1 : 0, emit);
  return Ok;
}

}  // namespace

PrimitiveStatus PredictHalfSample8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* vector, int32_t rounding) {
  const ptrdiff_t ds = destinationStride;
  return PredictSquare<8>(reference, referenceStride, destination != nullptr, vector, rounding,
                          [&](int y, __m128i row) { Store8(destination + ds * y, row); });
}

PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding) {
  const ptrdiff_t ds = destinationStride;
  return PredictSquare<16>(reference, referenceStride, destination != nullptr, vector, rounding,
                           [&](int y, __m128i row) { Store16(destination + ds * y, row); });
}

PrimitiveStatus PredictAddResidual8x8(const uint8_t* reference, int32_t referenceStride,
                                      const int16_t* residual, uint8_t* destination,
                                      int32_t destinationStride, const MotionVector* vector,
                                      int32_t rounding) {
  const ptrdiff_t ds = destinationStride;
  return PredictSquare<8>(reference, referenceStride, destination != nullptr && residual != nullptr,
                          vector, rounding, [&](int y, __m128i row) {
                            Store8(destination + ds * y,
                                   AddResidualRow(Widen8(row), residual + 8 * y));
                          });
}

PrimitiveStatus PredictAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                  uint8_t* destination, int32_t destinationStride,
                                  const MotionVector* vector, int32_t rounding) {
  const ptrdiff_t ds = destinationStride;
  return PredictSquare<8>(reference, referenceStride, destination != nullptr, vector, rounding,
                          [&](int y, __m128i row) {
                            uint8_t* to = destination + ds * y;
                            Store8(to, _mm_avg_epu8(row, Load8(to)));
                          });
}

PrimitiveStatus PredictChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                              uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                              const MotionVector* vector, int32_t rounding) {
  const ptrdiff_t ds = outStride;
  return PredictPair(cb, cr, referenceStride, cbOut != nullptr && crOut != nullptr, vector,
                     rounding, [&](int y, __m128i row) {
                       Store8(cbOut + ds * y, row);
                       Store8(crOut + ds * y, _mm_unpackhi_epi64(row, row));
                     });
}

// Both anchors' predictions of a row meet in registers and the average is
// written once.  A missing second anchor or vector leaves the first
// prediction in the destination, as predicting and then failing to
// average would.
PrimitiveStatus PredictBidirectional16x16(const uint8_t* first, const uint8_t* second,
                                          int32_t referenceStride, uint8_t* destination,
                                          int32_t destinationStride,
                                          const MotionVector* firstVector,
                                          const MotionVector* secondVector, int32_t rounding) {
  if (second == nullptr || secondVector == nullptr) {
    const PrimitiveStatus s = PredictHalfSample16x16(first, referenceStride, destination,
                                                     destinationStride, firstVector, rounding);
    return s != Ok ? s : NullPointer;
  }
  const ptrdiff_t ds = destinationStride;
  __m128i rows[16];
  const PrimitiveStatus s =
      PredictSquare<16>(first, referenceStride, destination != nullptr, firstVector, rounding,
                        [&](int y, __m128i row) { rows[y] = row; });
  if (s != Ok) return s;
  return PredictSquare<16>(second, referenceStride, true, secondVector, rounding,
                           [&](int y, __m128i row) {
                             Store16(destination + ds * y, _mm_avg_epu8(rows[y], row));
                           });
}

PrimitiveStatus PredictBidirectionalChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                           const uint8_t* secondCb, const uint8_t* secondCr,
                                           int32_t referenceStride, uint8_t* cbOut,
                                           uint8_t* crOut, int32_t outStride,
                                           const MotionVector* firstVector,
                                           const MotionVector* secondVector, int32_t rounding) {
  if (secondCb == nullptr || secondCr == nullptr || secondVector == nullptr) {
    const PrimitiveStatus s = PredictChroma(firstCb, firstCr, referenceStride, cbOut, crOut,
                                            outStride, firstVector, rounding);
    return s != Ok ? s : NullPointer;
  }
  const ptrdiff_t ds = outStride;
  __m128i rows[8];
  const PrimitiveStatus s =
      PredictPair(firstCb, firstCr, referenceStride, cbOut != nullptr && crOut != nullptr,
                  firstVector, rounding, [&](int y, __m128i row) { rows[y] = row; });
  if (s != Ok) return s;
  return PredictPair(secondCb, secondCr, referenceStride, true, secondVector, rounding,
                     [&](int y, __m128i row) {
                       const __m128i both = _mm_avg_epu8(rows[y], row);
                       Store8(cbOut + ds * y, both);
                       Store8(crOut + ds * y, _mm_unpackhi_epi64(both, both));
                     });
}

// Field blocks (field_prediction.h): the bodies above over the 8 rows of a
// luma field block or the 4 rows of a chroma one.
namespace {

template <int kRows, typename Emit>
[[gnu::always_inline]] inline PrimitiveStatus PredictLumaRows(const uint8_t* reference,
                                                              int32_t referenceStride, bool present,
                                                              const MotionVector* vector,
                                                              int32_t rounding, Emit&& emit) {
  if (reference == nullptr || !present || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  PredictRows<kRows>(Rows16{Origin(reference, rs, *vector)}, rs, ModeOf(*vector),
                     rounding != 0 ? 1 : 0, emit);
  return Ok;
}

template <int kRows, typename Emit>
[[gnu::always_inline]] inline PrimitiveStatus PredictPairRows(const uint8_t* cb, const uint8_t* cr,
                                                              int32_t referenceStride, bool present,
                                                              const MotionVector* vector,
                                                              int32_t rounding, Emit&& emit) {
  if (cb == nullptr || cr == nullptr || !present || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  PredictRows<kRows>(ChromaRows{Origin(cb, rs, *vector), Origin(cr, rs, *vector)}, rs,
                     ModeOf(*vector), rounding != 0 ? 1 : 0, emit);
  return Ok;
}

}  // namespace

PrimitiveStatus PredictField16x8(const uint8_t* reference, int32_t referenceStride,
                                 uint8_t* destination, int32_t destinationStride,
                                 const MotionVector* vector, int32_t rounding) {
  const ptrdiff_t ds = destinationStride;
  return PredictLumaRows<8>(reference, referenceStride, destination != nullptr, vector, rounding,
                            [&](int y, __m128i row) { Store16(destination + ds * y, row); });
}

PrimitiveStatus PredictFieldChroma(const uint8_t* cb, const uint8_t* cr, int32_t referenceStride,
                                   uint8_t* cbOut, uint8_t* crOut, int32_t outStride,
                                   const MotionVector* vector, int32_t rounding) {
  const ptrdiff_t ds = outStride;
  return PredictPairRows<4>(cb, cr, referenceStride, cbOut != nullptr && crOut != nullptr, vector,
                            rounding, [&](int y, __m128i row) {
                              Store8(cbOut + ds * y, row);
                              Store8(crOut + ds * y, _mm_unpackhi_epi64(row, row));
                            });
}

PrimitiveStatus PredictBidirectionalField16x8(const uint8_t* first, const uint8_t* second,
                                              int32_t referenceStride, uint8_t* destination,
                                              int32_t destinationStride,
                                              const MotionVector* firstVector,
                                              const MotionVector* secondVector, int32_t rounding) {
  if (second == nullptr || secondVector == nullptr) {
    const PrimitiveStatus s = PredictField16x8(first, referenceStride, destination,
                                               destinationStride, firstVector, rounding);
    return s != Ok ? s : NullPointer;
  }
  const ptrdiff_t ds = destinationStride;
  __m128i rows[8];
  const PrimitiveStatus s =
      PredictLumaRows<8>(first, referenceStride, destination != nullptr, firstVector, rounding,
                         [&](int y, __m128i row) { rows[y] = row; });
  if (s != Ok) return s;
  return PredictLumaRows<8>(second, referenceStride, true, secondVector, rounding,
                            [&](int y, __m128i row) {
                              Store16(destination + ds * y, _mm_avg_epu8(rows[y], row));
                            });
}

PrimitiveStatus PredictBidirectionalFieldChroma(const uint8_t* firstCb, const uint8_t* firstCr,
                                                const uint8_t* secondCb, const uint8_t* secondCr,
                                                int32_t referenceStride, uint8_t* cbOut,
                                                uint8_t* crOut, int32_t outStride,
                                                const MotionVector* firstVector,
                                                const MotionVector* secondVector,
                                                int32_t rounding) {
  if (secondCb == nullptr || secondCr == nullptr || secondVector == nullptr) {
    const PrimitiveStatus s = PredictFieldChroma(firstCb, firstCr, referenceStride, cbOut, crOut,
                                                 outStride, firstVector, rounding);
    return s != Ok ? s : NullPointer;
  }
  const ptrdiff_t ds = outStride;
  __m128i rows[4];
  const PrimitiveStatus s =
      PredictPairRows<4>(firstCb, firstCr, referenceStride, cbOut != nullptr && crOut != nullptr,
                         firstVector, rounding, [&](int y, __m128i row) { rows[y] = row; });
  if (s != Ok) return s;
  return PredictPairRows<4>(secondCb, secondCr, referenceStride, true, secondVector, rounding,
                            [&](int y, __m128i row) {
                              const __m128i both = _mm_avg_epu8(rows[y], row);
                              Store8(cbOut + ds * y, both);
                              Store8(crOut + ds * y, _mm_unpackhi_epi64(both, both));
                            });
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
