// Block copies, averages, residual addition, half-sample prediction and
// overlapped prediction.
#include "primitives/blockcopy/blockcopy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "primitives/blockcopy/obmc_weights.h"

namespace {

using tavrin::MotionVector;
using namespace tavrin::reference;

// A picture-sized buffer addressed by (x, y) around an origin, with margins
// on every side so that vectors and guard checks stay inside it.
struct Plane {
  static constexpr int kMargin = 48;
  int width;
  int height;
  int stride;
  std::vector<uint8_t> bytes;
  Plane(int w, int h, int extra = 0)
      : width(w),
        height(h),
        stride(w + 2 * kMargin + extra),
        bytes(static_cast<size_t>(stride) * (h + 2 * kMargin)) {}
  uint8_t* at(int x, int y) { return bytes.data() + (y + kMargin) * stride + x + kMargin; }
  uint8_t& operator()(int x, int y) { return *at(x, y); }
  void Fill(std::mt19937& rng) {
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  }
  void Fill(uint8_t v) { std::fill(bytes.begin(), bytes.end(), v); }
};

// Everything outside the w x h block at (x0, y0) is as in `before`.
void ExpectOnlyBlockChanged(const Plane& before, const Plane& after, int x0, int y0, int w, int h) {
  for (int y = -Plane::kMargin; y < after.height + Plane::kMargin; ++y) {
    for (int x = -Plane::kMargin; x < after.stride - Plane::kMargin; ++x) {
      if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) continue;
      const size_t i =
          static_cast<size_t>((y + Plane::kMargin) * after.stride + x + Plane::kMargin);
      ASSERT_EQ(before.bytes[i], after.bytes[i]) << "outside the block at " << x << "," << y;
    }
  }
}

// The interpolated value at half-sample position (hx, hy) of a plane,
// written with floor division from the definition of the four cases.
int HalfSampleAt(Plane& p, int hx, int hy, int rc) {
  const int x = hx >= 0 ? hx / 2 : -((1 - hx) / 2);
  const int y = hy >= 0 ? hy / 2 : -((1 - hy) / 2);
  const bool fx = hx - 2 * x == 1;
  const bool fy = hy - 2 * y == 1;
  if (!fx && !fy) return p(x, y);
  if (fx && !fy) return (p(x, y) + p(x + 1, y) + 1 - rc) / 2;
  if (!fx && fy) return (p(x, y) + p(x, y + 1) + 1 - rc) / 2;
  return (p(x, y) + p(x + 1, y) + p(x, y + 1) + p(x + 1, y + 1) + 2 - rc) / 4;
}

TEST(BlockCopy, CopiesExactlyTheBlock) {
  std::mt19937 rng(1);
  for (int size : {8, 16}) {
    Plane src(40, 40), dst(40, 40);
    src.Fill(rng);
    dst.Fill(rng);
    Plane before = dst;
    auto fn = size == 16 ? Copy16x16 : Copy8x8;
    ASSERT_EQ(tavrin::Ok, fn(src.at(8, 8), dst.at(8, 8), src.stride));
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) ASSERT_EQ(dst(8 + x, 8 + y), src(8 + x, 8 + y));
    ExpectOnlyBlockChanged(before, dst, 8, 8, size, size);
  }
}

TEST(BlockCopy, CopyChecksNullThenStride) {
  uint8_t a[16 * 16] = {1};
  uint8_t b[16 * 16] = {};
  EXPECT_EQ(tavrin::Step16Error, Copy16x16(a, b, 15));
  EXPECT_EQ(0, b[0]);
  EXPECT_EQ(tavrin::Ok, Copy16x16(a, b, 16));
  EXPECT_EQ(tavrin::Step8Error, Copy8x8(a, b, 7));
  EXPECT_EQ(tavrin::Ok, Copy8x8(a, b, 8));
  EXPECT_EQ(tavrin::NullPointer, Copy16x16(nullptr, b, 15));
  EXPECT_EQ(tavrin::NullPointer, Copy16x16(a, nullptr, 16));
  EXPECT_EQ(tavrin::NullPointer, Copy8x8(nullptr, b, 0));
  EXPECT_EQ(tavrin::NullPointer, Copy8x8(a, nullptr, 8));
}

