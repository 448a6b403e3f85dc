// Row helpers shared by the SSE2 block primitives: unaligned loads and
// stores of 8- and 16-byte rows, widening to 16-bit lanes, and the rounded
// two- and four-sample averages of half-sample interpolation, all in bytes.
#pragma once

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstdint>

namespace tavrin::blockcopy_sse2 {

inline __m128i Load8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }
inline void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// The low eight bytes as eight 16-bit lanes.
inline __m128i Widen8(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }

// Eight samples (16-bit lanes, 0..255) plus eight residual values (16-bit
// lanes), clamped to 0..255, in the low eight bytes.  The saturating add
// cannot change the clamped result: a sum beyond 16 bits is beyond 0..255
// on the same side.
inline __m128i AddResidualValues(__m128i samples, __m128i residual) {
  const __m128i sum = _mm_adds_epi16(samples, residual);
  return _mm_packus_epi16(sum, sum);
}
inline __m128i AddResidualRow(__m128i samples, const int16_t* residual) {
  return AddResidualValues(samples,
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(residual)));
}

// (a + b + 1 - rc) >> 1 per byte, rc 0 or 1 given as the byte mask rcOnes
// (every byte rc): the rounding-up average, less one where a + b is odd
// and rc is 1.
inline __m128i AverageTwo(__m128i a, __m128i b, __m128i rcOnes) {
  const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), rcOnes);
  return _mm_sub_epi8(_mm_avg_epu8(a, b), odd);
}

// The four-sample average (a + b + c + d + 2 - rc) >> 2 of a row pair
// (a, b: a row and the row shifted by one sample) and the same pair one row
// below (c, d), formed in bytes from each pair's two-sample average x and
// odd bits p = a ^ b.  With x = (a + b + 1) >> 1 and y likewise,
//   rc = 0: (x + y + 1) >> 1, less 1 where x ^ y is odd and p or q is odd;
// with x = (a + b) >> 1 and y likewise,
//   rc = 1: (x + y + 1) >> 1, less 1 where x ^ y is odd and p and q are even.
// (Both identities hold for every four 8-bit values.)
struct HalfPair {
  __m128i average;
  __m128i odd;
};

template <int kRc>
inline HalfPair PairOf(__m128i a, __m128i b, __m128i ones) {
  const __m128i odd = _mm_xor_si128(a, b);
  __m128i average = _mm_avg_epu8(a, b);
  if constexpr (kRc != 0) average = _mm_sub_epi8(average, _mm_and_si128(odd, ones));
  return {average, odd};
}

template <int kRc>
inline __m128i AverageFour(HalfPair above, HalfPair below, __m128i ones) {
  const __m128i eitherOdd = _mm_or_si128(above.odd, below.odd);
  const __m128i differ = _mm_xor_si128(above.average, below.average);
  const __m128i fix =
      kRc != 0 ? _mm_andnot_si128(eitherOdd, differ) : _mm_and_si128(eitherOdd, differ);
  return _mm_sub_epi8(_mm_avg_epu8(above.average, below.average), _mm_and_si128(fix, ones));
}

}  // namespace tavrin::blockcopy_sse2

#endif  // __SSE2__
