// The arithmetic the AVX2 quarter-sample files share: loads and stores,
// widening to 16-bit lanes and back, the rounded two-sample average, the
// eight-tap filter on sixteen lanes and the tap windows formed by byte
// shuffles.  Included only by *_avx2.cpp files (the build compiles them for
// AVX2), and kept in an anonymous namespace, so that each of them has its
// own copy and none can stand in for code the baseline files run.
#pragma once

#if defined(__AVX2__)

#include <immintrin.h>

#include <cstdint>

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

inline __m256i Window(__m128i bytes, const int8_t (&order)[16]) {
  return Widen(_mm_shuffle_epi8(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(order))));
}

}  // namespace
}  // namespace tavrin::avx2

#endif  // __AVX2__