TEST(BlockCopy, AddResidualClamps) {
  uint8_t pic[8 * 8];
  int16_t res[64];
  std::fill(pic, pic + 64, 250);
  std::fill(res, res + 64, 10);
  pic[1] = 5;
  res[1] = -10;
  pic[2] = 0;
  res[2] = -32768;
  pic[3] = 255;
  res[3] = 32767;
  pic[4] = 100;
  res[4] = -100;
  ASSERT_EQ(tavrin::Ok, AddResidual8x8(pic, res, 8));
  EXPECT_EQ(255, pic[0]);
  EXPECT_EQ(0, pic[1]);
  EXPECT_EQ(0, pic[2]);
  EXPECT_EQ(255, pic[3]);
  EXPECT_EQ(0, pic[4]);
}

TEST(BlockCopy, AddResidualTakesEightValuesPerRow) {
  std::mt19937 rng(2);
  Plane pic(24, 24);
  pic.Fill(rng);
  Plane before = pic;
  int16_t res[64];
  for (auto& r : res) r = static_cast<int16_t>(static_cast<int>(rng() % 601) - 300);
  ASSERT_EQ(tavrin::Ok, AddResidual8x8(pic.at(3, 5), res, pic.stride));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(pic(3 + x, 5 + y), std::clamp(before(3 + x, 5 + y) + res[8 * y + x], 0, 255));
  ExpectOnlyBlockChanged(before, pic, 3, 5, 8, 8);
}

TEST(BlockCopy, AddResidualChecks) {
  uint8_t pic[64] = {7};
  int16_t res[64] = {1};
  EXPECT_EQ(tavrin::NullPointer, AddResidual8x8(nullptr, res, 8));
  EXPECT_EQ(tavrin::NullPointer, AddResidual8x8(pic, nullptr, 0));
  EXPECT_EQ(tavrin::Step8Error, AddResidual8x8(pic, res, 7));
  EXPECT_EQ(7, pic[0]);
}

TEST(BlockCopy, AverageRoundsUp) {
  uint8_t a[64], b[64];
  std::fill(a, a + 64, 0);
  std::fill(b, b + 64, 1);
  a[1] = 255;
  b[1] = 255;
  a[2] = 254;
  b[2] = 255;
  ASSERT_EQ(tavrin::Ok, Average8x8(a, 8, b, 8));
  EXPECT_EQ(1, b[0]);
  EXPECT_EQ(255, b[1]);
  EXPECT_EQ(255, b[2]);
  EXPECT_EQ(1, b[63]);
  EXPECT_EQ(tavrin::NullPointer, Average8x8(nullptr, 8, b, 8));
  EXPECT_EQ(tavrin::NullPointer, Average16x16(a, 8, nullptr, 8));
}

TEST(BlockCopy, AverageUsesBothStrides) {
  std::mt19937 rng(3);
  for (int size : {8, 16}) {
    Plane src(40, 40, 3), dst(40, 40);
    src.Fill(rng);
    dst.Fill(rng);
    Plane before = dst;
    auto fn = size == 16 ? Average16x16 : Average8x8;
    ASSERT_EQ(tavrin::Ok, fn(src.at(1, 2), src.stride, dst.at(5, 7), dst.stride));
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        ASSERT_EQ(dst(5 + x, 7 + y), (src(1 + x, 2 + y) + before(5 + x, 7 + y) + 1) / 2);
    ExpectOnlyBlockChanged(before, dst, 5, 7, size, size);
  }
}

// A 2x2 neighbourhood p00 p01 / p10 p11 at the origin, the rest zero.
struct HalfSampleCase {
  int p00, p01, p10, p11;
  MotionVector v;
  int rounding;
  int expected;
};

