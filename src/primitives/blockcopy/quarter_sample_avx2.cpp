// Quarter-sample prediction of 16x16 blocks with AVX2, giving exactly the
// outputs of the portable code.  The eight-tap filter runs on sixteen
// 16-bit lanes, one whole line or column set per register, in the exact
// integer arithmetic of the other forms ((20 p0 - 6 p1 + 3 p2 - p3 + 16 -
// rc) >> 5 before clamping; every term fits 16 bits).
//
// Horizontal pass: a line's 17 samples are two 16-byte loads, from the
// line's start and one on; every tap window, mirrored samples included, is
// one byte shuffle of one of them, widened.  So no load reaches past the
// block's reference area (the block, the column right of it and the row
// below it).  Vertical pass: the 17 rows widened, one register each, and
// each output row one filter over mirrored row pairs.  The passes hand
// their rows to each other in bytes as the SSE2 form does.
#include "platform/avx2_forms.h"

#if defined(TAVRIN_AVX2_FORMS)

#if !defined(__AVX2__)
#error "the *_avx2.cpp files are compiled with the AVX2 instruction set"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "primitives/blockcopy/quarter_sample.h"

namespace tavrin::avx2 {
namespace {

inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store16(uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
inline __m256i Widen(__m128i bytes) { return _mm256_cvtepu8_epi16(bytes); }

// Sixteen 16-bit lanes, each clamped to 0..255, as sixteen bytes.
inline __m128i Narrow(__m256i words) {
  return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
}

// (a + b + 1 - rc) >> 1 per byte, rcOnes every byte rc.
inline __m128i AverageTwo(__m128i a, __m128i b, __m128i rcOnes) {
  const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), rcOnes);
  return _mm_sub_epi8(_mm_avg_epu8(a, b), odd);
}

struct Constants {
  __m256i twenty = _mm256_set1_epi16(20);
  __m256i six = _mm256_set1_epi16(6);
  __m256i three = _mm256_set1_epi16(3);
  __m256i round;
  __m128i rcOnes;
  explicit Constants(int rc)
      : round(_mm256_set1_epi16(static_cast<int16_t>(16 - rc))),
        rcOnes(_mm_set1_epi8(static_cast<char>(rc))) {}
};

// The filter over the symmetric tap pairs p0 (the two nearest samples)
// to p3 (the two farthest).
[[gnu::always_inline]] inline __m256i Filter(__m256i p0, __m256i p1, __m256i p2, __m256i p3,
                                             const Constants& k) {
  __m256i s = _mm256_mullo_epi16(p0, k.twenty);
  s = _mm256_sub_epi16(s, _mm256_mullo_epi16(p1, k.six));
  s = _mm256_add_epi16(s, _mm256_mullo_epi16(p2, k.three));
  s = _mm256_sub_epi16(s, _mm256_sub_epi16(p3, k.round));
  return _mm256_srai_epi16(s, 5);
}

// Byte shuffles that form the tap windows of the sixteen outputs: the
// samples 1..3 back (from the bytes at the line's start, sample -j read as
// sample j - 1) and 2..4 on (from the bytes one on, sample 16 + j read as
// sample 17 - j).
constexpr int8_t kBack1[16] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
constexpr int8_t kBack2[16] = {1, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
constexpr int8_t kBack3[16] = {2, 1, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
constexpr int8_t kAhead2[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15};
constexpr int8_t kAhead3[16] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 14};
constexpr int8_t kAhead4[16] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 14, 13};

inline __m256i Window(__m128i bytes, const int8_t (&order)[16]) {
  return Widen(_mm_shuffle_epi8(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(order))));
}

// The half samples of a line of 17 samples from p; full0 and full1 get the
// bytes from p and from p + 1.
[[gnu::always_inline]] inline __m128i HalfLine(const uint8_t* p, const Constants& k,
                                               __m128i& full0, __m128i& full1) {
  full0 = Load16(p);
  full1 = Load16(p + 1);
  const __m256i p0 = _mm256_add_epi16(Widen(full0), Widen(full1));
  const __m256i p1 = _mm256_add_epi16(Window(full0, kBack1), Window(full1, kAhead2));
  const __m256i p2 = _mm256_add_epi16(Window(full0, kBack2), Window(full1, kAhead3));
  const __m256i p3 = _mm256_add_epi16(Window(full0, kBack3), Window(full1, kAhead4));
  return Narrow(Filter(p0, p1, p2, p3, k));
}

// The horizontal pass at fraction kFx over `rows` rows from p, each row's
// bytes handed to emit(row, bytes).
template <int kFx, typename Emit>
[[gnu::always_inline]] inline void HorizontalRows(const uint8_t* p, ptrdiff_t rs, int rows,
                                                  const Constants& k, Emit&& emit) {
  for (int y = 0; y < rows; ++y, p += rs) {
    if constexpr (kFx == 0) {
      emit(y, Load16(p));
    } else {
      __m128i full0, full1;
      const __m128i half = HalfLine(p, k, full0, full1);
      if constexpr (kFx == 2) {
        emit(y, half);
      } else {
        emit(y, AverageTwo(half, kFx == 1 ? full0 : full1, k.rcOnes));
      }
    }
  }
}

