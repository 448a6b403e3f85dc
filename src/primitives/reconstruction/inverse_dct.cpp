#include "primitives/reconstruction/inverse_dct.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin::reconstruction {
namespace {

// Row-pass multipliers: round(16384 * g * w_j) with w_4 = 1, w_j = sqrt(2)
// cos(j pi / 16), and the row's prescale g = 1 (rows 0, 4) or sqrt(2)
// cos(m pi / 16) with m = 1 (rows 1, 7), 2 (rows 2, 6), 3 (rows 3, 5).
struct RowConstants {
  int32_t k4, k2, k6, k1, k3, k5, k7;
};

constexpr std::array<RowConstants, 4> kRowConstantsByPrescale{{
    {16384, 21407, 8867, 22725, 19266, 12873, 4520},
    {22725, 29692, 12299, 31521, 26722, 17855, 6270},
    {21407, 27969, 11585, 29692, 25172, 16819, 5906},
    {19266, 25172, 10426, 26722, 22654, 15137, 5315},
}};

constexpr std::array<int32_t, 8> kPrescaleOfRow{0, 1, 2, 3, 0, 3, 2, 1};

// Added to the even sums of each row before the shift: row 0's 16 << 12 is
// the final rounding of the whole transform, the others trim its bias.
constexpr std::array<int32_t, 8> kRowRounding{65536, 5802, 4520, 3408, 2048, 910, 1024, 746};

// Column-pass multipliers (fractions of 65536): tan(pi/16), tan(pi/8),
// tan(3pi/16) - 1 and cos(pi/4) - 1.
constexpr int16_t kT1 = 13036;
constexpr int16_t kT2 = 27146;
constexpr int16_t kT3 = -21746;
constexpr int16_t kT4 = -19195;

int16_t Saturate16(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

int16_t Add(int16_t a, int16_t b) { return Saturate16(int32_t{a} + b); }
int16_t Sub(int16_t a, int16_t b) { return Saturate16(int32_t{a} - b); }
int16_t MulHigh(int16_t a, int16_t b) { return static_cast<int16_t>((int32_t{a} * b) >> 16); }

// The 32-bit sums wrap like the processor's 32-bit adds; the product sums
// are formed in 64 bits and reduced modulo 2^32 once, which gives the same
// value.
int16_t RowOutput(int64_t sum) { return Saturate16(static_cast<int32_t>(sum) >> 12); }

void RowPass(const int16_t* x, int16_t* out, int32_t row) {
  const RowConstants& k = kRowConstantsByPrescale[static_cast<std::size_t>(kPrescaleOfRow[row])];
  const int64_t r = kRowRounding[static_cast<std::size_t>(row)];
  const int64_t x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3];
  const int64_t x4 = x[4], x5 = x[5], x6 = x[6], x7 = x[7];
  const int64_t e0 = k.k4 * x0 + k.k2 * x2 + k.k4 * x4 + k.k6 * x6 + r;
  const int64_t e1 = k.k4 * x0 + k.k6 * x2 - k.k4 * x4 - k.k2 * x6 + r;
  const int64_t e2 = k.k4 * x0 - k.k6 * x2 - k.k4 * x4 + k.k2 * x6 + r;
  const int64_t e3 = k.k4 * x0 - k.k2 * x2 + k.k4 * x4 - k.k6 * x6 + r;
  const int64_t o0 = k.k1 * x1 + k.k3 * x3 + k.k5 * x5 + k.k7 * x7;
  const int64_t o1 = k.k3 * x1 - k.k7 * x3 - k.k1 * x5 - k.k5 * x7;
  const int64_t o2 = k.k5 * x1 - k.k1 * x3 + k.k7 * x5 + k.k3 * x7;
  const int64_t o3 = k.k7 * x1 - k.k5 * x3 + k.k3 * x5 - k.k1 * x7;
  out[0] = RowOutput(e0 + o0);
  out[1] = RowOutput(e1 + o1);
  out[2] = RowOutput(e2 + o2);
  out[3] = RowOutput(e3 + o3);
  out[4] = RowOutput(e3 - o3);
  out[5] = RowOutput(e2 - o2);
  out[6] = RowOutput(e1 - o1);
  out[7] = RowOutput(e0 - o0);
}

// One column of the row-pass output, read and written with a stride of 8.
void ColumnPass(const int16_t* x, int16_t* out) {
  const int16_t x0 = x[0], x1 = x[8], x2 = x[16], x3 = x[24];
  const int16_t x4 = x[32], x5 = x[40], x6 = x[48], x7 = x[56];

  const int16_t t1 = Add(x1, MulHigh(x7, kT1));
  const int16_t t7 = Sub(MulHigh(x1, kT1), x7);
  const int16_t t3 = Add(Add(MulHigh(x5, kT3), x5), x3);
  const int16_t t5 = Sub(x5, Add(MulHigh(x3, kT3), x3));
  const int16_t b0 = Add(t3, t1);
  const int16_t u = Sub(t1, t3);
  const int16_t v = Sub(t7, t5);
  const int16_t b3 = Add(t7, t5);
  const int16_t sum = Add(u, v);
  const int16_t difference = Sub(u, v);
  const int16_t b1 = Add(sum, MulHigh(sum, kT4));
  const int16_t b2 = Add(MulHigh(difference, kT4), difference);

  const int16_t t2 = Add(MulHigh(x6, kT2), x2);
  const int16_t t6 = Sub(MulHigh(x2, kT2), x6);
  const int16_t even = Add(x0, x4);
  const int16_t odd = Sub(x0, x4);
  const int16_t a0 = Add(even, t2);
  const int16_t a3 = Sub(even, t2);
  const int16_t a1 = Add(odd, t6);
  const int16_t a2 = Sub(odd, t6);

  out[0] = static_cast<int16_t>(Add(b0, a0) >> 5);
  out[8] = static_cast<int16_t>(Add(a1, b1) >> 5);
  out[16] = static_cast<int16_t>(Add(a2, b2) >> 5);
  out[24] = static_cast<int16_t>(Add(b3, a3) >> 5);
  out[32] = static_cast<int16_t>(Sub(a3, b3) >> 5);
  out[40] = static_cast<int16_t>(Sub(a2, b2) >> 5);
  out[48] = static_cast<int16_t>(Sub(a1, b1) >> 5);
  out[56] = static_cast<int16_t>(Sub(a0, b0) >> 5);
}

}  // namespace