TEST(HalfSample, KnownAnswers) {
  const HalfSampleCase cases[] = {
      {9, 1, 1, 1, {0, 0}, 0, 9},  // mode 0 copies
      {9, 1, 1, 1, {0, 0}, 1, 9},  // rounding does not touch a copy
      {1, 2, 0, 0, {1, 0}, 0, 2},  // mode 1: (1 + 2 + 1) >> 1
      {1, 2, 0, 0, {1, 0}, 1, 1},  // mode 1: (1 + 2) >> 1
      {1, 0, 2, 0, {0, 1}, 0, 2},  // mode 2: (1 + 2 + 1) >> 1
      {1, 0, 2, 0, {0, 1}, 1, 1},  // mode 2: (1 + 2) >> 1
      {0, 0, 1, 1, {1, 1}, 0, 1},  // mode 3: (2 + 2) >> 2
      {0, 0, 1, 1, {1, 1}, 1, 0},  // mode 3: (2 + 1) >> 2
      {255, 255, 255, 255, {1, 1}, 0, 255},  // (1020 + 2) >> 2
      {255, 255, 255, 255, {1, 1}, 1, 255},  // (1020 + 1) >> 2
      {1, 2, 0, 0, {1, 0}, 7, 1},  // any nonzero rounding counts as 1
      {0, 0, 1, 1, {1, 1}, -1, 0},
  };
  for (const auto& c : cases) {
    Plane ref(16, 16);
    ref.Fill(0);
    ref(4, 4) = static_cast<uint8_t>(c.p00);
    ref(5, 4) = static_cast<uint8_t>(c.p01);
    ref(4, 5) = static_cast<uint8_t>(c.p10);
    ref(5, 5) = static_cast<uint8_t>(c.p11);
    uint8_t out[16 * 16];
    ASSERT_EQ(tavrin::Ok,
              PredictHalfSample8x8(ref.at(4, 4), ref.stride, out, 16, &c.v, c.rounding));
    EXPECT_EQ(c.expected, out[0]) << "vector " << c.v.x << "," << c.v.y << " rc " << c.rounding;
    ASSERT_EQ(tavrin::Ok,
              PredictHalfSample16x16(ref.at(4, 4), ref.stride, out, 16, &c.v, c.rounding));
    EXPECT_EQ(c.expected, out[0]);
  }
}

TEST(HalfSample, NegativeVectorsMoveLeftAndUp) {
  Plane ref(16, 16);
  for (int y = -8; y < 24; ++y)
    for (int x = -8; x < 24; ++x) ref(x, y) = static_cast<uint8_t>(50 + 2 * x + 64 * (y & 1));
  uint8_t out[8 * 8];
  const MotionVector left{-1, 0};
  // (-1, 0): halfway between the sample left of the origin and the origin.
  ASSERT_EQ(tavrin::Ok, PredictHalfSample8x8(ref.at(8, 8), ref.stride, out, 8, &left, 0));
  EXPECT_EQ((ref(7, 8) + ref(8, 8) + 1) / 2, out[0]);
  EXPECT_EQ((ref(7, 9) + ref(8, 9) + 1) / 2, out[8]);
  // (-2, -2): a whole sample left and up, no interpolation.
  const MotionVector whole{-2, -2};
  ASSERT_EQ(tavrin::Ok, PredictHalfSample8x8(ref.at(8, 8), ref.stride, out, 8, &whole, 1));
  EXPECT_EQ(ref(7, 7), out[0]);
  EXPECT_EQ(ref(14, 14), out[63]);
  // (-3, -1): one and a half left, half up: mode 3 from (6, 7).
  const MotionVector both{-3, -1};
  ASSERT_EQ(tavrin::Ok, PredictHalfSample8x8(ref.at(8, 8), ref.stride, out, 8, &both, 0));
  EXPECT_EQ((ref(6, 7) + ref(7, 7) + ref(6, 8) + ref(7, 8) + 2) / 4, out[0]);
  ASSERT_EQ(tavrin::Ok, PredictHalfSample8x8(ref.at(8, 8), ref.stride, out, 8, &both, 1));
  EXPECT_EQ((ref(6, 7) + ref(7, 7) + ref(6, 8) + ref(7, 8) + 1) / 4, out[0]);
}

TEST(HalfSample, RandomAgainstDefinition) {
  std::mt19937 rng(4);
  for (int iter = 0; iter < 400; ++iter) {
    const int size = iter % 2 ? 16 : 8;
    Plane ref(32, 32), dst(32, 32, static_cast<int>(rng() % 5));
    ref.Fill(rng);
    dst.Fill(rng);
    Plane before = dst;
    const MotionVector v{static_cast<int16_t>(static_cast<int>(rng() % 65) - 32),
                         static_cast<int16_t>(static_cast<int>(rng() % 65) - 32)};
    const int rc = static_cast<int>(rng() % 2);
    const int bx = 8, by = 8, dx = static_cast<int>(rng() % 8), dy = static_cast<int>(rng() % 8);
    auto fn = size == 16 ? PredictHalfSample16x16 : PredictHalfSample8x8;
    ASSERT_EQ(tavrin::Ok, fn(ref.at(bx, by), ref.stride, dst.at(dx, dy), dst.stride, &v, rc));
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        ASSERT_EQ(dst(dx + x, dy + y),
                  HalfSampleAt(ref, 2 * (bx + x) + v.x, 2 * (by + y) + v.y, rc))
            << "vector " << v.x << "," << v.y << " at " << x << "," << y;
    ExpectOnlyBlockChanged(before, dst, dx, dy, size, size);
  }
}

