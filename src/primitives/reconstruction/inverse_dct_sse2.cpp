// The 8x8 inverse DCT with SSE2, giving exactly the outputs of the portable
// transform in inverse_dct.cpp.
//
// Row pass: one row per step.  The row's inputs are regrouped into the
// pairs (X0, X2), (X1, X3), (X4, X6), (X5, X7); each pair, broadcast to four
// 32-bit lanes, meets a table of constant pairs in one multiply-add, so
// that the four lanes hold the even sums e0..e3 or the odd sums o0..o3.  A
// multiply-add of 16-bit values with these constants cannot overflow, and
// the further 32-bit adds wrap exactly like the portable sums.  The outputs
// (e ± o) >> 12 are saturated to 16 bits by the pack.
//
// Column pass: all eight columns at once, one row of the row-pass output
// per register, with the saturating 16-bit adds and the high-half multiplies
// the transform is defined with.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "primitives/blockcopy/sse2_rows.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/inverse_dct_tables.h"
#include "primitives/reconstruction/reconstruction.h"

namespace tavrin::reconstruction::sse2 {
namespace {

using namespace idct_tables;

inline __m128i LoadTable(const int16_t (&t)[8]) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(t));
}

// One row, its number known at compile time so that the tables and the
// rounding term are constants.
template <int kRow>
inline __m128i RowPass(const int16_t* x) {
  const RowTables& t = kRowTables[static_cast<std::size_t>(kPrescaleOfRow[kRow])];
  const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * kRow));
  // Words X0 X2 X1 X3 X4 X6 X5 X7: the 32-bit lanes hold the four pairs.
  const __m128i pairs = _mm_shufflehi_epi16(_mm_shufflelo_epi16(in, _MM_SHUFFLE(3, 1, 2, 0)),
                                            _MM_SHUFFLE(3, 1, 2, 0));
  const __m128i p02 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128i p13 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(1, 1, 1, 1));
  const __m128i p46 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(2, 2, 2, 2));
  const __m128i p57 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128i even = _mm_add_epi32(
      _mm_add_epi32(_mm_madd_epi16(p02, LoadTable(t.x0x2)), _mm_madd_epi16(p46, LoadTable(t.x4x6))),
      _mm_set1_epi32(kRowRounding[kRow]));
  const __m128i odd =
      _mm_add_epi32(_mm_madd_epi16(p13, LoadTable(t.x1x3)), _mm_madd_epi16(p57, LoadTable(t.x5x7)));
  const __m128i first = _mm_srai_epi32(_mm_add_epi32(even, odd), 12);  // x0 x1 x2 x3
  const __m128i last = _mm_srai_epi32(_mm_sub_epi32(even, odd), 12);   // x7 x6 x5 x4
  return _mm_packs_epi32(first, _mm_shuffle_epi32(last, _MM_SHUFFLE(0, 1, 2, 3)));
}

inline __m128i Add(__m128i a, __m128i b) { return _mm_adds_epi16(a, b); }
inline __m128i Sub(__m128i a, __m128i b) { return _mm_subs_epi16(a, b); }
inline __m128i MulHigh(__m128i a, int16_t c) { return _mm_mulhi_epi16(a, _mm_set1_epi16(c)); }

// The column pass over the eight row-pass output rows x[0..7], in place.
// With kUpperOnly, x[4..7] are zero (the row-pass outputs of zero rows 4 to
// 7) and the terms they would add or subtract are left out: a saturating
// add or subtract of zero changes nothing.
template <bool kUpperOnly = false>
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

// A zero row's row-pass outputs: every lane is its rounding term >> 12.
constexpr int16_t ZeroRowOutput(int r) { return static_cast<int16_t>(kRowRounding[r] >> 12); }

// The row pass of the rows named in kRowMask; the others take their
// constant outputs.  Unrolled, so that each row's tables and constants are
// fixed.
template <uint32_t kRowMask, int... kRows>
[[gnu::always_inline]] inline void RowPasses(const int16_t* input, __m128i (&rows)[8],
                                             std::integer_sequence<int, kRows...>) {
  ((rows[kRows] = (kRowMask >> kRows) & 1 ? RowPass<kRows>(input)
                                           : _mm_set1_epi16(ZeroRowOutput(kRows))),
   ...);
}

[[gnu::always_inline]] inline void Transform(const int16_t* input, __m128i (&rows)[8]) {
  RowPasses<0xFF>(input, rows, std::make_integer_sequence<int, 8>{});
  ColumnPass(rows);
}

// The same told which rows may be nonzero.  Only two shapes are told apart,
// the lower half zero or not: a branch per row costs more in mispredictions
// than the row passes it saves, since sparse blocks hold their few
// coefficients in any row.
[[gnu::always_inline]] inline void Transform(const int16_t* input, __m128i (&rows)[8],
                                             uint32_t nonzero) {
  if ((nonzero & 0xF0) == 0) {
    // Zero rows 4 to 7 give zero row-pass outputs (their rounding terms are
    // below 4096).
    static_assert(ZeroRowOutput(4) == 0 && ZeroRowOutput(5) == 0 && ZeroRowOutput(6) == 0 &&
                  ZeroRowOutput(7) == 0);
    RowPasses<0x0F>(input, rows, std::make_integer_sequence<int, 8>{});
    ColumnPass<true>(rows);
  } else {
    Transform(input, rows);
  }
}
}  // namespace

void InverseDct(const int16_t* input, int16_t* output) {
  __m128i rows[8];
  Transform(input, rows);
  for (int r = 0; r < 8; ++r) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 8 * r), rows[r]);
  }
}

void InverseDctRows(const int16_t* input, int16_t* output, uint32_t nonzero) {
  __m128i rows[8];
  Transform(input, rows, nonzero);
  for (int r = 0; r < 8; ++r) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 8 * r), rows[r]);
  }
}

void InverseDctStore(const int16_t* block, uint32_t nonzero, uint8_t* destination,
                     int32_t stride) {
  __m128i rows[8];
  Transform(block, rows, nonzero);
  const std::ptrdiff_t s = stride;
  for (int r = 0; r < 8; r += 2) {
    const __m128i bytes = _mm_packus_epi16(rows[r], rows[r + 1]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + s * r), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + s * (r + 1)),
                     _mm_unpackhi_epi64(bytes, bytes));
  }
}

namespace {
// A row of eight picture samples with eight 16-bit values added, clamped.
inline void AddRow(uint8_t* line, __m128i values) {
  using namespace blockcopy_sse2;
  Store8(line, AddResidualValues(Widen8(Load8(line)), values));
}
}  // namespace

void InverseDctAdd(const int16_t* input, uint32_t nonzero, uint8_t* destination, int32_t stride) {
  __m128i rows[8];
  Transform(input, rows, nonzero);
  const std::ptrdiff_t s = stride;
  for (int r = 0; r < 8; ++r) AddRow(destination + s * r, rows[r]);
}

void AddFlat(int16_t value, uint8_t* destination, int32_t stride) {
  const __m128i values = _mm_set1_epi16(value);
  const std::ptrdiff_t s = stride;
  for (int r = 0; r < 8; ++r) AddRow(destination + s * r, values);
}

}  // namespace tavrin::reconstruction::sse2

namespace tavrin::sse2 {

PrimitiveStatus InverseDct8x8(int16_t* block) {
  if (block == nullptr) return NullPointer;
  reconstruction::sse2::InverseDct(block, block);
  return Ok;
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
