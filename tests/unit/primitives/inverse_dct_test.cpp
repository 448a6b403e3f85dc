// The 8x8 inverse DCT (slot 40 and the store form the intra primitives use):
// exact agreement with a plain re-computation of its fixed-point arithmetic,
// its flat and zero blocks, and its distance from a true inverse DCT.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"

namespace {

using namespace tavrin;

// ---- A plain re-computation, constants derived from their definition ----

class PlainTransform {
 public:
  PlainTransform() {
    const double pi = std::acos(-1.0);
    double w[8];
    w[4] = 1.0;
    for (int j : {1, 2, 3, 5, 6, 7}) w[j] = std::sqrt(2.0) * std::cos(j * pi / 16);
    const int prescale[8] = {0, 1, 2, 3, 0, 3, 2, 1};
    for (int r = 0; r < 8; ++r) {
      const int m = prescale[r];
      const double g = m == 0 ? 1.0 : std::sqrt(2.0) * std::cos(m * pi / 16);
      for (int j = 1; j < 8; ++j) k_[r][j] = static_cast<int32_t>(std::lround(16384 * g * w[j]));
    }
  }

  int32_t k(int row, int j) const { return k_[row][j]; }

  void Run(const int16_t* in, int16_t* out) const {
    static const int32_t rounding[8] = {65536, 5802, 4520, 3408, 2048, 910, 1024, 746};
    int16_t mid[64];
    for (int r = 0; r < 8; ++r) {
      const int16_t* X = in + 8 * r;
      const int32_t* kk = k_[r];
      // 32-bit arithmetic that wraps: unsigned sums of the products.
      auto p = [](int32_t c, int16_t x) { return static_cast<uint32_t>(c * x); };
      const uint32_t R = static_cast<uint32_t>(rounding[r]);
      const uint32_t e0 = p(kk[4], X[0]) + p(kk[2], X[2]) + p(kk[4], X[4]) + p(kk[6], X[6]) + R;
      const uint32_t e1 = p(kk[4], X[0]) + p(kk[6], X[2]) - p(kk[4], X[4]) - p(kk[2], X[6]) + R;
      const uint32_t e2 = p(kk[4], X[0]) - p(kk[6], X[2]) - p(kk[4], X[4]) + p(kk[2], X[6]) + R;
      const uint32_t e3 = p(kk[4], X[0]) - p(kk[2], X[2]) + p(kk[4], X[4]) - p(kk[6], X[6]) + R;
      const uint32_t o0 = p(kk[1], X[1]) + p(kk[3], X[3]) + p(kk[5], X[5]) + p(kk[7], X[7]);
      const uint32_t o1 = p(kk[3], X[1]) - p(kk[7], X[3]) - p(kk[1], X[5]) - p(kk[5], X[7]);
      const uint32_t o2 = p(kk[5], X[1]) - p(kk[1], X[3]) + p(kk[7], X[5]) + p(kk[3], X[7]);
      const uint32_t o3 = p(kk[7], X[1]) - p(kk[5], X[3]) + p(kk[3], X[5]) - p(kk[1], X[7]);
      const uint32_t s[8] = {e0 + o0, e1 + o1, e2 + o2, e3 + o3, e3 - o3, e2 - o2, e1 - o1, e0 - o0};
      for (int n = 0; n < 8; ++n) mid[8 * r + n] = Sat(static_cast<int32_t>(s[n]) >> 12);
    }
    for (int c = 0; c < 8; ++c) {
      int16_t x[8];
      for (int i = 0; i < 8; ++i) x[i] = mid[8 * i + c];
      const int16_t T1 = 13036, T2 = 27146, T3 = -21746, T4 = -19195;
      int16_t t1 = A(x[1], H(x[7], T1));
      int16_t t7 = S(H(x[1], T1), x[7]);
      int16_t t3 = A(A(H(x[5], T3), x[5]), x[3]);
      int16_t t5 = S(x[5], A(H(x[3], T3), x[3]));
      int16_t b0 = A(t3, t1), u = S(t1, t3), v = S(t7, t5), b3 = A(t7, t5);
      int16_t b1 = A(A(u, v), H(A(u, v), T4));
      int16_t b2 = A(H(S(u, v), T4), S(u, v));
      int16_t t2 = A(H(x[6], T2), x[2]);
      int16_t t6 = S(H(x[2], T2), x[6]);
      int16_t a0 = A(A(x[0], x[4]), t2), a3 = S(A(x[0], x[4]), t2);
      int16_t a1 = A(S(x[0], x[4]), t6), a2 = S(S(x[0], x[4]), t6);
      const int16_t y[8] = {A(b0, a0), A(a1, b1), A(a2, b2), A(b3, a3),
                            S(a3, b3), S(a2, b2), S(a1, b1), S(a0, b0)};
      for (int i = 0; i < 8; ++i) out[8 * i + c] = static_cast<int16_t>(y[i] >> 5);
    }
  }