TEST(HalfSample, Checks) {
  uint8_t ref[64] = {}, dst[64] = {5};
  const MotionVector v{0, 0};
  EXPECT_EQ(tavrin::NullPointer, PredictHalfSample8x8(nullptr, 8, dst, 8, &v, 0));
  EXPECT_EQ(tavrin::NullPointer, PredictHalfSample8x8(ref, 8, nullptr, 8, &v, 0));
  EXPECT_EQ(tavrin::NullPointer, PredictHalfSample16x16(nullptr, 16, dst, 16, &v, 0));
  // A missing vector is refused, not read.
  EXPECT_EQ(tavrin::NullPointer, PredictHalfSample8x8(ref, 8, dst, 8, nullptr, 0));
  EXPECT_EQ(tavrin::NullPointer, PredictHalfSample16x16(ref, 16, dst, 16, nullptr, 0));
  EXPECT_EQ(5, dst[0]);
}

TEST(PredictAddResidual, ClampsTheExactSum) {
  std::mt19937 rng(5);
  for (int iter = 0; iter < 200; ++iter) {
    Plane ref(32, 32), dst(32, 32);
    ref.Fill(rng);
    dst.Fill(rng);
    Plane before = dst;
    int16_t res[64];
    for (auto& r : res) r = static_cast<int16_t>(static_cast<int>(rng() % 1025) - 512);
    const MotionVector v{static_cast<int16_t>(static_cast<int>(rng() % 33) - 16),
                         static_cast<int16_t>(static_cast<int>(rng() % 33) - 16)};
    const int rc = static_cast<int>(rng() % 3);
    ASSERT_EQ(tavrin::Ok, PredictAddResidual8x8(ref.at(12, 12), ref.stride, res, dst.at(4, 6),
                                                dst.stride, &v, rc));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const int pred = HalfSampleAt(ref, 2 * (12 + x) + v.x, 2 * (12 + y) + v.y, rc != 0);
        ASSERT_EQ(dst(4 + x, 6 + y), std::clamp(pred + res[8 * y + x], 0, 255));
      }
    ExpectOnlyBlockChanged(before, dst, 4, 6, 8, 8);
  }
}

TEST(PredictAddResidual, KnownAnswers) {
  Plane ref(16, 16);
  ref.Fill(0);
  ref(0, 0) = 250;
  ref(1, 0) = 251;
  int16_t res[64] = {};
  res[0] = 10;
  uint8_t out[64];
  const MotionVector v{1, 0};
  // (250 + 251 + 1) >> 1 = 251, plus 10, clamped to 255.
  ASSERT_EQ(tavrin::Ok, PredictAddResidual8x8(ref.at(0, 0), ref.stride, res, out, 8, &v, 0));
  EXPECT_EQ(255, out[0]);
  res[0] = -250;
  ASSERT_EQ(tavrin::Ok, PredictAddResidual8x8(ref.at(0, 0), ref.stride, res, out, 8, &v, 1));
  EXPECT_EQ(0, out[0]);  // (250 + 251) >> 1 = 250, minus 250
  res[0] = -251;
  ASSERT_EQ(tavrin::Ok, PredictAddResidual8x8(ref.at(0, 0), ref.stride, res, out, 8, &v, 0));
  EXPECT_EQ(0, out[0]);
  res[0] = -250;
  ASSERT_EQ(tavrin::Ok, PredictAddResidual8x8(ref.at(0, 0), ref.stride, res, out, 8, &v, 0));
  EXPECT_EQ(1, out[0]);
}

TEST(PredictAddResidual, Checks) {
  uint8_t ref[64] = {}, dst[64] = {5};
  int16_t res[64] = {};
  const MotionVector v{0, 0};
  EXPECT_EQ(tavrin::NullPointer, PredictAddResidual8x8(nullptr, 8, res, dst, 8, &v, 0));
  EXPECT_EQ(tavrin::NullPointer, PredictAddResidual8x8(ref, 8, res, nullptr, 8, &v, 0));
  EXPECT_EQ(tavrin::NullPointer, PredictAddResidual8x8(ref, 8, nullptr, dst, 8, &v, 0));
  EXPECT_EQ(tavrin::NullPointer, PredictAddResidual8x8(ref, 8, res, dst, 8, nullptr, 0));
  EXPECT_EQ(5, dst[0]);
}

using tavrin::blockcopy_internal::kObmcCurrentWeights;
using tavrin::blockcopy_internal::kObmcHorizontalWeights;
using tavrin::blockcopy_internal::kObmcVerticalWeights;

