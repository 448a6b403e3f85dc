// Half-sample prediction of 16x16 luma blocks, plain and from two anchors,
// with AVX2, giving exactly the outputs of the portable code (and of the SSE2
// forms, whose byte arithmetic this follows; sse2_rows.h gives the
// identities of the two- and four-sample averages).
//
// A 256-bit register holds two output rows half a block apart, rows y and
// y + 8.  The row below of each half is then again such a register, one row
// down, so the interpolations run half as many steps as the SSE2 forms with
// no lane crossing.  (The chroma pairs keep their SSE2 forms: with rows of
// eight samples, gathering four rows into a register costs what the
// arithmetic saves.)
#include "platform/avx2_forms.h"

#if defined(TAVRIN_AVX2_FORMS)

#if !defined(__AVX2__)
#error "the *_avx2.cpp files are compiled with the AVX2 instruction set"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "primitives/blockcopy/blockcopy.h"

namespace tavrin::avx2 {
namespace {

inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store16(uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
inline __m256i Join(__m128i low, __m128i high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}
inline __m128i Low(__m256i v) { return _mm256_castsi256_si128(v); }
inline __m128i High(__m256i v) { return _mm256_extracti128_si256(v, 1); }

// (a + b + 1 - rc) >> 1 per byte, rcOnes every byte rc.
inline __m256i AverageTwo(__m256i a, __m256i b, __m256i rcOnes) {
  const __m256i odd = _mm256_and_si256(_mm256_xor_si256(a, b), rcOnes);
  return _mm256_sub_epi8(_mm256_avg_epu8(a, b), odd);
}

// The two-sample average of a row pair and its odd bits, for the
// four-sample average (sse2_rows.h).
struct HalfPair {
  __m256i average;
  __m256i odd;
};

template <int kRc>
inline HalfPair PairOf(__m256i a, __m256i b, __m256i ones) {
  const __m256i odd = _mm256_xor_si256(a, b);
  __m256i average = _mm256_avg_epu8(a, b);
  if constexpr (kRc != 0) average = _mm256_sub_epi8(average, _mm256_and_si256(odd, ones));
  return {average, odd};
}

template <int kRc>
inline __m256i AverageFour(HalfPair above, HalfPair below, __m256i ones) {
  const __m256i eitherOdd = _mm256_or_si256(above.odd, below.odd);
  const __m256i differ = _mm256_xor_si256(above.average, below.average);
  const __m256i fix = kRc != 0 ? _mm256_andnot_si256(eitherOdd, differ)
                               : _mm256_and_si256(eitherOdd, differ);
  return _mm256_sub_epi8(_mm256_avg_epu8(above.average, below.average),
                         _mm256_and_si256(fix, ones));
}

// The bytes of two prediction rows, `half` bytes apart in the reference,
// at an offset from the block origin.
struct Rows16 {
  const uint8_t* p;
  ptrdiff_t half;
  __m256i operator()(ptrdiff_t offset) const {
    return Join(Load16(p + offset), Load16(p + offset + half));
  }
};
template <int kSteps, int kRc, typename Source, typename Emit>
[[gnu::always_inline]] inline void PredictDiagonal(const Source& row, ptrdiff_t rs, Emit& emit) {
  const __m256i ones = _mm256_set1_epi8(1);
  HalfPair above = PairOf<kRc>(row(0), row(1), ones);
  for (int y = 0; y < kSteps; ++y) {
    const ptrdiff_t o = rs * (y + 1);
    const HalfPair below = PairOf<kRc>(row(o), row(o + 1), ones);
    emit(y, AverageFour<kRc>(above, below, ones));
    above = below;
  }
}

// Predicts 2 kSteps rows, the pairs (y, y + kSteps) for y below kSteps, at
// the interpolation mode, handing each pair to emit(y, bytes).
template <int kSteps, typename Source, typename Emit>
[[gnu::always_inline]] inline void PredictRows(const Source& row, ptrdiff_t rs, int mode, int rc,
                                               Emit&& emit) {
  const __m256i rcOnes = _mm256_set1_epi8(static_cast<char>(rc));
  switch (mode) {
    case 0:
      for (int y = 0; y < kSteps; ++y) emit(y, row(rs * y));
      break;
    case 1:
      for (int y = 0; y < kSteps; ++y) emit(y, AverageTwo(row(rs * y), row(rs * y + 1), rcOnes));
      break;
    case 2: {
      __m256i above = row(0);
      for (int y = 0; y < kSteps; ++y) {
        const __m256i below = row(rs * (y + 1));
        emit(y, AverageTwo(above, below, rcOnes));
        above = below;
      }
      break;
    }
    default:
      if (rc != 0) {
        PredictDiagonal<kSteps, 1>(row, rs, emit);
      } else {
        PredictDiagonal<kSteps, 0>(row, rs, emit);
      }
      break;
  }
}

const uint8_t* Origin(const uint8_t* reference, ptrdiff_t rs, MotionVector v) {
  return reference + (v.x >> 1) + rs * (v.y >> 1);
}
int ModeOf(MotionVector v) { return ((v.y & 1) << 1) | (v.x & 1); }

// A 16x16 block, its row pairs (y, y + 8) handed to emit.
template <typename Emit>
[[gnu::always_inline]] inline PrimitiveStatus PredictLuma(const uint8_t* reference,
                                                          int32_t referenceStride, bool present,
                                                          const MotionVector* vector,
                                                          int32_t rounding, Emit&& emit) {
  if (reference == nullptr || !present || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  PredictRows<8>(Rows16{Origin(reference, rs, *vector), rs * 8}, rs, ModeOf(*vector),
                 rounding != 0 ? 1 : 0, emit);
  return Ok;
}

}  // namespace

namespace {

// The interpolating modes, apart from the copy so that the copy runs
// without this body's frame.
[[gnu::noinline]] PrimitiveStatus Interpolate16x16(const uint8_t* reference,
                                                   int32_t referenceStride, uint8_t* destination,
                                                   int32_t destinationStride,
                                                   const MotionVector* vector, int32_t rounding) {
  const ptrdiff_t ds = destinationStride;
  return PredictLuma(reference, referenceStride, destination != nullptr, vector, rounding,
                     [&](int y, __m256i rows) {
                       Store16(destination + ds * y, Low(rows));
                       Store16(destination + ds * (y + 8), High(rows));
                     });
}

}  // namespace

PrimitiveStatus PredictHalfSample16x16(const uint8_t* reference, int32_t referenceStride,
                                       uint8_t* destination, int32_t destinationStride,
                                       const MotionVector* vector, int32_t rounding) {
  if (reference != nullptr && destination != nullptr && vector != nullptr && ModeOf(*vector) == 0) {
    // A whole-sample vector: a copy, a row at a time.
    const ptrdiff_t rs = referenceStride;
    const ptrdiff_t ds = destinationStride;
    const uint8_t* from = Origin(reference, rs, *vector);
    for (int y = 0; y < 16; ++y) Store16(destination + ds * y, Load16(from + rs * y));
    return Ok;
  }
  return Interpolate16x16(reference, referenceStride, destination, destinationStride, vector,
                          rounding);
}

// Both anchors' predictions meet in registers and the average is written
// once; a missing second anchor or vector leaves the first prediction in
// the destination, as in the other forms.
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
  __m256i rows[8];
  const PrimitiveStatus s =
      PredictLuma(first, referenceStride, destination != nullptr, firstVector, rounding,
                  [&](int y, __m256i pair) { rows[y] = pair; });
  if (s != Ok) return s;
  return PredictLuma(second, referenceStride, true, secondVector, rounding,
                     [&](int y, __m256i pair) {
                       const __m256i both = _mm256_avg_epu8(rows[y], pair);
                       Store16(destination + ds * y, Low(both));
                       Store16(destination + ds * (y + 8), High(both));
                     });
}

}  // namespace tavrin::avx2

#endif  // TAVRIN_AVX2_FORMS
