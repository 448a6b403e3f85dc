// The row-pass constants of the SIMD forms of the inverse DCT
// (inverse_dct.cpp gives their derivation), arranged as the multiply-add
// tables those forms use.  Data only, shared by the SSE2 and AVX2 files.
#pragma once

#include <cstdint>

namespace tavrin::reconstruction::idct_tables {

// Row-pass multipliers by prescale group (rows 0/4, 1/7, 2/6, 3/5), in the
// order k4, k2, k6, k1, k3, k5, k7.
inline constexpr int16_t kRowConstants[4][7] = {
    {16384, 21407, 8867, 22725, 19266, 12873, 4520},
    {22725, 29692, 12299, 31521, 26722, 17855, 6270},
    {21407, 27969, 11585, 29692, 25172, 16819, 5906},
    {19266, 25172, 10426, 26722, 22654, 15137, 5315},
};
inline constexpr int kPrescaleOfRow[8] = {0, 1, 2, 3, 0, 3, 2, 1};
inline constexpr int32_t kRowRounding[8] = {65536, 5802, 4520, 3408, 2048, 910, 1024, 746};

// The constant pairs of one prescale group: lane i of each table multiplies
// one input pair into the sum e_i (even tables) or o_i (odd tables).
struct alignas(16) RowTables {
  int16_t x0x2[8];
  int16_t x4x6[8];
  int16_t x1x3[8];
  int16_t x5x7[8];
};

consteval RowTables MakeRowTables(const int16_t (&k)[7]) {
  const int16_t k4 = k[0], k2 = k[1], k6 = k[2], k1 = k[3], k3 = k[4], k5 = k[5], k7 = k[6];
  auto n = [](int16_t v) { return static_cast<int16_t>(-v); };
  return RowTables{
      {k4, k2, k4, k6, k4, n(k6), k4, n(k2)},
      {k4, k6, n(k4), n(k2), n(k4), k2, k4, n(k6)},
      {k1, k3, k3, n(k7), k5, n(k1), k7, n(k5)},
      {k5, k7, n(k1), n(k5), k7, k3, k3, n(k1)},
  };
}

inline constexpr RowTables kRowTables[4] = {
    MakeRowTables(kRowConstants[0]), MakeRowTables(kRowConstants[1]),
    MakeRowTables(kRowConstants[2]), MakeRowTables(kRowConstants[3])};

}  // namespace tavrin::reconstruction::idct_tables