void InverseDct(const int16_t* input, int16_t* output) {
  alignas(16) int16_t rows[64];
  for (int32_t r = 0; r < 8; ++r) RowPass(input + 8 * r, rows + 8 * r, r);
  for (int32_t k = 0; k < 8; ++k) ColumnPass(rows + k, output + k);
}

// The portable form transforms every row; zero rows cost it little.
void InverseDctRows(const int16_t* input, int16_t* output, uint32_t) { InverseDct(input, output); }

void InverseDctStore(const int16_t* block, uint32_t, uint8_t* destination, int32_t stride) {
  alignas(16) int16_t out[64];
  InverseDct(block, out);
  for (int32_t r = 0; r < 8; ++r) {
    uint8_t* line = destination + static_cast<std::ptrdiff_t>(r) * stride;
    for (int32_t c = 0; c < 8; ++c) {
      line[c] = static_cast<uint8_t>(std::clamp<int32_t>(out[8 * r + c], 0, 255));
    }
  }
}

namespace {
// Adds 64 values (raster order) to the 8x8 samples at destination, each sum
// clamped to 0..255.
void AddClamped(const int16_t* values, uint8_t* destination, int32_t stride) {
  for (int32_t r = 0; r < 8; ++r) {
    uint8_t* line = destination + static_cast<std::ptrdiff_t>(r) * stride;
    for (int32_t c = 0; c < 8; ++c) {
      line[c] = static_cast<uint8_t>(std::clamp<int32_t>(line[c] + values[8 * r + c], 0, 255));
    }
  }
}
}  // namespace

void InverseDctAdd(const int16_t* input, uint32_t, uint8_t* destination, int32_t stride) {
  alignas(16) int16_t out[64];
  InverseDct(input, out);
  AddClamped(out, destination, stride);
}

void AddFlat(int16_t value, uint8_t* destination, int32_t stride) {
  int16_t values[64];
  std::fill(values, values + 64, value);
  AddClamped(values, destination, stride);
}

}  // namespace tavrin::reconstruction
