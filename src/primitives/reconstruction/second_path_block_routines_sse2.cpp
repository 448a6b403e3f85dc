// The second path's inverse transforms and clamped store with SSE2.
//
// Both transforms run their column pass on the block's rows as registers
// (eight columns per register) and their row pass on the transposed block
// (eight rows per register), so each pass is the same butterfly across
// registers.  Products of 16-bit values with two constants are formed by
// one multiply-add per four lanes, exact in 32 bits.  The older version's
// 16-bit constants above 32767 are split into a signed 16-bit part and a
// multiple of 65536, whose product is a shift by 16; all its sums wrap in
// 32 bits like the portable code's.
#if defined(__SSE2__)

#include "primitives/reconstruction/second_path_block_routines_sse2.h"

#include <emmintrin.h>

#include <cstddef>

#include "primitives/sse2_transpose.h"

namespace tavrin::blockroutines::sse2 {
namespace {

// 32-bit values of eight lanes, in two registers.
struct Wide {
  __m128i lo, hi;
};

inline Wide operator+(Wide a, Wide b) {
  return {_mm_add_epi32(a.lo, b.lo), _mm_add_epi32(a.hi, b.hi)};
}
inline Wide operator-(Wide a, Wide b) {
  return {_mm_sub_epi32(a.lo, b.lo), _mm_sub_epi32(a.hi, b.hi)};
}
inline Wide operator+(Wide a, int32_t c) {
  const __m128i k = _mm_set1_epi32(c);
  return {_mm_add_epi32(a.lo, k), _mm_add_epi32(a.hi, k)};
}
inline Wide operator>>(Wide a, int n) { return {_mm_srai_epi32(a.lo, n), _mm_srai_epi32(a.hi, n)}; }
inline Wide Negated(Wide a) {
  const __m128i zero = _mm_setzero_si128();
  return {_mm_sub_epi32(zero, a.lo), _mm_sub_epi32(zero, a.hi)};
}

// a * ca + b * cb per lane, exact (|ca|, |cb| < 32768 keep the sum inside
// 32 bits).
inline Wide Dot(__m128i a, __m128i b, int16_t ca, int16_t cb) {
  const __m128i c = _mm_set1_epi32(static_cast<int32_t>(
      static_cast<uint16_t>(ca) | (static_cast<uint32_t>(static_cast<uint16_t>(cb)) << 16)));
  return {_mm_madd_epi16(_mm_unpacklo_epi16(a, b), c), _mm_madd_epi16(_mm_unpackhi_epi16(a, b), c)};
}

// a << 16 per lane (a's 16-bit values in the upper halves).
inline Wide Shifted16(__m128i a) {
  const __m128i zero = _mm_setzero_si128();
  return {_mm_unpacklo_epi16(zero, a), _mm_unpackhi_epi16(zero, a)};
}

inline __m128i Saturated(Wide w) { return _mm_packs_epi32(w.lo, w.hi); }
inline __m128i Wrapped(Wide w) {
  return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(w.lo, 16), 16),
                         _mm_srai_epi32(_mm_slli_epi32(w.hi, 16), 16));
}

inline __m128i Add16(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
inline __m128i Sub16(__m128i a, __m128i b) { return _mm_sub_epi16(a, b); }

// The last step of both row passes: twice the value (wrapped), limited to
// -16384..16383, then >> 6.
inline __m128i Descale(__m128i z) {
  const __m128i twice = _mm_add_epi16(z, z);
  return _mm_srai_epi16(
      _mm_min_epi16(_mm_max_epi16(twice, _mm_set1_epi16(-16384)), _mm_set1_epi16(16383)), 6);
}

void Load(const int16_t* block, __m128i (&r)[8]) {
  for (int k = 0; k < 8; ++k)
    r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * k));
}
void Store(int16_t* block, const __m128i (&r)[8]) {
  for (int k = 0; k < 8; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * k), r[k]);
}


// ---- Newer-processor version ----

constexpr int16_t kC1 = 22725, kC3 = 19265, kC5 = 12873, kC7 = 4520;
constexpr int16_t kC2 = 21406, kC6 = 8867, kC4 = 23170;

