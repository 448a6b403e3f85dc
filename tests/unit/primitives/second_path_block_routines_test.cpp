// The second path's block routines: both inverse transforms against a
// literal re-computation of their arithmetic and against a floating-point
// IDCT, the DC-only and all-zero properties, saturation, the clamped store
// and transform-and-store through the installed routines.
#include "primitives/reconstruction/second_path_block_routines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

using Block = std::array<int16_t, 64>;
namespace br = tavrin::blockroutines;

// ---- Literal re-computation, element by element, in 64-bit arithmetic ----

int64_t Wrap16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)); }
int64_t Wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v & 0xFFFFFFFF)); }
int64_t Sat16(int64_t v) { return std::clamp<int64_t>(v, -32768, 32767); }
int64_t Final(int64_t z) { return std::clamp<int64_t>(Wrap16(z), -16384, 16383) >> 6; }

Block ModelNewer(const Block& in) {
  Block mid{}, out{};
  for (int j = 0; j < 8; ++j) {
    int64_t s[8];
    for (int k = 0; k < 8; ++k) s[k] = Wrap16(in[8 * k + j] * 16);
    const int64_t h = Wrap16(s[0] + s[4] + 1) >> 1;
    const int64_t l = Wrap16(s[0] - s[4]) >> 1;
    const int64_t t = Sat16((21406 * s[2] + 8867 * s[6] + 16384) >> 15);
    const int64_t u = Sat16((8867 * s[2] - 21406 * s[6] + 16384) >> 15);
    const int64_t e0 = Wrap16(h + t), e3 = Wrap16(h - t), e1 = Wrap16(l + u), e2 = Wrap16(l - u);
    const int64_t i = Sat16((22725 * s[1] + 4520 * s[7] + 16384) >> 15);
    const int64_t k = Sat16((4520 * s[1] - 22725 * s[7] + 16384) >> 15);
    const int64_t jj = Sat16((19265 * s[3] + 12873 * s[5] + 16384) >> 15);
    const int64_t ll = Sat16((19265 * s[5] - 12873 * s[3] + 16384) >> 15);
    const int64_t d1 = Wrap16(i - jj), d2 = Wrap16(k - ll);
    const int64_t s1 = Wrap16(i + jj), s2 = Wrap16(k + ll);
    const int64_t q = Sat16((23170 * d1 + 23170 * d2 + 16384) >> 15);
    const int64_t r = Sat16((23170 * d1 - 23170 * d2 + 16384) >> 15);
    const int64_t col[8] = {e0 + s1, e1 + q, e2 + r, e3 + s2, e3 - s2, e2 - r, e1 - q, e0 - s1};
    for (int row = 0; row < 8; ++row) mid[8 * row + j] = static_cast<int16_t>(Wrap16(col[row]));
  }
  for (int row = 0; row < 8; ++row) {
    int64_t y[8];
    for (int c = 0; c < 8; ++c) y[c] = mid[8 * row + c];
    const int64_t p0 = ((y[0] + y[4] + 1) >> 1) + 15;
    const int64_t p1 = ((y[0] - y[4]) >> 1) + 16;
    const int64_t x0 = Sat16(p0 + ((21406 * y[2] + 8867 * y[6] + 16384) >> 15));
    const int64_t x1 = Sat16(p1 + ((8867 * y[2] - 21406 * y[6] + 16384) >> 15));
    const int64_t x2 = Sat16(p1 + ((21406 * y[6] - 8867 * y[2] + 16384) >> 15));
    const int64_t x3 = Sat16(p0 + ((-21406 * y[2] - 8867 * y[6] + 16384) >> 15));
    const int64_t a0 = (22725 * y[1] + 4520 * y[7] + 16384) >> 15;
    const int64_t a1 = (4520 * y[1] - 22725 * y[7] + 16384) >> 15;
    const int64_t b0 = (-19265 * y[3] - 12873 * y[5] + 16384) >> 15;
    const int64_t b1 = (12873 * y[3] - 19265 * y[5] + 16384) >> 15;
    const int64_t b2 = (19265 * y[3] + 12873 * y[5] + 16384) >> 15;
    const int64_t b3 = (19265 * y[5] - 12873 * y[3] + 16384) >> 15;
    const int64_t o0 = a0 + b0, o1 = a1 + b1, o2 = a0 + b2, o3 = a1 + b3;
    const int64_t t0 = (23170 * Sat16(o0) + 23170 * Sat16(o1) + 16384) >> 15;
    const int64_t t1 = (23170 * Sat16(o0) - 23170 * Sat16(o1) + 16384) >> 15;
    const int64_t z[8] = {x0 + Sat16(o2),  x1 + Sat16(t0),  x2 + Sat16(t1),  x3 + Sat16(o3),
                          x3 + Sat16(-o3), x2 + Sat16(-t1), x1 + Sat16(-t0), x0 + Sat16(-o2)};
    for (int c = 0; c < 8; ++c) out[8 * row + c] = static_cast<int16_t>(Final(2 * Wrap16(z[c])));
  }
  return out;
}