TEST(Overlapped, WeightsAddUpToEight) {
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(8, kObmcCurrentWeights[i] + kObmcVerticalWeights[i] + kObmcHorizontalWeights[i]) << i;
  const uint8_t currentRow0[8] = {4, 5, 5, 5, 5, 5, 5, 4};
  const uint8_t horizontalRow0[8] = {2, 1, 1, 1, 1, 1, 1, 2};
  const uint8_t verticalRow1[8] = {1, 1, 2, 2, 2, 2, 1, 1};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(currentRow0[x], kObmcCurrentWeights[x]);
    EXPECT_EQ(horizontalRow0[x], kObmcHorizontalWeights[x]);
    EXPECT_EQ(verticalRow1[x], kObmcVerticalWeights[8 + x]);
  }
  // The matrices are symmetric about both centre lines of the block.
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      for (const auto* w : {&kObmcCurrentWeights, &kObmcVerticalWeights, &kObmcHorizontalWeights}) {
        EXPECT_EQ((*w)[8 * y + x], (*w)[8 * y + 7 - x]);
        EXPECT_EQ((*w)[8 * y + x], (*w)[8 * (7 - y) + x]);
      }
}

// A reference with five flat areas; a vector picks one area by pointing into
// it, so each prediction of the blend is a known constant.
struct ObmcScene {
  Plane ref{160, 160};
  static constexpr int kBlock = 72;  // the block sits at (72, 72), area 0
  ObmcScene(const int (&values)[5]) {
    ref.Fill(static_cast<uint8_t>(values[0]));
    const int corners[4][2] = {{8, 8}, {120, 8}, {8, 120}, {120, 120}};
    for (int a = 0; a < 4; ++a)
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
          ref(corners[a][0] + x, corners[a][1] + y) = static_cast<uint8_t>(values[a + 1]);
  }
  // The vector that moves the block's origin onto area a (1..4); a = 0 keeps it.
  static MotionVector To(int a) {
    if (a == 0) return {0, 0};
    const int corners[4][2] = {{8, 8}, {120, 8}, {8, 120}, {120, 120}};
    return {static_cast<int16_t>(2 * (corners[a - 1][0] + 8 - kBlock)),
            static_cast<int16_t>(2 * (corners[a - 1][1] + 8 - kBlock))};
  }
};

TEST(Overlapped, BlendRevealsEachMatrixInItsHalf) {
  // Own prediction 0, one neighbour 8, the others 0: each output sample is
  // (weight * 8 + 4) >> 3, the neighbour's weight where its half lies.
  const int values[5] = {0, 8, 0, 0, 0};
  ObmcScene scene(values);
  const MotionVector zero = ObmcScene::To(0), eight = ObmcScene::To(1);
  const uint8_t* origin = scene.ref.at(ObmcScene::kBlock, ObmcScene::kBlock);
  struct Case {
    const MotionVector *left, *right, *above, *below;
    const tavrin::blockcopy_internal::ObmcWeights& w;
    int x0, x1, y0, y1;
  } cases[] = {
      {&eight, &zero, &zero, &zero, kObmcHorizontalWeights, 0, 4, 0, 8},
      {&zero, &eight, &zero, &zero, kObmcHorizontalWeights, 4, 8, 0, 8},
      {&zero, &zero, &eight, &zero, kObmcVerticalWeights, 0, 8, 0, 4},
      {&zero, &zero, &zero, &eight, kObmcVerticalWeights, 0, 8, 4, 8},
  };
  for (const auto& c : cases) {
    uint8_t out[8 * 8];
    ASSERT_EQ(tavrin::Ok, PredictOverlapped8x8(origin, scene.ref.stride, out, 8, &zero, c.left,
                                               c.right, c.above, c.below, 0));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool inside = x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1;
        EXPECT_EQ(inside ? c.w[8 * y + x] : 0, out[8 * y + x]) << x << "," << y;
      }
  }
  // Own prediction 8, every neighbour 0: the current block's matrix.
  uint8_t out[8 * 8];
  ASSERT_EQ(tavrin::Ok, PredictOverlapped8x8(origin, scene.ref.stride, out, 8, &eight, &zero, &zero,
                                             &zero, &zero, 0));
  for (int i = 0; i < 64; ++i) EXPECT_EQ(kObmcCurrentWeights[i], out[i]) << i;
}