// (a·ca + b·cb + 2^14) >> 15.
inline Wide Round15(__m128i a, __m128i b, int16_t ca, int16_t cb) {
  return (Dot(a, b, ca, cb) + 16384) >> 15;
}
inline __m128i Round15Saturated(__m128i a, __m128i b, int16_t ca, int16_t cb) {
  return Saturated(Round15(a, b, ca, cb));
}

void ColumnPassNewer(__m128i (&r)[8]) {
  __m128i s[8];
  for (int k = 0; k < 8; ++k) s[k] = _mm_slli_epi16(r[k], 4);
  const __m128i h = _mm_srai_epi16(Add16(Add16(s[0], s[4]), _mm_set1_epi16(1)), 1);
  const __m128i l = _mm_srai_epi16(Sub16(s[0], s[4]), 1);
  const __m128i t = Round15Saturated(s[2], s[6], kC2, kC6);
  const __m128i u = Round15Saturated(s[2], s[6], kC6, -kC2);
  const __m128i e0 = Add16(h, t), e3 = Sub16(h, t), e1 = Add16(l, u), e2 = Sub16(l, u);
  const __m128i i = Round15Saturated(s[1], s[7], kC1, kC7);
  const __m128i k = Round15Saturated(s[1], s[7], kC7, -kC1);
  const __m128i j = Round15Saturated(s[3], s[5], kC3, kC5);
  const __m128i ll = Round15Saturated(s[5], s[3], kC3, -kC5);
  const __m128i d1 = Sub16(i, j), d2 = Sub16(k, ll), s1 = Add16(i, j), s2 = Add16(k, ll);
  const __m128i q = Round15Saturated(d1, d2, kC4, kC4);
  const __m128i rr = Round15Saturated(d1, d2, kC4, -kC4);
  r[0] = Add16(e0, s1);
  r[1] = Add16(e1, q);
  r[2] = Add16(e2, rr);
  r[3] = Add16(e3, s2);
  r[4] = Sub16(e3, s2);
  r[5] = Sub16(e2, rr);
  r[6] = Sub16(e1, q);
  r[7] = Sub16(e0, s1);
}

// On the transposed block: y[k] holds column k of every row.
void RowPassNewer(__m128i (&y)[8]) {
  const Wide p0 = (((Dot(y[0], y[4], 1, 1) + 1) >> 1) + 15);
  const Wide p1 = ((Dot(y[0], y[4], 1, -1) >> 1) + 16);
  const __m128i x0 = Saturated(p0 + Round15(y[2], y[6], kC2, kC6));
  const __m128i x1 = Saturated(p1 + Round15(y[2], y[6], kC6, -kC2));
  const __m128i x2 = Saturated(p1 + Round15(y[6], y[2], kC2, -kC6));
  const __m128i x3 = Saturated(p0 + Round15(y[2], y[6], -kC2, -kC6));

  const Wide a0 = Round15(y[1], y[7], kC1, kC7);
  const Wide a1 = Round15(y[1], y[7], kC7, -kC1);
  const Wide b0 = Round15(y[3], y[5], -kC3, -kC5);
  const Wide b1 = Round15(y[3], y[5], kC5, -kC3);
  const Wide b2 = Round15(y[3], y[5], kC3, kC5);
  const Wide b3 = Round15(y[5], y[3], kC3, -kC5);
  const Wide o0 = a0 + b0, o1 = a1 + b1, o2 = a0 + b2, o3 = a1 + b3;
  const __m128i so0 = Saturated(o0), so1 = Saturated(o1);
  const Wide t0 = Round15(so0, so1, kC4, kC4);
  const Wide t1 = Round15(so0, so1, kC4, -kC4);

  y[0] = Descale(Add16(x0, Saturated(o2)));
  y[1] = Descale(Add16(x1, Saturated(t0)));
  y[2] = Descale(Add16(x2, Saturated(t1)));
  y[3] = Descale(Add16(x3, Saturated(o3)));
  y[4] = Descale(Add16(x3, Saturated(Negated(o3))));
  y[5] = Descale(Add16(x2, Saturated(Negated(t1))));
  y[6] = Descale(Add16(x1, Saturated(Negated(t0))));
  y[7] = Descale(Add16(x0, Saturated(Negated(o2))));
}

// ---- Older-processor version ----