// (m·a + n·b + 32768) >> 16 in wrapping 32-bit arithmetic.
int64_t M(int64_t m, int64_t a, int64_t n, int64_t b) {
  return Wrap32(Wrap32(Wrap32(m * a) + Wrap32(n * b)) + 32768) >> 16;
}

// Steps 3 to 6 and the eight outputs of the older version's butterfly.
void OlderButterfly(int64_t h, int64_t l, const int64_t* v, int64_t* out) {
  const int64_t t = M(42813, v[2], 17734, v[6]);
  const int64_t u = M(17734, v[2], -42813, v[6]);
  const int64_t i = M(45451, v[1], 9041, v[7]);
  const int64_t k = M(9041, v[1], -45451, v[7]);
  const int64_t j = M(38531, v[3], 25746, v[5]);
  const int64_t l2 = M(38531, v[5], -25746, v[3]);
  const int64_t e0 = Wrap32(h + t), e3 = Wrap32(h - t), e1 = Wrap32(l + u), e2 = Wrap32(l - u);
  const int64_t s1 = Wrap32(i + j), s2 = Wrap32(k + l2);
  const int64_t d1 = Wrap16(i - j), d2 = Wrap16(k - l2);
  const int64_t q = Wrap32(Wrap32(46341 * Wrap32(d1 + d2)) + 32768) >> 16;
  const int64_t r = Wrap32(Wrap32(46341 * Wrap32(d1 - d2)) + 32768) >> 16;
  const int64_t o[8] = {e0 + s1, e1 + q, e2 + r, e3 + s2, e3 - s2, e2 - r, e1 - q, e0 - s1};
  for (int n = 0; n < 8; ++n) out[n] = Wrap32(o[n]);
}

Block ModelOlder(const Block& in) {
  Block mid{}, out{};
  for (int j = 0; j < 8; ++j) {
    int64_t s[8], o[8];
    for (int k = 0; k < 8; ++k) s[k] = Wrap16(in[8 * k + j] * 16);
    OlderButterfly((s[0] + s[4] + 1) >> 1, (s[0] - s[4]) >> 1, s, o);
    for (int row = 0; row < 8; ++row) mid[8 * row + j] = static_cast<int16_t>(Wrap16(o[row]));
  }
  for (int row = 0; row < 8; ++row) {
    int64_t y[8], o[8];
    for (int c = 0; c < 8; ++c) y[c] = mid[8 * row + c];
    OlderButterfly(((y[0] + y[4] + 1) >> 1) + 15, ((y[0] - y[4]) >> 1) + 16, y, o);
    for (int c = 0; c < 8; ++c) out[8 * row + c] = static_cast<int16_t>(Final(Wrap32(2 * o[c])));
  }
  return out;
}

Block RunNewer(Block b) {
  alignas(16) int16_t buf[64];
  std::copy(b.begin(), b.end(), buf);
  br::InverseTransformNewer(buf);
  std::copy(buf, buf + 64, b.begin());
  return b;
}

Block RunOlder(Block b) {
  alignas(16) int16_t buf[64];
  std::copy(b.begin(), b.end(), buf);
  br::InverseTransformOlder(buf);
  std::copy(buf, buf + 64, b.begin());
  return b;
}

