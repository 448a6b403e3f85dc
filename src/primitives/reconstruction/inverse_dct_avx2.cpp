// The 8x8 inverse DCT with AVX2, giving exactly the outputs of the portable
// transform in inverse_dct.cpp (and of the SSE2 form, whose arithmetic it
// follows).
//
// Row pass: two rows per step.  A 256-bit register holds two adjacent rows
// of coefficients; the SSE2 form's word shuffles and multiply-adds work
// within each 128-bit half, so each half meets its own row's constant
// pairs and rounding term, and four steps do the eight rows.  The outputs
// of the pair come out as one register, row 2k low and row 2k + 1 high.
//
// Column pass: as the SSE2 form's, all eight columns at once, one row per
// 128-bit register, with the saturating 16-bit adds and the high-half
// multiplies the transform is defined with (three-operand encodings here).
#include "platform/avx2_forms.h"

#if defined(TAVRIN_AVX2_FORMS)

#if !defined(__AVX2__)
#error "the *_avx2.cpp files are compiled with the AVX2 instruction set"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/inverse_dct_tables.h"
#include "primitives/reconstruction/reconstruction.h"

namespace tavrin::reconstruction::avx2 {
namespace {

using namespace idct_tables;

// The constant pairs and rounding terms of rows 2k (low half) and 2k + 1
// (high half).
struct alignas(32) PairTables {
  int16_t x0x2[16];
  int16_t x4x6[16];
  int16_t x1x3[16];
  int16_t x5x7[16];
  int32_t rounding[8];
};

consteval PairTables MakePairTables(int pair) {
  PairTables p{};
  for (int half = 0; half < 2; ++half) {
    const int row = 2 * pair + half;
    const RowTables& t = kRowTables[kPrescaleOfRow[row]];
    for (int i = 0; i < 8; ++i) {
      p.x0x2[8 * half + i] = t.x0x2[i];
      p.x4x6[8 * half + i] = t.x4x6[i];
      p.x1x3[8 * half + i] = t.x1x3[i];
      p.x5x7[8 * half + i] = t.x5x7[i];
    }
    for (int i = 0; i < 4; ++i) p.rounding[4 * half + i] = kRowRounding[row];
  }
  return p;
}

constexpr PairTables kPairTables[4] = {MakePairTables(0), MakePairTables(1), MakePairTables(2),
                                       MakePairTables(3)};

inline __m256i Load256(const void* p) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

// Rows 2 kPair and 2 kPair + 1 of the row pass.
template <int kPair>
[[gnu::always_inline]] inline __m256i RowPair(const int16_t* x) {
  const PairTables& t = kPairTables[kPair];
  const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + 16 * kPair));
  // Words X0 X2 X1 X3 X4 X6 X5 X7 in each half: the 32-bit lanes hold the
  // four pairs.
  const __m256i pairs = _mm256_shufflehi_epi16(
      _mm256_shufflelo_epi16(in, _MM_SHUFFLE(3, 1, 2, 0)), _MM_SHUFFLE(3, 1, 2, 0));
  const __m256i p02 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(0, 0, 0, 0));
  const __m256i p13 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(1, 1, 1, 1));
  const __m256i p46 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(2, 2, 2, 2));
  const __m256i p57 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(3, 3, 3, 3));
  const __m256i even = _mm256_add_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(p02, Load256(t.x0x2)),
                       _mm256_madd_epi16(p46, Load256(t.x4x6))),
      Load256(t.rounding));
  const __m256i odd = _mm256_add_epi32(_mm256_madd_epi16(p13, Load256(t.x1x3)),
                                       _mm256_madd_epi16(p57, Load256(t.x5x7)));
  const __m256i first = _mm256_srai_epi32(_mm256_add_epi32(even, odd), 12);  // x0 x1 x2 x3
  const __m256i last = _mm256_srai_epi32(_mm256_sub_epi32(even, odd), 12);   // x7 x6 x5 x4
  return _mm256_packs_epi32(first, _mm256_shuffle_epi32(last, _MM_SHUFFLE(0, 1, 2, 3)));
}

inline void Split(__m256i pair, __m128i& low, __m128i& high) {
  low = _mm256_castsi256_si128(pair);
  high = _mm256_extracti128_si256(pair, 1);
}

inline __m128i Add(__m128i a, __m128i b) { return _mm_adds_epi16(a, b); }
inline __m128i Sub(__m128i a, __m128i b) { return _mm_subs_epi16(a, b); }
inline __m128i MulHigh(__m128i a, int16_t c) { return _mm_mulhi_epi16(a, _mm_set1_epi16(c)); }