TEST(Overlapped, KnownBlendOfFiveAreas) {
  const int values[5] = {200, 40, 80, 120, 160};
  ObmcScene scene(values);
  const MotionVector own = ObmcScene::To(0), l = ObmcScene::To(1), r = ObmcScene::To(2),
                     a = ObmcScene::To(3), b = ObmcScene::To(4);
  uint8_t out[8 * 8];
  ASSERT_EQ(tavrin::Ok, PredictOverlapped8x8(scene.ref.at(ObmcScene::kBlock, ObmcScene::kBlock),
                                             scene.ref.stride, out, 8, &own, &l, &r, &a, &b, 1));
  // Top-left corner: 4 * 200 + 2 * 120 (above) + 2 * 40 (left) = 1120, + 4 >> 3 = 140.
  EXPECT_EQ(140, out[0]);
  // Bottom-right corner: 4 * 200 + 2 * 160 (below) + 2 * 80 (right) = 1280 -> 160.
  EXPECT_EQ(160, out[63]);
  // Row 2, column 3: 6 * 200 + 120 + 40 = 1360 -> 170.
  EXPECT_EQ(170, out[8 * 2 + 3]);
  // Row 1, column 6: 5 * 200 + 1 * 120 + 2 * 80 = 1280 -> 160.
  EXPECT_EQ(160, out[8 * 1 + 6]);
}

TEST(Overlapped, EqualVectorsGiveThePlainPrediction) {
  std::mt19937 rng(6);
  for (int iter = 0; iter < 100; ++iter) {
    Plane ref(32, 32), dst(32, 32);
    ref.Fill(rng);
    dst.Fill(rng);
    Plane before = dst;
    const MotionVector v{static_cast<int16_t>(static_cast<int>(rng() % 41) - 20),
                         static_cast<int16_t>(static_cast<int>(rng() % 41) - 20)};
    const int rc = static_cast<int>(rng() % 2);
    ASSERT_EQ(tavrin::Ok, PredictOverlapped8x8(ref.at(12, 12), ref.stride, dst.at(2, 3), dst.stride,
                                               &v, &v, &v, &v, &v, rc));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        ASSERT_EQ(dst(2 + x, 3 + y), HalfSampleAt(ref, 2 * (12 + x) + v.x, 2 * (12 + y) + v.y, rc));
    ExpectOnlyBlockChanged(before, dst, 2, 3, 8, 8);
  }
}

TEST(Overlapped, RandomAgainstDefinition) {
  std::mt19937 rng(7);
  for (int iter = 0; iter < 200; ++iter) {
    Plane ref(32, 32);
    ref.Fill(rng);
    MotionVector v[5];
    for (auto& m : v)
      m = {static_cast<int16_t>(static_cast<int>(rng() % 41) - 20),
           static_cast<int16_t>(static_cast<int>(rng() % 41) - 20)};
    const int rc = static_cast<int>(rng() % 2);
    uint8_t out[64];
    ASSERT_EQ(tavrin::Ok, PredictOverlapped8x8(ref.at(12, 12), ref.stride, out, 8, &v[0], &v[1],
                                               &v[2], &v[3], &v[4], rc));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        auto pred = [&](const MotionVector& m) {
          return HalfSampleAt(ref, 2 * (12 + x) + m.x, 2 * (12 + y) + m.y, rc);
        };
        const int i = 8 * y + x;
        const int sum = kObmcCurrentWeights[i] * pred(v[0]) +
                        kObmcVerticalWeights[i] * pred(y < 4 ? v[3] : v[4]) +
                        kObmcHorizontalWeights[i] * pred(x < 4 ? v[1] : v[2]);
        ASSERT_EQ((sum + 4) / 8, out[i]) << x << "," << y;
      }
  }
}

TEST(Overlapped, Checks) {
  uint8_t ref[64] = {}, dst[64] = {5};
  const MotionVector v{0, 0};
  EXPECT_EQ(tavrin::NullPointer, PredictOverlapped8x8(nullptr, 8, dst, 8, &v, &v, &v, &v, &v, 0));
  EXPECT_EQ(tavrin::NullPointer, PredictOverlapped8x8(ref, 8, nullptr, 8, &v, &v, &v, &v, &v, 0));
  for (int missing = 0; missing < 5; ++missing) {
    const MotionVector* p[5] = {&v, &v, &v, &v, &v};
    p[missing] = nullptr;
    EXPECT_EQ(tavrin::NullPointer,
              PredictOverlapped8x8(ref, 8, dst, 8, p[0], p[1], p[2], p[3], p[4], 0));
  }
  EXPECT_EQ(5, dst[0]);
}

}  // namespace