 private:
  static int16_t Sat(int32_t v) { return static_cast<int16_t>(std::min(32767, std::max(-32768, v))); }
  static int16_t A(int16_t a, int16_t b) { return Sat(a + b); }
  static int16_t S(int16_t a, int16_t b) { return Sat(a - b); }
  static int16_t H(int16_t a, int16_t b) { return static_cast<int16_t>((a * b) >> 16); }
  int32_t k_[8][8] = {};
};

const PlainTransform& Plain() {
  static const PlainTransform t;
  return t;
}

TEST(InverseDct, RowConstantsAreTheListedOnes) {
  const int j[7] = {4, 2, 6, 1, 3, 5, 7};
  const int row0[7] = {16384, 21407, 8867, 22725, 19266, 12873, 4520};
  const int row1[7] = {22725, 29692, 12299, 31521, 26722, 17855, 6270};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Plain().k(0, j[i]), row0[i]);
    EXPECT_EQ(Plain().k(4, j[i]), row0[i]);
    EXPECT_EQ(Plain().k(1, j[i]), row1[i]);
    EXPECT_EQ(Plain().k(7, j[i]), row1[i]);
  }
}

void RandomBlock(std::mt19937& rng, int kind, int16_t* b) {
  std::fill(b, b + 64, int16_t{0});
  auto uniform = [&](int lo, int hi) {
    return static_cast<int16_t>(lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1)));
  };
  switch (kind) {
    case 0:  // the full 16-bit range
      for (int i = 0; i < 64; ++i) b[i] = static_cast<int16_t>(rng());
      break;
    case 1:  // dequantised range
      for (int i = 0; i < 64; ++i) b[i] = uniform(-2048, 2047);
      break;
    case 2:  // a few coefficients, as coded blocks have
      for (int n = static_cast<int>(rng() % 6); n >= 0; --n) b[rng() % 64] = uniform(-2048, 2047);
      break;
    case 3:  // extremes only
      for (int i = 0; i < 64; ++i) {
        const int16_t e[5] = {-32768, 32767, -2048, 2047, 0};
        b[i] = e[rng() % 5];
      }
      break;
    default:  // small values
      for (int i = 0; i < 64; ++i) b[i] = uniform(-40, 40);
      break;
  }
}

TEST(InverseDct, EqualsThePlainArithmeticOnRandomBlocks) {
  std::mt19937 rng(7);
  for (int iter = 0; iter < 40000; ++iter) {
    int16_t in[64], want[64], got[64];
    RandomBlock(rng, iter % 5, in);
    Plain().Run(in, want);
    std::copy(in, in + 64, got);
    ASSERT_EQ(reference::InverseDct8x8(got), Ok);
    ASSERT_TRUE(std::equal(want, want + 64, got)) << "block " << iter;

    // Store form: saturated to 0..255, strided, nothing around it touched.
    uint8_t picture[12 * 20];
    std::fill(std::begin(picture), std::end(picture), uint8_t{0xA5});
    reconstruction::InverseDctStore(in, 0xFF, picture + 2 * 20 + 3, 20);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 20; ++x) {
        const bool inside = y >= 2 && y < 10 && x >= 3 && x < 11;
        const int expected =
            inside ? std::clamp<int>(want[8 * (y - 2) + (x - 3)], 0, 255) : 0xA5;
        ASSERT_EQ(picture[20 * y + x], expected) << iter << " at " << x << "," << y;
      }
    }
  }
}

TEST(InverseDct, ZeroBlockStaysZeroInBothForms) {
  int16_t block[64] = {};
  ASSERT_EQ(reference::InverseDct8x8(block), Ok);
  EXPECT_TRUE(std::all_of(block, block + 64, [](int16_t v) { return v == 0; }));
  uint8_t pixels[64];
  std::fill(std::begin(pixels), std::end(pixels), uint8_t{9});
  reconstruction::InverseDctStore(block, 0xFF, pixels, 8);
  EXPECT_TRUE(std::all_of(pixels, pixels + 64, [](uint8_t v) { return v == 0; }));
}

