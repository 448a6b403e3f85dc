// Quarter-sample prediction of 16x16 blocks with AVX2, giving exactly the
// outputs of the portable code (8x8 blocks: quarter_sample_8x8_avx2.cpp).  The eight-tap filter runs on sixteen
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

#include <cstddef>
#include <cstdint>

#include "primitives/blockcopy/quarter_sample.h"
#include "primitives/blockcopy/quarter_sample_avx2_rows.h"

namespace tavrin::avx2 {
namespace {
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

}  // namespace tavrin::avx2

#endif  // TAVRIN_AVX2_FORMS
