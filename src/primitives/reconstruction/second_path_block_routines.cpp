// The second reconstruction path's block routines.
//
// Both inverse transforms are the same two-pass butterfly (columns first,
// then rows) and differ in the precision of their constants and in how
// intermediate values are kept:
//  - the newer-processor version keeps every intermediate in 16 bits, with
//    15-bit constants; sums of 16-bit values wrap and the results of the
//    constant multiplications saturate, as 16-bit SIMD lanes would;
//  - the older-processor version uses 16-bit constants with 32-bit sums and
//    rounds its multiplications at bit 16.
// Their results can differ in the last bit; each follows its own arithmetic
// exactly.  Both end with a clamp to -16384..16383 of twice the row result
// and a shift by 6, so every output lies in -256..255.
#include "primitives/reconstruction/second_path_block_routines.h"

#include <cstdint>

#include "primitives/wrapping_arithmetic.h"

namespace tavrin {

constinit BlockRoutineSet blockRoutines;

namespace blockroutines {

namespace {

// Reduction modulo 2^16, read as signed.
inline int16_t Wrap16(int32_t v) { return static_cast<int16_t>(v); }

inline int16_t Sat16(int32_t v) {
  return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

// The last step of both row passes: twice the row result, wrapped to 16 bits
// (doubling before or after the wrap gives the same 16 bits), limited to
// -16384..16383, then >> 6.
inline int16_t Descale(int32_t z) {
  int32_t v = Wrap16(static_cast<int32_t>(static_cast<uint32_t>(z) * 2u));
  v = v < -16384 ? -16384 : v > 16383 ? 16383 : v;
  return static_cast<int16_t>(v >> 6);
}

// ---- Newer-processor version ----

constexpr int32_t kC1 = 22725;  // odd part
constexpr int32_t kC3 = 19265;
constexpr int32_t kC5 = 12873;
constexpr int32_t kC7 = 4520;
constexpr int32_t kC2 = 21406;  // even part
constexpr int32_t kC6 = 8867;
constexpr int32_t kC4 = 23170;

// (a·ca + b·cb + 2^14) >> 15; the products of 16-bit values and 15-bit
// constants and their sum stay inside 32 bits.
inline int32_t Round15(int32_t a, int32_t ca, int32_t b, int32_t cb) {
  return (a * ca + b * cb + 16384) >> 15;
}

// All eight columns at once, one row of values per step.
void ColumnPassNewer(int16_t* block) {
  int16_t s[8][8];
  for (int k = 0; k < 8; ++k) {
    for (int j = 0; j < 8; ++j) s[k][j] = Wrap16(block[8 * k + j] * 16);
  }
  for (int j = 0; j < 8; ++j) {
    const int16_t h = static_cast<int16_t>(Wrap16(s[0][j] + s[4][j] + 1) >> 1);
    const int16_t l = static_cast<int16_t>(Wrap16(s[0][j] - s[4][j]) >> 1);
    const int16_t t = Sat16(Round15(s[2][j], kC2, s[6][j], kC6));
    const int16_t u = Sat16(Round15(s[2][j], kC6, s[6][j], -kC2));
    const int16_t e0 = Wrap16(h + t);
    const int16_t e3 = Wrap16(h - t);
    const int16_t e1 = Wrap16(l + u);
    const int16_t e2 = Wrap16(l - u);

    const int16_t i = Sat16(Round15(s[1][j], kC1, s[7][j], kC7));
    const int16_t k = Sat16(Round15(s[1][j], kC7, s[7][j], -kC1));
    const int16_t jj = Sat16(Round15(s[3][j], kC3, s[5][j], kC5));
    const int16_t ll = Sat16(Round15(s[5][j], kC3, s[3][j], -kC5));
    const int16_t d1 = Wrap16(i - jj);
    const int16_t d2 = Wrap16(k - ll);
    const int16_t s1 = Wrap16(i + jj);
    const int16_t s2 = Wrap16(k + ll);
    const int16_t q = Sat16(Round15(d1, kC4, d2, kC4));
    const int16_t r = Sat16(Round15(d1, kC4, d2, -kC4));

    block[0 * 8 + j] = Wrap16(e0 + s1);
    block[1 * 8 + j] = Wrap16(e1 + q);
    block[2 * 8 + j] = Wrap16(e2 + r);
    block[3 * 8 + j] = Wrap16(e3 + s2);
    block[4 * 8 + j] = Wrap16(e3 - s2);
    block[5 * 8 + j] = Wrap16(e2 - r);
    block[6 * 8 + j] = Wrap16(e1 - q);
    block[7 * 8 + j] = Wrap16(e0 - s1);
  }
}

void RowPassNewer(int16_t* row) {
  const int32_t y0 = row[0], y1 = row[1], y2 = row[2], y3 = row[3];
  const int32_t y4 = row[4], y5 = row[5], y6 = row[6], y7 = row[7];

  // The +15 and +16 fold the final rounding into the even part.
  const int32_t p0 = ((y0 + y4 + 1) >> 1) + 15;
  const int32_t p1 = ((y0 - y4) >> 1) + 16;
  // X2 and X3 use the negated constants rather than negated results, which
  // rounds differently.
  const int32_t x0 = Sat16(p0 + Round15(y2, kC2, y6, kC6));
  const int32_t x1 = Sat16(p1 + Round15(y2, kC6, y6, -kC2));
  const int32_t x2 = Sat16(p1 + Round15(y6, kC2, y2, -kC6));
  const int32_t x3 = Sat16(p0 + Round15(y2, -kC2, y6, -kC6));

  const int32_t a0 = Round15(y1, kC1, y7, kC7);
  const int32_t a1 = Round15(y1, kC7, y7, -kC1);
  const int32_t b0 = Round15(y3, -kC3, y5, -kC5);
  const int32_t b1 = Round15(y3, kC5, y5, -kC3);
  const int32_t b2 = Round15(y3, kC3, y5, kC5);
  const int32_t b3 = Round15(y5, kC3, y3, -kC5);
  const int32_t o0 = a0 + b0;
  const int32_t o1 = a1 + b1;
  const int32_t o2 = a0 + b2;
  const int32_t o3 = a1 + b3;
  const int32_t t0 = Round15(Sat16(o0), kC4, Sat16(o1), kC4);
  const int32_t t1 = Round15(Sat16(o0), kC4, Sat16(o1), -kC4);

  // The odd terms are saturated; subtracting one adds the saturated
  // negation of its 32-bit value.
  row[0] = Descale(x0 + Sat16(o2));
  row[1] = Descale(x1 + Sat16(t0));
  row[2] = Descale(x2 + Sat16(t1));
  row[3] = Descale(x3 + Sat16(o3));
  row[4] = Descale(x3 + Sat16(-o3));
  row[5] = Descale(x2 + Sat16(-t1));
  row[6] = Descale(x1 + Sat16(-t0));
  row[7] = Descale(x0 + Sat16(-o2));
}

// ---- Older-processor version ----

// 32-bit two's-complement arithmetic throughout (wrapping_arithmetic.h).

// M(m, a, n, b) = (m·a + n·b + 2^15) >> 16.
inline int32_t M(int32_t m, int32_t a, int32_t n, int32_t b) {
  return Add32(Add32(Mul32(m, a), Mul32(n, b)), 32768) >> 16;
}

struct Butterfly {
  int32_t out[8];
};

// The shared butterfly of the older version, from h, l and the six inputs
// other than 0 and 4.
Butterfly ButterflyOlder(int32_t h, int32_t l, int32_t v1, int32_t v2, int32_t v3, int32_t v5,
                         int32_t v6, int32_t v7) {
  const int32_t t = M(42813, v2, 17734, v6);
  const int32_t u = M(17734, v2, -42813, v6);
  const int32_t i = M(45451, v1, 9041, v7);
  const int32_t k = M(9041, v1, -45451, v7);
  const int32_t j = M(38531, v3, 25746, v5);
  const int32_t l2 = M(38531, v5, -25746, v3);
  const int32_t e0 = Add32(h, t);
  const int32_t e3 = Sub32(h, t);
  const int32_t e1 = Add32(l, u);
  const int32_t e2 = Sub32(l, u);
  const int32_t s1 = Add32(i, j);
  const int32_t s2 = Add32(k, l2);
  const int32_t d1 = Wrap16(Sub32(i, j));
  const int32_t d2 = Wrap16(Sub32(k, l2));
  const int32_t q = Add32(Mul32(46341, Add32(d1, d2)), 32768) >> 16;
  const int32_t r = Add32(Mul32(46341, Sub32(d1, d2)), 32768) >> 16;
  return Butterfly{{Add32(e0, s1), Add32(e1, q), Add32(e2, r), Add32(e3, s2), Sub32(e3, s2),
                    Sub32(e2, r), Sub32(e1, q), Sub32(e0, s1)}};
}

void ColumnPassOlder(int16_t* block) {
  for (int j = 0; j < 8; ++j) {
    int32_t s[8];
    for (int k = 0; k < 8; ++k) s[k] = Wrap16(block[8 * k + j] * 16);
    const int32_t h = (s[0] + s[4] + 1) >> 1;
    const int32_t l = (s[0] - s[4]) >> 1;
    const Butterfly b = ButterflyOlder(h, l, s[1], s[2], s[3], s[5], s[6], s[7]);
    for (int k = 0; k < 8; ++k) block[8 * k + j] = Wrap16(b.out[k]);
  }
}

void RowPassOlder(int16_t* row) {
  const int32_t y0 = row[0];
  const int32_t y4 = row[4];
  const int32_t h = ((y0 + y4 + 1) >> 1) + 15;
  const int32_t l = ((y0 - y4) >> 1) + 16;
  const Butterfly b = ButterflyOlder(h, l, row[1], row[2], row[3], row[5], row[6], row[7]);
  for (int k = 0; k < 8; ++k) row[k] = Descale(b.out[k]);
}

}  // namespace

void InverseTransformNewer(int16_t* block) {
  ColumnPassNewer(block);
  for (int i = 0; i < 8; ++i) RowPassNewer(block + 8 * i);
}

void InverseTransformOlder(int16_t* block) {
  ColumnPassOlder(block);
  for (int i = 0; i < 8; ++i) RowPassOlder(block + 8 * i);
}

void StoreClamped(uint8_t* destination, const int16_t* block, int32_t stride) {
  for (int r = 0; r < 8; ++r) {
    uint8_t* out = destination + static_cast<intptr_t>(r) * stride;
    for (int k = 0; k < 8; ++k) {
      const int32_t v = block[8 * r + k];
      out[k] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
}

void TransformAndStore(uint8_t* destination, int16_t* block, int32_t stride) {
  blockRoutines.inverseTransform(block);
  blockRoutines.storeClamped(destination, block, stride);
}

// Nothing to do: on x86-64, and on every other target this library builds
// for, the SIMD registers are separate from the floating-point registers, so
// there is no shared register state to hand back before floating-point code
// runs.  The routine stays so that the second path's call sequence is the
// same on every target.
void EndSimdState() {}

}  // namespace blockroutines
}  // namespace tavrin