TEST(InverseDct, DcOnlyBlockIsFlatAlongEveryRow) {
  for (int dc = -2048; dc <= 2047; ++dc) {
    int16_t block[64] = {static_cast<int16_t>(dc)};
    ASSERT_EQ(reference::InverseDct8x8(block), Ok);
    for (int r = 0; r < 8; ++r) {
      for (int c = 1; c < 8; ++c) ASSERT_EQ(block[8 * r + c], block[8 * r]) << dc;
      ASSERT_LE(std::abs(block[8 * r] - ((dc + 4) >> 3)), 1) << dc;
    }
  }
}

TEST(InverseDct, NullBlock) { EXPECT_EQ(reference::InverseDct8x8(nullptr), NullPointer); }

// IEEE 1180-style comparison with a double-precision inverse DCT: random
// pixel blocks through a true forward DCT, rounded and clamped coefficients
// into both transforms, outputs clamped to -256..255.  The bounds are those
// of IEEE 1180; the numbers are printed for information.
TEST(InverseDct, StaysCloseToTheTrueTransform) {
  const double pi = std::acos(-1.0);
  double basis[8][8];
  for (int u = 0; u < 8; ++u) {
    for (int x = 0; x < 8; ++x) {
      basis[u][x] = (u == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * x + 1) * u * pi / 16);
    }
  }
  struct Range {
    int low, high;
  };
  for (const Range range : {Range{-256, 255}, Range{-5, 5}, Range{-300, 300}}) {
    for (int sign : {1, -1}) {
      std::mt19937 rng(static_cast<uint32_t>(range.high * 7 + sign + 10));
      const int blocks = 10000;
      double sumError[64] = {}, sumSquare[64] = {};
      int peak = 0;
      for (int n = 0; n < blocks; ++n) {
        double pixels[64], coefficients[64];
        for (double& p : pixels) {
          p = sign * (range.low + static_cast<int>(rng() % static_cast<uint32_t>(range.high - range.low + 1)));
        }
        int16_t input[64];
        for (int u = 0; u < 8; ++u) {
          for (int v = 0; v < 8; ++v) {
            double s = 0;
            for (int y = 0; y < 8; ++y) {
              for (int x = 0; x < 8; ++x) s += basis[u][y] * basis[v][x] * pixels[8 * y + x];
            }
            coefficients[8 * u + v] = std::clamp(std::round(s), -2048.0, 2047.0);
            input[8 * u + v] = static_cast<int16_t>(coefficients[8 * u + v]);
          }
        }
        int16_t fixed[64];
        std::copy(input, input + 64, fixed);
        reference::InverseDct8x8(fixed);
        for (int y = 0; y < 8; ++y) {
          for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int u = 0; u < 8; ++u) {
              for (int v = 0; v < 8; ++v) s += basis[u][y] * basis[v][x] * coefficients[8 * u + v];
            }
            const int want = static_cast<int>(std::clamp(std::round(s), -256.0, 255.0));
            const int got = std::clamp<int>(fixed[8 * y + x], -256, 255);
            const int e = got - want;
            peak = std::max(peak, std::abs(e));
            sumError[8 * y + x] += e;
            sumSquare[8 * y + x] += e * e;
          }
        }
      }
      double worstMse = 0, worstMean = 0, totalMse = 0, totalMean = 0;
      for (int i = 0; i < 64; ++i) {
        worstMse = std::max(worstMse, sumSquare[i] / blocks);
        worstMean = std::max(worstMean, std::abs(sumError[i]) / blocks);
        totalMse += sumSquare[i] / blocks / 64;
        totalMean += sumError[i] / blocks / 64;
      }
      std::printf("  range %d..%d sign %+d: peak %d, pixel mse %.4f, pixel mean %.4f, "
                  "overall mse %.4f, overall mean %.4f\n",
                  range.low, range.high, sign, peak, worstMse, worstMean, totalMse, totalMean);
      EXPECT_LE(peak, 1);
      EXPECT_LE(worstMse, 0.06);
      EXPECT_LE(worstMean, 0.015);
      EXPECT_LE(totalMse, 0.02);
      EXPECT_LE(std::abs(totalMean), 0.0015);
    }
  }
}

}  // namespace
