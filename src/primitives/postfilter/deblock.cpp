// Deblocking of 8x8 block edges for the output post-filter (the
// post-processing deblocking filter of ISO/IEC 14496-2, Annex F).  Each call
// filters eight lines of ten samples that cross one edge of one block at
// right angles: s0..s4 before the edge, s5..s9 after it.
#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "primitives/postfilter/postfilter.h"

namespace tavrin::reference {
namespace {

// Division by 8 rounding halves away from zero.
inline int DivideBy8(int x) { return x >= 0 ? (x + 4) >> 3 : (x + 3) >> 3; }

// The default mode: only the two samples next to the edge move, towards
// each other, by at most half their difference.
void FilterDefault(const int (&s)[10], uint8_t* line, ptrdiff_t step, int32_t qp) {
  const int a0 = DivideBy8(2 * s[3] - 5 * s[4] + 5 * s[5] - 2 * s[6]);
  if (std::abs(a0) >= qp) return;
  const int a1 = DivideBy8(2 * s[1] - 5 * s[2] + 5 * s[3] - 2 * s[4]);
  const int a2 = DivideBy8(2 * s[5] - 5 * s[6] + 5 * s[7] - 2 * s[8]);
  const int smallest = std::min({std::abs(a0), std::abs(a1), std::abs(a2)});
  const int m = a0 < 0 ? -smallest : smallest;
  if (m == a0) return;
  int d = DivideBy8(5 * (m - a0));
  if (s[4] < s[5]) {
    d = std::clamp(d, -((s[5] - s[4]) >> 1), 0);
  } else {
    d = std::clamp(d, 0, (s[4] - s[5]) >> 1);
  }
  line[4 * step] = static_cast<uint8_t>(s[4] - d);
  line[5 * step] = static_cast<uint8_t>(s[5] + d);
}

// The flat-region mode: s1..s8 are replaced by a smoothing whose taps reach
// s0 and s9 only when those continue the flat run.
void FilterFlat(const int (&s)[10], uint8_t* line, ptrdiff_t step, int32_t qp) {
  const auto [low, high] = std::minmax_element(s + 1, s + 9);
  // Twice the quantiser in 64 bits: the quantiser is used as given.
  if (*high - *low >= 2 * static_cast<int64_t>(qp)) return;
  const int e0 = std::abs(s[0] - s[1]) < qp ? s[0] : s[1];
  const int e9 = std::abs(s[8] - s[9]) < qp ? s[9] : s[8];
  const int out[8] = {
      6 * e0 + 4 * s[1] + 2 * s[2] + 2 * s[3] + s[4] + s[5],
      4 * e0 + 2 * s[1] + 4 * s[2] + 2 * s[3] + 2 * s[4] + s[5] + s[6],
      2 * e0 + 2 * s[1] + 2 * s[2] + 4 * s[3] + 2 * s[4] + 2 * s[5] + s[6] + s[7],
      e0 + s[1] + 2 * s[2] + 2 * s[3] + 4 * s[4] + 2 * s[5] + 2 * s[6] + s[7] + s[8],
      s[1] + s[2] + 2 * s[3] + 2 * s[4] + 4 * s[5] + 2 * s[6] + 2 * s[7] + s[8] + e9,
      s[2] + s[3] + 2 * s[4] + 2 * s[5] + 4 * s[6] + 2 * s[7] + 2 * s[8] + 2 * e9,
      s[3] + s[4] + 2 * s[5] + 2 * s[6] + 4 * s[7] + 2 * s[8] + 4 * e9,
      s[4] + s[5] + 2 * s[6] + 2 * s[7] + 4 * s[8] + 6 * e9,
  };
  for (int k = 0; k < 8; ++k) line[(k + 1) * step] = static_cast<uint8_t>((out[k] + 8) >> 4);
}

// Filters the ten samples line[0], line[step], ..., line[9 * step].  Every
// new value comes from the ten values as they were on entry.
void FilterLine(uint8_t* line, ptrdiff_t step, int32_t qp, int32_t thr1, int32_t thr2) {
  int s[10];
  for (int k = 0; k < 10; ++k) s[k] = line[k * step];
  int eqCount = 0;
  for (int k = 0; k < 9; ++k) eqCount += std::abs(s[k] - s[k + 1]) <= thr1 ? 1 : 0;
  if (eqCount < thr2) {
    FilterDefault(s, line, step, qp);
  } else {
    FilterFlat(s, line, step, qp);
  }
}

}  // namespace

PrimitiveStatus DeblockHorizontalEdge(uint8_t* pixels, int32_t stride, int32_t quant, int32_t thr1,
                                      int32_t thr2) {
  if (pixels == nullptr) return NullPointer;
  const ptrdiff_t s = stride;
  for (int x = 0; x < 8; ++x) FilterLine(pixels + x - 5 * s, s, quant, thr1, thr2);
  return Ok;
}

PrimitiveStatus DeblockVerticalEdge(uint8_t* pixels, int32_t stride, int32_t quant, int32_t thr1,
                                    int32_t thr2) {
  if (pixels == nullptr) return NullPointer;
  const ptrdiff_t s = stride;
  for (int y = 0; y < 8; ++y) FilterLine(pixels + y * s - 5, 1, quant, thr1, thr2);
  return Ok;
}

}  // namespace tavrin::reference