// Random blocks of several kinds: typical sparse levels, full-range values
// that wrap and saturate, and the extremes.
Block RandomBlock(std::mt19937& rng, int kind) {
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  Block b{};
  for (int i = 0; i < 64; ++i) {
    switch (kind) {
      case 0: b[i] = static_cast<int16_t>(pick(0, 3) == 0 ? pick(-2048, 2047) / (1 + i) : 0); break;
      case 1: b[i] = static_cast<int16_t>(pick(-2048, 2047)); break;
      case 2: b[i] = static_cast<int16_t>(pick(-32768, 32767)); break;
      case 3: b[i] = static_cast<int16_t>(pick(0, 1) ? (pick(0, 1) ? 32767 : -32768) : 0); break;
      default: b[i] = static_cast<int16_t>(pick(0, 7) == 0 ? pick(-300, 300) : 0); break;
    }
  }
  return b;
}

TEST(InverseTransform, BothVersionsMatchTheirArithmeticOnRandomBlocks) {
  std::mt19937 rng(1234);
  for (int iter = 0; iter < 30000; ++iter) {
    const Block in = RandomBlock(rng, iter % 5);
    const Block newer = RunNewer(in), older = RunOlder(in);
    ASSERT_EQ(newer, ModelNewer(in)) << "iteration " << iter;
    ASSERT_EQ(older, ModelOlder(in)) << "iteration " << iter;
    for (int i = 0; i < 64; ++i) {
      ASSERT_GE(newer[i], -256);
      ASSERT_LE(newer[i], 255);
      ASSERT_GE(older[i], -256);
      ASSERT_LE(older[i], 255);
    }
  }
}

// Every single coefficient at every position with levels around the
// 16-bit wrap of the first step (2047, 2048 and their negatives).
TEST(InverseTransform, SingleCoefficientsAtTheWrapEdges) {
  for (int pos = 0; pos < 64; ++pos) {
    for (int16_t level : {1, -1, 2047, 2048, -2048, -2049, 4095, 32767, -32768}) {
      Block in{};
      in[pos] = level;
      ASSERT_EQ(RunNewer(in), ModelNewer(in)) << pos << " " << level;
      ASSERT_EQ(RunOlder(in), ModelOlder(in)) << pos << " " << level;
    }
  }
}

TEST(InverseTransform, DcOnlyMultiplesOfEightGiveAnEighth) {
  for (int d = -2048; d <= 2040; d += 8) {
    Block in{};
    in[0] = static_cast<int16_t>(d);
    for (const Block& out : {RunNewer(in), RunOlder(in)}) {
      for (int16_t v : out) ASSERT_EQ(v, d / 8) << d;
    }
  }
}

TEST(InverseTransform, DcOfOneHundredGivesTwelvesAndThirteens) {
  Block in{};
  in[0] = 100;
  for (const Block& out : {RunNewer(in), RunOlder(in)}) {
    const auto twelves = std::count(out.begin(), out.end(), 12);
    const auto thirteens = std::count(out.begin(), out.end(), 13);
    EXPECT_GT(twelves, 0);
    EXPECT_GT(thirteens, 0);
    EXPECT_EQ(twelves + thirteens, 64);
  }
}

TEST(InverseTransform, AllZeroStaysZero) {
  const Block zero{};
  EXPECT_EQ(RunNewer(zero), zero);
  EXPECT_EQ(RunOlder(zero), zero);
}

TEST(InverseTransform, LargeCoefficientsSaturateAtBothEnds) {
  Block in{};
  in[1] = 2047;  // first horizontal frequency at full level
  for (const Block& out : {RunNewer(in), RunOlder(in)}) {
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -256);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 255);
    uint8_t pixels[64];
    br::StoreClamped(pixels, out.data(), 8);
    for (int i = 0; i < 64; ++i) {
      if (out[i] == -256) {
        EXPECT_EQ(pixels[i], 0);
      }
      if (out[i] == 255) {
        EXPECT_EQ(pixels[i], 255);
      }
    }
  }
}

// The separable IDCT of the standard in double precision.
std::array<double, 64> FloatIdct(const Block& in) {
  std::array<double, 64> out{};
  const double pi = std::acos(-1.0);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j) {
      double sum = 0;
      for (int k = 0; k < 8; ++k) {
        for (int l = 0; l < 8; ++l) {
          const double ck = k == 0 ? std::sqrt(0.5) : 1.0, cl = l == 0 ? std::sqrt(0.5) : 1.0;
          sum += ck * cl / 4 * in[8 * k + l] * std::cos((2 * i + 1) * k * pi / 16) *
                 std::cos((2 * j + 1) * l * pi / 16);
        }
      }
      out[8 * i + j] = sum;
    }
  }
  return out;
}