template <typename Emit>
void Horizontal(const uint8_t* p, ptrdiff_t rs, int rows, int fx, const Constants& k,
                Emit&& emit) {
  switch (fx) {
    case 0:
      HorizontalRows<0>(p, rs, rows, k, emit);
      break;
    case 1:
      HorizontalRows<1>(p, rs, rows, k, emit);
      break;
    case 2:
      HorizontalRows<2>(p, rs, rows, k, emit);
      break;
    default:
      HorizontalRows<3>(p, rs, rows, k, emit);
      break;
  }
}

// Row i of a column of 17 rows, mirrored at both ends.
constexpr int MirroredRow(int i) { return i < 0 ? -1 - i : i > 16 ? 33 - i : i; }

// The half samples between row y and y + 1, lines[i] holding row i
// widened; before clamping.
[[gnu::always_inline]] inline __m256i HalfBelow(const __m256i* lines, int y, const Constants& k) {
  auto pair = [&](int j) {
    return _mm256_add_epi16(lines[MirroredRow(y - j)], lines[MirroredRow(y + 1 + j)]);
  };
  return Filter(pair(0), pair(1), pair(2), pair(3), k);
}

// The vertical pass at fraction kFy (1..3) over the 17 rows from p, each
// output row's bytes handed to emit(row, bytes).
template <int kFy, typename Emit>
[[gnu::always_inline]] inline void VerticalRows(const uint8_t* p, ptrdiff_t rs,
                                                const Constants& k, Emit&& emit) {
  __m256i lines[17];
  for (int i = 0; i <= 16; ++i) lines[i] = Widen(Load16(p + rs * i));
#pragma GCC unroll 16
  for (int y = 0; y < 16; ++y) {
    const __m128i half = Narrow(HalfBelow(lines, y, k));
    if constexpr (kFy == 2) {
      emit(y, half);
    } else {
      emit(y, AverageTwo(half, Load16(p + rs * (kFy == 1 ? y : y + 1)), k.rcOnes));
    }
  }
}

template <typename Emit>
void Vertical(const uint8_t* p, ptrdiff_t rs, int fy, const Constants& k, Emit&& emit) {
  switch (fy) {
    case 1:
      VerticalRows<1>(p, rs, k, emit);
      break;
    case 2:
      VerticalRows<2>(p, rs, k, emit);
      break;
    default:
      VerticalRows<3>(p, rs, k, emit);
      break;
  }
}

template <bool kAverage>
PrimitiveStatus Predict(const uint8_t* reference, int32_t referenceStride, uint8_t* destination,
                        int32_t destinationStride, const MotionVector* vector, int32_t rounding) {
  if (reference == nullptr || destination == nullptr || vector == nullptr) return NullPointer;
  const ptrdiff_t rs = referenceStride;
  const ptrdiff_t ds = destinationStride;
  const MotionVector v = *vector;
  const uint8_t* origin = reference + (v.x >> 2) + rs * (v.y >> 2);
  const Constants k(rounding != 0 ? 1 : 0);
  auto emit = [&](int y, __m128i row) {
    uint8_t* to = destination + ds * y;
    if constexpr (kAverage) row = _mm_avg_epu8(row, Load16(to));
    Store16(to, row);
  };
  const int fx = v.x & 3;
  const int fy = v.y & 3;
  if (fy == 0) {
    Horizontal(origin, rs, 16, fx, k, emit);
  } else if (fx == 0) {
    Vertical(origin, rs, fy, k, emit);
  } else {
    alignas(16) uint8_t rows[17][16];
    Horizontal(origin, rs, 17, fx, k, [&](int y, __m128i row) { Store16(rows[y], row); });
    Vertical(rows[0], 16, fy, k, emit);
  }
  return Ok;
}

// ---- 8x8 blocks: two rows per register, rows y and y + 4 ----
//
// A register of sixteen lanes holds two rows of eight: in the horizontal
// pass the lines y and y + 4 (their windows one shuffle of the two lines'
// loads each, the indices per half); in the vertical pass the rows whose
// outputs are y and y + 4, so that the tap rows of both halves are again
// such pairs (Pairs below).

inline __m128i Load8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline __m128i Load8Pair(const uint8_t* low, const uint8_t* high) {
  return _mm_unpacklo_epi64(Load8(low), Load8(high));
}
// Stores the low eight bytes at low and the high eight at high.
inline void Store8Pair(uint8_t* low, uint8_t* high, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(low), v);
  _mm_storeh_pd(reinterpret_cast<double*>(high), _mm_castsi128_pd(v));
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

PrimitiveStatus PredictQuarterSample16x16(const uint8_t* reference, int32_t referenceStride,
                                          uint8_t* destination, int32_t destinationStride,
                                          const MotionVector* vector, int32_t rounding) {
  return Predict<false>(reference, referenceStride, destination, destinationStride, vector,
                        rounding);
}

PrimitiveStatus PredictQuarterSampleAverage16x16(const uint8_t* reference,
                                                 int32_t referenceStride, uint8_t* destination,
                                                 int32_t destinationStride,
                                                 const MotionVector* vector, int32_t rounding) {
  return Predict<true>(reference, referenceStride, destination, destinationStride, vector,
                       rounding);
}

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
