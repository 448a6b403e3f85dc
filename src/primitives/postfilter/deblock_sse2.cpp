// Deblocking of 8x8 block edges with SSE2.  The eight lines of one edge are
// filtered together, one line per 16-bit lane: s0..s9 are ten registers.
// Both modes are computed for every lane and the mode decision (the count
// of flat neighbour pairs against thr2) and the per-mode "leave unchanged"
// conditions select what is stored.  A vertical edge's lines are rows, so
// its samples are transposed into lanes and back.
//
// The thresholds and the quantiser are used as given; they are first
// limited to ranges that give the same comparisons with the small values
// they meet (differences of 8-bit samples, counts up to 9).
#if defined(__SSE2__)

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "primitives/postfilter/postfilter.h"
#include "primitives/sse2_transpose.h"

namespace tavrin::sse2 {
namespace {

using Lines = __m128i[10];

inline __m128i Splat(int32_t v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
inline __m128i Abs(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
inline __m128i Times5(__m128i v) { return _mm_add_epi16(_mm_slli_epi16(v, 2), v); }

// Division by 8 rounding halves away from zero: (x + 4 - (x < 0)) >> 3.
inline __m128i DivideBy8(__m128i x) {
  return _mm_srai_epi16(_mm_add_epi16(x, _mm_add_epi16(Splat(4), _mm_srai_epi16(x, 15))), 3);
}

// 2a - 5b + 5c - 2d.
inline __m128i EdgeActivity(__m128i a, __m128i b, __m128i c, __m128i d) {
  return _mm_add_epi16(_mm_slli_epi16(_mm_sub_epi16(a, d), 1), Times5(_mm_sub_epi16(c, b)));
}

// The flat-region weights of e0, s1..s8, e9 for s1'..s8'.
constexpr int kFlatWeights[8][10] = {
    {6, 4, 2, 2, 1, 1, 0, 0, 0, 0}, {4, 2, 4, 2, 2, 1, 1, 0, 0, 0}, {2, 2, 2, 4, 2, 2, 1, 1, 0, 0},
    {1, 1, 2, 2, 4, 2, 2, 1, 1, 0}, {0, 1, 1, 2, 2, 4, 2, 2, 1, 1}, {0, 0, 1, 1, 2, 2, 4, 2, 2, 2},
    {0, 0, 0, 1, 1, 2, 2, 4, 2, 4}, {0, 0, 0, 0, 1, 1, 2, 2, 4, 6},
};

inline __m128i Weighted(__m128i v, int w) {
  switch (w) {
    case 1:
      return v;
    case 2:
      return _mm_slli_epi16(v, 1);
    case 4:
      return _mm_slli_epi16(v, 2);
    default:
      return _mm_add_epi16(_mm_slli_epi16(v, 2), _mm_slli_epi16(v, 1));  // 6
  }
}

// Filters eight lines held in lanes; out[k] receives the new s(k+1).
void FilterLines(const Lines& s, int32_t qp, int32_t thr1, int32_t thr2, __m128i (&out)[8]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i quant = Splat(std::clamp<int32_t>(qp, INT16_MIN, INT16_MAX));

  // Mode decision: eq_cnt < thr2 selects the default mode.
  const __m128i t1 = Splat(std::clamp<int32_t>(thr1, -1, 255));
  __m128i steep = zero;  // minus the number of pairs differing by more than thr1
  for (int k = 0; k < 9; ++k) {
    steep = _mm_add_epi16(steep, _mm_cmpgt_epi16(Abs(_mm_sub_epi16(s[k], s[k + 1])), t1));
  }
  const __m128i eqCount = _mm_add_epi16(Splat(9), steep);
  const __m128i defaultMode = _mm_cmpgt_epi16(Splat(std::clamp<int32_t>(thr2, 0, 10)), eqCount);

  // Default mode: s4 and s5 move towards each other.
  const __m128i a0 = DivideBy8(EdgeActivity(s[3], s[4], s[5], s[6]));
  const __m128i a1 = DivideBy8(EdgeActivity(s[1], s[2], s[3], s[4]));
  const __m128i a2 = DivideBy8(EdgeActivity(s[5], s[6], s[7], s[8]));
  const __m128i abs0 = Abs(a0);
  const __m128i smallest = _mm_min_epi16(abs0, _mm_min_epi16(Abs(a1), Abs(a2)));
  const __m128i sign = _mm_srai_epi16(a0, 15);
  const __m128i m = _mm_sub_epi16(_mm_xor_si128(smallest, sign), sign);
  const __m128i moves =
      _mm_and_si128(_mm_cmpgt_epi16(quant, abs0), _mm_cmpgt_epi16(abs0, smallest));
  __m128i d = DivideBy8(Times5(_mm_sub_epi16(m, a0)));
  const __m128i gap = _mm_sub_epi16(s[4], s[5]);
  const __m128i half = _mm_srai_epi16(Abs(gap), 1);
  const __m128i rising = _mm_cmpgt_epi16(zero, gap);  // s4 < s5
  d = _mm_max_epi16(d, _mm_and_si128(rising, _mm_sub_epi16(zero, half)));
  d = _mm_min_epi16(d, _mm_andnot_si128(rising, half));
  d = _mm_and_si128(d, moves);

  // Flat-region mode.
  __m128i high = s[1];
  __m128i low = s[1];
  for (int k = 2; k <= 8; ++k) {
    high = _mm_max_epi16(high, s[k]);
    low = _mm_min_epi16(low, s[k]);
  }
  const __m128i smooths =
      _mm_cmpgt_epi16(Splat(2 * std::clamp<int32_t>(qp, 0, 128)), _mm_sub_epi16(high, low));
  const __m128i e0 = Select(_mm_cmpgt_epi16(quant, Abs(_mm_sub_epi16(s[0], s[1]))), s[0], s[1]);
  const __m128i e9 = Select(_mm_cmpgt_epi16(quant, Abs(_mm_sub_epi16(s[8], s[9]))), s[9], s[8]);
  const __m128i taps[10] = {e0, s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], e9};

  for (int k = 0; k < 8; ++k) {
    __m128i sum = Splat(8);
    for (int j = 0; j < 10; ++j) {
      if (kFlatWeights[k][j] != 0) sum = _mm_add_epi16(sum, Weighted(taps[j], kFlatWeights[k][j]));
    }
    const __m128i flat = Select(smooths, _mm_srli_epi16(sum, 4), s[k + 1]);
    __m128i moved = s[k + 1];
    if (k == 3) moved = _mm_sub_epi16(s[4], d);
    if (k == 4) moved = _mm_add_epi16(s[5], d);
    out[k] = Select(defaultMode, moved, flat);
  }
}

inline __m128i LoadWide8(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                           _mm_setzero_si128());
}
inline void StoreNarrow8(uint8_t* p, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
}


}  // namespace

PrimitiveStatus DeblockHorizontalEdge(uint8_t* pixels, int32_t stride, int32_t quant, int32_t thr1,
                                      int32_t thr2) {
  if (pixels == nullptr) return NullPointer;
  const ptrdiff_t st = stride;
  Lines s;
  for (int k = 0; k < 10; ++k) s[k] = LoadWide8(pixels + (k - 5) * st);
  __m128i out[8];
  FilterLines(s, quant, thr1, thr2, out);
  for (int k = 0; k < 8; ++k) StoreNarrow8(pixels + (k - 4) * st, out[k]);
  return Ok;
}

PrimitiveStatus DeblockVerticalEdge(uint8_t* pixels, int32_t stride, int32_t quant, int32_t thr1,
                                    int32_t thr2) {
  if (pixels == nullptr) return NullPointer;
  const ptrdiff_t st = stride;
  // Rows y hold s0..s7 and s2..s9 of line y; transposed, register k holds
  // sample k of every line.
  __m128i first[8], last[8];
  for (int y = 0; y < 8; ++y) {
    first[y] = LoadWide8(pixels + y * st - 5);
    last[y] = LoadWide8(pixels + y * st - 3);
  }
  Transpose8x8(first);
  Transpose8x8(last);
  Lines s;
  for (int k = 0; k < 8; ++k) s[k] = first[k];
  s[8] = last[6];
  s[9] = last[7];
  __m128i out[8];
  FilterLines(s, quant, thr1, thr2, out);
  Transpose8x8(out);
  for (int y = 0; y < 8; ++y) StoreNarrow8(pixels + y * st - 4, out[y]);
  return Ok;
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
