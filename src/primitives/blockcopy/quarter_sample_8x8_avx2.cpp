// Quarter-sample prediction of 8x8 blocks with AVX2, giving exactly the
// outputs of the portable code, with the arithmetic of the 16x16 form
// (quarter_sample_avx2.cpp, quarter_sample_avx2_rows.h).
//
// A register of sixteen lanes holds two rows of eight: in the horizontal
// pass the lines y and y + 4 (their windows one shuffle of the two lines'
// loads each, the indices per half); in the vertical pass the rows whose
// outputs are y and y + 4, so that the tap rows of both halves are again
// such pairs.  No load reaches past the block's reference area.
#include "platform/avx2_forms.h"

#if defined(TAVRIN_AVX2_FORMS)

#if !defined(__AVX2__)
#error "the *_avx2.cpp files are compiled with the AVX2 instruction set"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "primitives/blockcopy/quarter_sample.h"
#include "primitives/blockcopy/quarter_sample_avx2_rows.h"

namespace tavrin::avx2 {
namespace {

inline __m128i Load8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline __m128i Load8Pair(const uint8_t* low, const uint8_t* high) {
  return _mm_unpacklo_epi64(Load8(low), Load8(high));
}
// Stores the low eight bytes at low and the high eight at high.
inline void Store8Pair(uint8_t* low, uint8_t* high, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(low), v);
  std::memcpy(high, reinterpret_cast<const char*>(&v) + 8, 8);
}

// The tap windows of a line of 9 samples, per half: samples 1..3 back
// from the bytes at the line's start, 2..4 on from the bytes one on
// (sample 8 + j read as sample 9 - j).
constexpr int8_t kBack1Of8[16] = {0, 0, 1, 2, 3, 4, 5, 6, 8, 8, 9, 10, 11, 12, 13, 14};
constexpr int8_t kBack2Of8[16] = {1, 0, 0, 1, 2, 3, 4, 5, 9, 8, 8, 9, 10, 11, 12, 13};
constexpr int8_t kBack3Of8[16] = {2, 1, 0, 0, 1, 2, 3, 4, 10, 9, 8, 8, 9, 10, 11, 12};
constexpr int8_t kAhead2Of8[16] = {1, 2, 3, 4, 5, 6, 7, 7, 9, 10, 11, 12, 13, 14, 15, 15};
constexpr int8_t kAhead3Of8[16] = {2, 3, 4, 5, 6, 7, 7, 6, 10, 11, 12, 13, 14, 15, 15, 14};
constexpr int8_t kAhead4Of8[16] = {3, 4, 5, 6, 7, 7, 6, 5, 11, 12, 13, 14, 15, 15, 14, 13};

// The half samples of the lines from a and from b (9 samples each), a's
// in the low eight bytes; full0 and full1 get the bytes from a, b and from
// a + 1, b + 1.
[[gnu::always_inline]] inline __m128i HalfLinePair(const uint8_t* a, const uint8_t* b,
                                                   const Constants& k, __m128i& full0,
                                                   __m128i& full1) {
  full0 = Load8Pair(a, b);
  full1 = Load8Pair(a + 1, b + 1);
  const __m256i p0 = _mm256_add_epi16(Widen(full0), Widen(full1));
  const __m256i p1 = _mm256_add_epi16(Window(full0, kBack1Of8), Window(full1, kAhead2Of8));
  const __m256i p2 = _mm256_add_epi16(Window(full0, kBack2Of8), Window(full1, kAhead3Of8));
  const __m256i p3 = _mm256_add_epi16(Window(full0, kBack3Of8), Window(full1, kAhead4Of8));
  return Narrow(Filter(p0, p1, p2, p3, k));
}

// The horizontal pass at fraction kFx over 8 rows from p (and a ninth,
// row 8, with kNinth), each pair of rows (y, y + 4) handed to
// emit(y, bytes), row 8 as emit(8, bytes) with its bytes in the low half.
template <int kFx, bool kNinth, typename Emit>
[[gnu::always_inline]] inline void HorizontalPairs(const uint8_t* p, ptrdiff_t rs,
                                                   const Constants& k, Emit&& emit) {
  auto pair = [&](const uint8_t* a, const uint8_t* b) {
    if constexpr (kFx == 0) {
      return Load8Pair(a, b);
    } else {
      __m128i full0, full1;
      const __m128i half = HalfLinePair(a, b, k, full0, full1);
      if constexpr (kFx == 2) {
        return half;
      } else {
        return AverageTwo(half, kFx == 1 ? full0 : full1, k.rcOnes);
      }
    }
  };
  for (int y = 0; y < 4; ++y) emit(y, pair(p + rs * y, p + rs * (y + 4)));
  if constexpr (kNinth) emit(8, pair(p + rs * 8, p + rs * 8));
}

template <bool kNinth, typename Emit>
void HorizontalPairs(const uint8_t* p, ptrdiff_t rs, int fx, const Constants& k, Emit&& emit) {
  switch (fx) {
    case 0:
      HorizontalPairs<0, kNinth>(p, rs, k, emit);
      break;
    case 1:
      HorizontalPairs<1, kNinth>(p, rs, k, emit);
      break;
    case 2:
      HorizontalPairs<2, kNinth>(p, rs, k, emit);
      break;
    default:
      HorizontalPairs<3, kNinth>(p, rs, k, emit);
      break;
  }
}

// Row i of a column of 9 rows, mirrored at both ends.
constexpr int MirroredRowOf8(int i) { return i < 0 ? -1 - i : i > 8 ? 17 - i : i; }

// The vertical pass at fraction kFy (1..3) over the 9 rows from p, each
// pair of output rows (y, y + 4) handed to emit(y, bytes).  pairs[i + 3]
// holds rows i and i + 4, mirrored, for i from -3 to 7: the output rows y
// and y + 4 read the pairs y - 3 to y + 4.
template <int kFy, typename Emit>
[[gnu::always_inline]] inline void VerticalPairs(const uint8_t* p, ptrdiff_t rs,
                                                 const Constants& k, Emit&& emit) {
  __m256i pairs[11];
  for (int i = -3; i <= 7; ++i) {
    pairs[i + 3] = Widen(
        Load8Pair(p + rs * MirroredRowOf8(i), p + rs * MirroredRowOf8(i + 4)));
  }
  for (int y = 0; y < 4; ++y) {
    auto tap = [&](int j) {
      return _mm256_add_epi16(pairs[y - j + 3], pairs[y + 1 + j + 3]);
    };
    const __m128i half = Narrow(Filter(tap(0), tap(1), tap(2), tap(3), k));
    if constexpr (kFy == 2) {
      emit(y, half);
    } else {
      const int near = kFy == 1 ? y : y + 1;
      emit(y, AverageTwo(half, Load8Pair(p + rs * near, p + rs * (near + 4)), k.rcOnes));
    }
  }
}

template <typename Emit>
void VerticalPairs(const uint8_t* p, ptrdiff_t rs, int fy, const Constants& k, Emit&& emit) {
  switch (fy) {
    case 1:
      VerticalPairs<1>(p, rs, k, emit);
      break;
    case 2:
      VerticalPairs<2>(p, rs, k, emit);
      break;
    default:
      VerticalPairs<3>(p, rs, k, emit);
      break;
  }
}

template <bool kAverage>
PrimitiveStatus Predict8x8(const uint8_t* reference, int32_t referenceStride,
                           uint8_t* destination, int32_t destinationStride,
                           const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const ptrdiff_t ds = destinationStride;
  const MotionVector v = *vector;
  const uint8_t* origin = reference + (v.x >> 2) + rs * (v.y >> 2);
  const Constants k(rounding != 0 ? 1 : 0);
  auto emit = [&](int y, __m128i rows) {
    uint8_t* low = destination + ds * y;
    uint8_t* high = destination + ds * (y + 4);
    if constexpr (kAverage) rows = _mm_avg_epu8(rows, Load8Pair(low, high));
    Store8Pair(low, high, rows);
  };
  const int fx = v.x & 3;
  const int fy = v.y & 3;
  if (fy == 0) {
    HorizontalPairs<false>(origin, rs, fx, k, emit);
  } else if (fx == 0) {
    VerticalPairs(origin, rs, fy, k, emit);
  } else {
    alignas(16) uint8_t rows[9][8];
    HorizontalPairs<true>(origin, rs, fx, k, [&](int y, __m128i pair) {
      Store8Pair(rows[y], rows[y == 8 ? 8 : y + 4], pair);
    });
    VerticalPairs(rows[0], 8, fy, k, emit);
  }
  return Ok;
}

}  // namespace

PrimitiveStatus PredictQuarterSample8x8(const uint8_t* reference, int32_t referenceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        const MotionVector* vector, int32_t rounding) {
  return Predict8x8<false>(reference, referenceStride, destination, destinationStride, vector,
                           rounding);
}

PrimitiveStatus PredictQuarterSampleAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                               uint8_t* destination, int32_t destinationStride,
                                               const MotionVector* vector, int32_t rounding) {
  return Predict8x8<true>(reference, referenceStride, destination, destinationStride, vector,
                          rounding);
}

}  // namespace tavrin::avx2

#endif  // TAVRIN_AVX2_FORMS
