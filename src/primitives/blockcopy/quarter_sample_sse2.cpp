// Quarter-sample prediction with SSE2.  The eight-tap filter runs on eight
// 16-bit lanes: the windows the taps read (the line shifted by -3 to 4
// samples) are loaded and widened where they stay inside the line, and
// formed in registers where they run off its ends, the mirrored samples
// moved in with word shuffles, so that no load reaches past the block's
// reference area.  Each pass hands
// its rows, in bytes, to the next step: the rows of the horizontal pass go
// to a local block that the vertical pass reads (or, without a vertical
// fraction, to the destination); a vector without a horizontal fraction
// lets the vertical pass read the reference itself.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>

#include "primitives/blockcopy/quarter_sample.h"
#include "primitives/blockcopy/sse2_rows.h"

namespace tavrin::sse2 {
namespace {

using namespace blockcopy_sse2;

// The constants of one prediction: the filter taps, its rounding term
// 16 - rc and rc in every byte for the averages.
struct Constants {
  __m128i twenty = _mm_set1_epi16(20);
  __m128i six = _mm_set1_epi16(6);
  __m128i three = _mm_set1_epi16(3);
  __m128i round;
  __m128i rcOnes;
  explicit Constants(int rc)
      : round(_mm_set1_epi16(static_cast<int16_t>(16 - rc))),
        rcOnes(_mm_set1_epi8(static_cast<char>(rc))) {}
};

// (20 p0 - 6 p1 + 3 p2 - p3 + 16 - rc) >> 5 of the symmetric tap pairs,
// before clamping (the packing to bytes clamps).  Every term fits 16 bits.
[[gnu::always_inline]] inline __m128i Filter(__m128i p0, __m128i p1, __m128i p2, __m128i p3,
                                             const Constants& k) {
  __m128i s = _mm_mullo_epi16(p0, k.twenty);
  s = _mm_sub_epi16(s, _mm_mullo_epi16(p1, k.six));
  s = _mm_add_epi16(s, _mm_mullo_epi16(p2, k.three));
  s = _mm_sub_epi16(s, _mm_sub_epi16(p3, k.round));
  return _mm_srai_epi16(s, 5);
}

// A window of eight taps is a line's samples from some position on, in
// 16-bit lanes.  Windows that stay inside the line are loaded (loads are
// cheap; shuffles compete for few execution ports).  The windows that run
// off either end are the line's own samples shifted, with the mirrored
// samples put in the lanes that ran off, from one shuffle per end.
struct Windows {
  __m128i back1, back2, back3;  // the outputs' samples moved 1..3 back
  __m128i ahead2, ahead3, ahead4;  // and 2..4 on
};

// Eight 16-bit lanes with the given lanes all ones.
[[gnu::always_inline]] inline __m128i Lanes(int first, int last) {
  alignas(16) int16_t lanes[8];
  for (int i = 0; i < 8; ++i) lanes[i] = static_cast<int16_t>(i >= first && i <= last ? -1 : 0);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}

// Windows moved back from the line's start: s holds samples 0..7; the
// taps left of sample 0 read samples 0, 1, 2.
[[gnu::always_inline]] inline void StartWindows(__m128i s, Windows& w) {
  const __m128i mirror = _mm_shufflelo_epi16(s, _MM_SHUFFLE(3, 0, 1, 2));  // s2 s1 s0 s3 ...
  w.back1 = _mm_or_si128(_mm_slli_si128(s, 2), _mm_and_si128(s, Lanes(0, 0)));
  w.back2 = _mm_or_si128(_mm_slli_si128(s, 4), _mm_and_si128(_mm_srli_si128(mirror, 2), Lanes(0, 1)));
  w.back3 = _mm_or_si128(_mm_slli_si128(s, 6), _mm_and_si128(mirror, Lanes(0, 2)));
}

// Windows moved on to the line's end: t holds the samples one on from the
// outputs' (its lane 7 the line's last sample); the taps past the end read
// the last three samples back.
[[gnu::always_inline]] inline void EndWindows(__m128i t, Windows& w) {
  const __m128i mirror = _mm_shufflehi_epi16(t, _MM_SHUFFLE(1, 2, 3, 0));  // ... t4 t7 t6 t5
  w.ahead2 = _mm_or_si128(_mm_srli_si128(t, 2), _mm_and_si128(t, Lanes(7, 7)));
  w.ahead3 = _mm_or_si128(_mm_srli_si128(t, 4), _mm_and_si128(_mm_slli_si128(mirror, 2), Lanes(6, 7)));
  w.ahead4 = _mm_or_si128(_mm_srli_si128(t, 6), _mm_and_si128(mirror, Lanes(5, 7)));
}

// Eight bytes from p in 16-bit lanes.
[[gnu::always_inline]] inline __m128i Words(const uint8_t* p) { return Widen8(Load8(p)); }

// The half samples of eight outputs: s their own samples, t the samples one
// on, w the other windows.
[[gnu::always_inline]] inline __m128i HalfSamples(__m128i s, __m128i t, const Windows& w,
                                                  const Constants& k) {
  return Filter(_mm_add_epi16(s, t), _mm_add_epi16(w.back1, w.ahead2),
                _mm_add_epi16(w.back2, w.ahead3), _mm_add_epi16(w.back3, w.ahead4), k);
}

// The half samples of a line of 9 samples from p, in the low 8 bytes; full0
// and full1 get the bytes from p and from p + 1.
[[gnu::always_inline]] inline __m128i HalfLine8(const uint8_t* p, const Constants& k,
                                                __m128i& full0, __m128i& full1) {
  full0 = Load8(p);
  full1 = Load8(p + 1);
  const __m128i s = Widen8(full0);
  const __m128i t = Widen8(full1);
  Windows w;
  StartWindows(s, w);
  EndWindows(t, w);
  const __m128i h = HalfSamples(s, t, w, k);
  return _mm_packus_epi16(h, h);
}

// The half samples of a line of 17 samples from p; full0 and full1 get the
// bytes from p and from p + 1.  Every load stays within p .. p + 16.
[[gnu::always_inline]] inline __m128i HalfLine16(const uint8_t* p, const Constants& k,
                                                 __m128i& full0, __m128i& full1) {
  full0 = Load16(p);
  full1 = Load16(p + 1);
  const __m128i zero = _mm_setzero_si128();
  Windows low;  // outputs 0..7
  const __m128i s0 = _mm_unpacklo_epi8(full0, zero);
  const __m128i t1 = _mm_unpacklo_epi8(full1, zero);
  StartWindows(s0, low);
  low.ahead2 = Words(p + 2);
  low.ahead3 = Words(p + 3);
  low.ahead4 = Words(p + 4);
  Windows high;  // outputs 8..15
  const __m128i s8 = _mm_unpackhi_epi8(full0, zero);
  const __m128i t9 = _mm_unpackhi_epi8(full1, zero);
  high.back1 = Words(p + 7);
  high.back2 = Words(p + 6);
  high.back3 = Words(p + 5);
  EndWindows(t9, high);
  return _mm_packus_epi16(HalfSamples(s0, t1, low, k), HalfSamples(s8, t9, high, k));
}

template <int kSize>
[[gnu::always_inline]] inline __m128i LoadRow(const uint8_t* p) {
  if constexpr (kSize == 16) {
    return Load16(p);
  } else {
    return Load8(p);
  }
}
template <int kSize>
[[gnu::always_inline]] inline void StoreRow(uint8_t* p, __m128i v) {
  if constexpr (kSize == 16) {
    Store16(p, v);
  } else {
    Store8(p, v);
  }
}

// The horizontal pass at fraction kFx over `rows` rows from p, each row's
// bytes handed to emit(row, bytes).
template <int kSize, int kFx, typename Emit>
[[gnu::always_inline]] inline void HorizontalRows(const uint8_t* p, ptrdiff_t rs, int rows,
                                                  const Constants& k, Emit&& emit) {
  for (int y = 0; y < rows; ++y, p += rs) {
    if constexpr (kFx == 0) {
      emit(y, LoadRow<kSize>(p));
    } else {
      __m128i full0, full1;
      const __m128i half =
          kSize == 16 ? HalfLine16(p, k, full0, full1) : HalfLine8(p, k, full0, full1);
      if constexpr (kFx == 2) {
        emit(y, half);
      } else {
        emit(y, AverageTwo(half, kFx == 1 ? full0 : full1, k.rcOnes));
      }
    }
  }
}

template <int kSize, typename Emit>
void Horizontal(const uint8_t* p, ptrdiff_t rs, int rows, int fx, const Constants& k,
                Emit&& emit) {
  switch (fx) {
    case 0:
      HorizontalRows<kSize, 0>(p, rs, rows, k, emit);
      break;
    case 1:
      HorizontalRows<kSize, 1>(p, rs, rows, k, emit);
      break;
    case 2:
      HorizontalRows<kSize, 2>(p, rs, rows, k, emit);
      break;
    default:
      HorizontalRows<kSize, 3>(p, rs, rows, k, emit);
      break;
  }
}

// Row i of a column of kSize + 1 rows, mirrored at both ends.
template <int kSize>
constexpr int MirroredRow(int i) {
  return i < 0 ? -1 - i : i > kSize ? 2 * kSize + 1 - i : i;
}

// The half samples between row y and y + 1 of eight columns, lines[i]
// holding row i (0..kSize) widened; before clamping.
template <int kSize>
[[gnu::always_inline]] inline __m128i HalfBelow(const __m128i* lines, int y, const Constants& k) {
  auto pair = [&](int j) {
    return _mm_add_epi16(lines[MirroredRow<kSize>(y - j)], lines[MirroredRow<kSize>(y + 1 + j)]);
  };
  return Filter(pair(0), pair(1), pair(2), pair(3), k);
}

// The vertical pass at fraction kFy (1..3) over the kSize + 1 rows from p,
// each output row's bytes handed to emit(row, bytes).
template <int kSize, int kFy, typename Emit>
[[gnu::always_inline]] inline void VerticalRows(const uint8_t* p, ptrdiff_t rs,
                                                const Constants& k, Emit&& emit) {
  const __m128i zero = _mm_setzero_si128();
  __m128i low[kSize + 1];
  __m128i high[kSize == 16 ? kSize + 1 : 1];
  for (int i = 0; i <= kSize; ++i) {
    const __m128i bytes = LoadRow<kSize>(p + rs * i);
    low[i] = _mm_unpacklo_epi8(bytes, zero);
    if constexpr (kSize == 16) high[i] = _mm_unpackhi_epi8(bytes, zero);
  }
#pragma GCC unroll 16
  for (int y = 0; y < kSize; ++y) {
    const __m128i h = HalfBelow<kSize>(low, y, k);
    __m128i half;
    if constexpr (kSize == 16) {
      half = _mm_packus_epi16(h, HalfBelow<kSize>(high, y, k));
    } else {
      half = _mm_packus_epi16(h, h);
    }
    if constexpr (kFy == 2) {
      emit(y, half);
    } else {
      emit(y, AverageTwo(half, LoadRow<kSize>(p + rs * (kFy == 1 ? y : y + 1)), k.rcOnes));
    }
  }
}

template <int kSize, typename Emit>
void Vertical(const uint8_t* p, ptrdiff_t rs, int fy, const Constants& k, Emit&& emit) {
  switch (fy) {
    case 1:
      VerticalRows<kSize, 1>(p, rs, k, emit);
      break;
    case 2:
      VerticalRows<kSize, 2>(p, rs, k, emit);
      break;
    default:
      VerticalRows<kSize, 3>(p, rs, k, emit);
      break;
  }
}

template <int kSize, bool kAverage>
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
    if constexpr (kAverage) row = _mm_avg_epu8(row, LoadRow<kSize>(to));
    StoreRow<kSize>(to, row);
  };
  const int fx = v.x & 3;
  const int fy = v.y & 3;
  if (fy == 0) {
    Horizontal<kSize>(origin, rs, kSize, fx, k, emit);
  } else if (fx == 0) {
    Vertical<kSize>(origin, rs, fy, k, emit);
  } else {
    alignas(16) uint8_t rows[kSize + 1][16];
    Horizontal<kSize>(origin, rs, kSize + 1, fx, k,
                      [&](int y, __m128i row) { StoreRow<kSize>(rows[y], row); });
    Vertical<kSize>(rows[0], 16, fy, k, emit);
  }
  return Ok;
}

}  // namespace

PrimitiveStatus PredictQuarterSample8x8(const uint8_t* reference, int32_t referenceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        const MotionVector* vector, int32_t rounding) {
  return Predict<8, false>(reference, referenceStride, destination, destinationStride, vector,
                           rounding);
}

PrimitiveStatus PredictQuarterSample16x16(const uint8_t* reference, int32_t referenceStride,
                                          uint8_t* destination, int32_t destinationStride,
                                          const MotionVector* vector, int32_t rounding) {
  return Predict<16, false>(reference, referenceStride, destination, destinationStride, vector,
                            rounding);
}

PrimitiveStatus PredictQuarterSampleAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                               uint8_t* destination, int32_t destinationStride,
                                               const MotionVector* vector, int32_t rounding) {
  return Predict<8, true>(reference, referenceStride, destination, destinationStride, vector,
                          rounding);
}

PrimitiveStatus PredictQuarterSampleAverage16x16(const uint8_t* reference,
                                                 int32_t referenceStride, uint8_t* destination,
                                                 int32_t destinationStride,
                                                 const MotionVector* vector, int32_t rounding) {
  return Predict<16, true>(reference, referenceStride, destination, destinationStride, vector,
                           rounding);
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