// On typical inputs both versions stay within one of the exact transform
// (in practice within 0.6) and show no bias, which catches a constant or
// shift that the literal re-computation above would share.
TEST(InverseTransform, CloseToTheFloatingPointIdct) {
  std::mt19937 rng(42);
  double errorSum[2] = {0, 0};
  int count = 0;
  for (int iter = 0; iter < 3000; ++iter) {
    const Block in = RandomBlock(rng, iter % 2 == 0 ? 0 : 4);
    const auto exact = FloatIdct(in);
    if (std::any_of(exact.begin(), exact.end(), [](double v) { return v < -250 || v > 250; })) {
      continue;
    }
    const Block got[2] = {RunNewer(in), RunOlder(in)};
    for (int v = 0; v < 2; ++v) {
      for (int i = 0; i < 64; ++i) {
        const double e = got[v][i] - exact[i];
        ASSERT_LE(std::fabs(e), 1.0) << "version " << v << " iteration " << iter << " at " << i;
        errorSum[v] += e;
      }
    }
    count += 64;
  }
  ASSERT_GT(count, 64 * 1000);
  EXPECT_LT(std::fabs(errorSum[0] / count), 0.02);  // no systematic bias
  EXPECT_LT(std::fabs(errorSum[1] / count), 0.02);
}

// ---- Store and transform-and-store ----

TEST(StoreClamped, ClampsAndRespectsTheStride) {
  Block in{};
  for (int i = 0; i < 64; ++i) in[i] = static_cast<int16_t>(i * 9 - 200);
  in[5] = -32768;
  in[6] = 32767;
  std::array<uint8_t, 20 * 9> picture;
  picture.fill(0xA5);
  br::StoreClamped(picture.data() + 3, in.data(), 20);
  for (int r = 0; r < 9; ++r) {
    for (int c = 0; c < 20; ++c) {
      const uint8_t got = picture[static_cast<size_t>(20 * r + c)];
      if (r < 8 && c >= 3 && c < 11) {
        const int v = in[8 * r + c - 3];
        EXPECT_EQ(got, v < 0 ? 0 : v > 255 ? 255 : v) << r << "," << c;
      } else {
        EXPECT_EQ(got, 0xA5) << r << "," << c;
      }
    }
  }
}

// Restores the process-wide routine it changes.
class InstalledTransform {
 public:
  explicit InstalledTransform(tavrin::InverseTransformFn fn)
      : saved_(tavrin::blockRoutines.inverseTransform.get()) {
    tavrin::blockRoutines.inverseTransform.set(fn);
  }
  ~InstalledTransform() { tavrin::blockRoutines.inverseTransform.set(saved_); }

 private:
  tavrin::InverseTransformFn saved_;
};

TEST(TransformAndStore, UsesTheInstalledTransformThenTheClampedStore) {
  std::mt19937 rng(3);
  const Block in = RandomBlock(rng, 1);
  for (auto fn : {&br::InverseTransformNewer, &br::InverseTransformOlder}) {
    InstalledTransform installed(fn);
    alignas(16) int16_t block[64];
    std::copy(in.begin(), in.end(), block);
    uint8_t pixels[16 * 8];
    std::fill(std::begin(pixels), std::end(pixels), 0x5A);
    br::TransformAndStore(pixels, block, 16);
    const Block want = fn == &br::InverseTransformNewer ? RunNewer(in) : RunOlder(in);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), block));  // transformed in place
    for (int r = 0; r < 8; ++r) {
      for (int c = 0; c < 16; ++c) {
        const int v = want[8 * r + (c & 7)];
        EXPECT_EQ(pixels[16 * r + c], c < 8 ? (v < 0 ? 0 : v > 255 ? 255 : v) : 0x5A);
      }
    }
  }
}

TEST(EndSimdState, HasNoEffect) {
  Block in{};
  in[0] = 80;
  br::EndSimdState();
  tavrin::blockRoutines.endSimdState();
  EXPECT_EQ(RunOlder(in)[0], 10);
}

}  // namespace