// The column pass over the eight row-pass output rows, in place; with
// kUpperOnly, rows 4 to 7 are zero and their terms are left out (a
// saturating add or subtract of zero changes nothing).
template <bool kUpperOnly>
[[gnu::always_inline]] inline void ColumnPass(__m128i (&x)[8]) {
  constexpr int16_t kT1 = 13036;
  constexpr int16_t kT2 = 27146;
  constexpr int16_t kT3 = -21746;
  constexpr int16_t kT4 = -19195;

  __m128i t1, t7, t3, t5, t2, t6, even, odd;
  if constexpr (kUpperOnly) {
    t1 = x[1];
    t7 = MulHigh(x[1], kT1);
    t3 = x[3];
    t5 = Sub(_mm_setzero_si128(), Add(MulHigh(x[3], kT3), x[3]));
    t2 = x[2];
    t6 = MulHigh(x[2], kT2);
    even = x[0];
    odd = x[0];
  } else {
    t1 = Add(x[1], MulHigh(x[7], kT1));
    t7 = Sub(MulHigh(x[1], kT1), x[7]);
    t3 = Add(Add(MulHigh(x[5], kT3), x[5]), x[3]);
    t5 = Sub(x[5], Add(MulHigh(x[3], kT3), x[3]));
    t2 = Add(MulHigh(x[6], kT2), x[2]);
    t6 = Sub(MulHigh(x[2], kT2), x[6]);
    even = Add(x[0], x[4]);
    odd = Sub(x[0], x[4]);
  }
  const __m128i b0 = Add(t3, t1);
  const __m128i u = Sub(t1, t3);
  const __m128i v = Sub(t7, t5);
  const __m128i b3 = Add(t7, t5);
  const __m128i sum = Add(u, v);
  const __m128i difference = Sub(u, v);
  const __m128i b1 = Add(sum, MulHigh(sum, kT4));
  const __m128i b2 = Add(MulHigh(difference, kT4), difference);

  const __m128i a0 = Add(even, t2);
  const __m128i a3 = Sub(even, t2);
  const __m128i a1 = Add(odd, t6);
  const __m128i a2 = Sub(odd, t6);

  x[0] = _mm_srai_epi16(Add(b0, a0), 5);
  x[1] = _mm_srai_epi16(Add(a1, b1), 5);
  x[2] = _mm_srai_epi16(Add(a2, b2), 5);
  x[3] = _mm_srai_epi16(Add(b3, a3), 5);
  x[4] = _mm_srai_epi16(Sub(a3, b3), 5);
  x[5] = _mm_srai_epi16(Sub(a2, b2), 5);
  x[6] = _mm_srai_epi16(Sub(a1, b1), 5);
  x[7] = _mm_srai_epi16(Sub(a0, b0), 5);
}

// The whole transform into eight rows.  Two shapes are told apart, as in
// the SSE2 form: rows 4 to 7 zero (their row-pass outputs are then zero,
// their rounding terms being below 4096) or not.
[[gnu::always_inline]] inline void Transform(const int16_t* input, __m128i (&rows)[8],
                                             uint32_t nonzero) {
  static_assert((kRowRounding[4] >> 12) == 0 && (kRowRounding[5] >> 12) == 0 &&
                (kRowRounding[6] >> 12) == 0 && (kRowRounding[7] >> 12) == 0);
  Split(RowPair<0>(input), rows[0], rows[1]);
  Split(RowPair<1>(input), rows[2], rows[3]);
  if ((nonzero & 0xF0) == 0) {
    rows[4] = rows[5] = rows[6] = rows[7] = _mm_setzero_si128();
    ColumnPass<true>(rows);
  } else {
    Split(RowPair<2>(input), rows[4], rows[5]);
    Split(RowPair<3>(input), rows[6], rows[7]);
    ColumnPass<false>(rows);
  }
}

inline void StoreRows(const __m128i (&rows)[8], int16_t* output) {
  for (int r = 0; r < 8; ++r) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 8 * r), rows[r]);
  }
}

// The high eight bytes of v at p (any alignment).
inline void StoreHigh8(uint8_t* p, __m128i v) {
  std::memcpy(p, reinterpret_cast<const char*>(&v) + 8, 8);
}

// A row of eight picture samples with eight 16-bit values added, clamped
// (the saturating add cannot change the clamped result).
inline void AddRow(uint8_t* line, __m128i values) {
  const __m128i samples =
      _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line)));
  const __m128i sum = _mm_adds_epi16(samples, values);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(line), _mm_packus_epi16(sum, sum));
}

}  // namespace

void InverseDct(const int16_t* input, int16_t* output) {
  __m128i rows[8];
  Transform(input, rows, 0xFF);
  StoreRows(rows, output);
}

void InverseDctRows(const int16_t* input, int16_t* output, uint32_t nonzero) {
  __m128i rows[8];
  Transform(input, rows, nonzero);
  StoreRows(rows, output);
}

void InverseDctStore(const int16_t* block, uint32_t nonzero, uint8_t* destination,
                     int32_t stride) {
  __m128i rows[8];
  Transform(block, rows, nonzero);
  const std::ptrdiff_t s = stride;
  for (int r = 0; r < 8; r += 2) {
    const __m128i bytes = _mm_packus_epi16(rows[r], rows[r + 1]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + s * r), bytes);
    StoreHigh8(destination + s * (r + 1), bytes);
  }
}

void InverseDctAdd(const int16_t* input, uint32_t nonzero, uint8_t* destination, int32_t stride) {
  __m128i rows[8];
  Transform(input, rows, nonzero);
  const std::ptrdiff_t s = stride;
  for (int r = 0; r < 8; ++r) AddRow(destination + s * r, rows[r]);
}

}  // namespace tavrin::reconstruction::avx2

#endif  // TAVRIN_AVX2_FORMS