// (m·a + n·b + 2^15) >> 16 in wrapping 32-bit arithmetic, for constants m
// and n inside ±65535: each is its signed 16-bit remainder plus a multiple
// (-1, 0 or 1) of 65536.
template <int32_t m, int32_t n>
Wide M(__m128i a, __m128i b) {
  constexpr int16_t mLow = static_cast<int16_t>(m);
  constexpr int16_t nLow = static_cast<int16_t>(n);
  constexpr int32_t mHigh = (m - mLow) / 65536;
  constexpr int32_t nHigh = (n - nLow) / 65536;
  Wide sum = Dot(a, b, mLow, nLow);
  if constexpr (mHigh == 1) sum = sum + Shifted16(a);
  if constexpr (mHigh == -1) sum = sum - Shifted16(a);
  if constexpr (nHigh == 1) sum = sum + Shifted16(b);
  if constexpr (nHigh == -1) sum = sum - Shifted16(b);
  return (sum + 32768) >> 16;
}

// The shared butterfly from h, l and the six other inputs; the eight
// outputs wrapped to 16 bits.
void ButterflyOlder(Wide h, Wide l, const __m128i (&v)[8], __m128i (&out)[8]) {
  const Wide t = M<42813, 17734>(v[2], v[6]);
  const Wide u = M<17734, -42813>(v[2], v[6]);
  const Wide i = M<45451, 9041>(v[1], v[7]);
  const Wide k = M<9041, -45451>(v[1], v[7]);
  const Wide j = M<38531, 25746>(v[3], v[5]);
  const Wide l2 = M<38531, -25746>(v[5], v[3]);
  const Wide e0 = h + t, e3 = h - t, e1 = l + u, e2 = l - u;
  const Wide s1 = i + j, s2 = k + l2;
  const __m128i d1 = Wrapped(i - j), d2 = Wrapped(k - l2);
  const Wide q = M<46341, 46341>(d1, d2);
  const Wide r = M<46341, -46341>(d1, d2);
  out[0] = Wrapped(e0 + s1);
  out[1] = Wrapped(e1 + q);
  out[2] = Wrapped(e2 + r);
  out[3] = Wrapped(e3 + s2);
  out[4] = Wrapped(e3 - s2);
  out[5] = Wrapped(e2 - r);
  out[6] = Wrapped(e1 - q);
  out[7] = Wrapped(e0 - s1);
}

void ColumnPassOlder(__m128i (&r)[8]) {
  __m128i s[8];
  for (int k = 0; k < 8; ++k) s[k] = _mm_slli_epi16(r[k], 4);
  const Wide h = (Dot(s[0], s[4], 1, 1) + 1) >> 1;
  const Wide l = Dot(s[0], s[4], 1, -1) >> 1;
  ButterflyOlder(h, l, s, r);
}

void RowPassOlder(__m128i (&y)[8]) {
  const Wide h = ((Dot(y[0], y[4], 1, 1) + 1) >> 1) + 15;
  const Wide l = (Dot(y[0], y[4], 1, -1) >> 1) + 16;
  __m128i z[8];
  ButterflyOlder(h, l, y, z);
  for (int k = 0; k < 8; ++k) y[k] = Descale(z[k]);
}

}  // namespace

void InverseTransformNewer(int16_t* block) {
  __m128i r[8];
  Load(block, r);
  ColumnPassNewer(r);
  tavrin::sse2::Transpose8x8(r);
  RowPassNewer(r);
  tavrin::sse2::Transpose8x8(r);
  Store(block, r);
}

void InverseTransformOlder(int16_t* block) {
  __m128i r[8];
  Load(block, r);
  ColumnPassOlder(r);
  tavrin::sse2::Transpose8x8(r);
  RowPassOlder(r);
  tavrin::sse2::Transpose8x8(r);
  Store(block, r);
}

void StoreClamped(uint8_t* destination, const int16_t* block, int32_t stride) {
  const std::ptrdiff_t s = stride;
  for (int r = 0; r < 8; r += 2) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r + 8));
    const __m128i bytes = _mm_packus_epi16(a, b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + s * r), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + s * (r + 1)),
                     _mm_unpackhi_epi64(bytes, bytes));
  }
}

}  // namespace tavrin::blockroutines::sse2

#endif  // __SSE2__
