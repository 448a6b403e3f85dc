// Deblocking of block edges, the plane copy of the post-filter, and the
// deringing pair.
#include "primitives/postfilter/postfilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using namespace tavrin::reference;
using Line = std::array<int, 10>;

// One line written literally from the filter's definition.
Line FilterByDefinition(const Line& s, int qp, int thr1, int thr2) {
  auto r = [](int x) { return x >= 0 ? (x + 4) >> 3 : (x + 3) >> 3; };
  Line out = s;
  int eq = 0;
  for (int i = 0; i < 9; ++i)
    if (std::abs(s[i] - s[i + 1]) <= thr1) ++eq;
  if (eq < thr2) {
    const int a0 = r(2 * s[3] - 5 * s[4] + 5 * s[5] - 2 * s[6]);
    const int a1 = r(2 * s[1] - 5 * s[2] + 5 * s[3] - 2 * s[4]);
    const int a2 = r(2 * s[5] - 5 * s[6] + 5 * s[7] - 2 * s[8]);
    if (std::abs(a0) >= qp) return out;
    int m = std::min(std::abs(a0), std::min(std::abs(a1), std::abs(a2)));
    if (a0 < 0) m = -m;
    if (m == a0) return out;
    int d = r(5 * (m - a0));
    if (s[4] < s[5]) {
      d = std::max(d, -((s[5] - s[4]) >> 1));
      d = std::min(d, 0);
    } else {
      d = std::max(d, 0);
      d = std::min(d, (s[4] - s[5]) >> 1);
    }
    out[4] = s[4] - d;
    out[5] = s[5] + d;
    return out;
  }
  const int mx = *std::max_element(s.begin() + 1, s.begin() + 9);
  const int mn = *std::min_element(s.begin() + 1, s.begin() + 9);
  if (mx - mn >= 2 * qp) return out;
  // The taps of s1'..s8' over (e0, s1, ..., s8, e9).
  static const int kTaps[8][10] = {{6, 4, 2, 2, 1, 1, 0, 0, 0, 0}, {4, 2, 4, 2, 2, 1, 1, 0, 0, 0},
                                   {2, 2, 2, 4, 2, 2, 1, 1, 0, 0}, {1, 1, 2, 2, 4, 2, 2, 1, 1, 0},
                                   {0, 1, 1, 2, 2, 4, 2, 2, 1, 1}, {0, 0, 1, 1, 2, 2, 4, 2, 2, 2},
                                   {0, 0, 0, 1, 1, 2, 2, 4, 2, 4}, {0, 0, 0, 0, 1, 1, 2, 2, 4, 6}};
  Line e = s;
  e[0] = std::abs(s[0] - s[1]) < qp ? s[0] : s[1];
  e[9] = std::abs(s[8] - s[9]) < qp ? s[9] : s[8];
  for (int k = 0; k < 8; ++k) {
    int sum = 8;
    for (int j = 0; j < 10; ++j) sum += kTaps[k][j] * e[j];
    out[k + 1] = sum >> 4;
  }
  return out;
}

// Runs the vertical-edge primitive on one line (row 0 of an 8-row block);
// the other seven rows copy the line, so all eight must agree.
Line FilterWithPrimitive(const Line& s, int qp, int thr1, int thr2) {
  uint8_t pic[8 * 10];
  for (int y = 0; y < 8; ++y)
    for (int k = 0; k < 10; ++k) pic[10 * y + k] = static_cast<uint8_t>(s[k]);
  EXPECT_EQ(tavrin::Ok, DeblockVerticalEdge(pic + 5, 10, qp, thr1, thr2));
  Line out;
  for (int k = 0; k < 10; ++k) out[k] = pic[k];
  for (int y = 1; y < 8; ++y)
    for (int k = 0; k < 10; ++k) EXPECT_EQ(out[k], pic[10 * y + k]);
  return out;
}

TEST(Deblock, EqualSamplesStayEqual) {
  const Line flat{77, 77, 77, 77, 77, 77, 77, 77, 77, 77};
  EXPECT_EQ(flat, FilterWithPrimitive(flat, 8, 4, 6));
  EXPECT_EQ(flat, FilterWithPrimitive(flat, 1, 4, 6));
}

TEST(Deblock, FlatRegionStep) {
  const Line step{10, 10, 10, 10, 10, 20, 20, 20, 20, 20};
  const Line out = FilterWithPrimitive(step, 8, 4, 6);
  EXPECT_EQ(14, out[4]);  // (220 + 8) >> 4
  EXPECT_EQ(16, out[5]);  // (260 + 8) >> 4
  EXPECT_EQ(10, out[0]);
  EXPECT_EQ(20, out[9]);
  EXPECT_EQ(FilterByDefinition(step, 8, 4, 6), out);
  // s1' = (60 + 40 + 20 + 20 + 10 + 20 + 8) >> 4 = 11;
  // s3' = (20 + 20 + 20 + 40 + 20 + 40 + 20 + 20 + 8) >> 4 = 13;
  // s8' = (10 + 20 + 40 + 40 + 80 + 120 + 8) >> 4 = 19.
  EXPECT_EQ((Line{10, 11, 11, 13, 14, 16, 18, 19, 19, 20}), out);
  EXPECT_EQ(11, out[1]);
  EXPECT_EQ(13, out[3]);
  EXPECT_EQ(19, out[8]);
  // With qp 5 the range 10 reaches 2 * qp: unchanged.
  EXPECT_EQ(step, FilterWithPrimitive(step, 5, 4, 6));
}

TEST(Deblock, TexturedLineWithLargeStepUnchanged) {
  // Every neighbour difference above thr1, a0 = R(240) = 30 >= qp 8.
  const Line texture{0, 20, 0, 20, 0, 40, 0, 40, 0, 40};
  EXPECT_EQ(FilterByDefinition(texture, 8, 4, 6), texture);
  EXPECT_EQ(texture, FilterWithPrimitive(texture, 8, 4, 6));
}

TEST(Deblock, DefaultModeKnownAnswers) {
  // thr2 10 forces the default mode: a0 = R(24) = 3, a1 = a2 = 0, so m = 0
  // and d = R(-15) = -2, inside [-4, 0].
  EXPECT_EQ((Line{0, 0, 0, 0, 2, 6, 8, 8, 8, 8}),
            FilterWithPrimitive(Line{0, 0, 0, 0, 0, 8, 8, 8, 8, 8}, 8, 4, 10));
  // eq_cnt 5 < 6: a0 = R(60) = 8 < qp 10, a1 = 3, a2 = 4, m = 3,
  // d = R(-25) = -3, clipped to -((14 - 10) >> 1) = -2.
  EXPECT_EQ((Line{50, 20, 20, 20, 12, 12, 0, 0, 0, 50}),
            FilterWithPrimitive(Line{50, 20, 20, 20, 10, 14, 0, 0, 0, 50}, 10, 4, 6));
  // The same line mirrored in value: everything negates, s4 > s5.
  EXPECT_EQ((Line{205, 235, 235, 235, 243, 243, 255, 255, 255, 205}),
            FilterWithPrimitive(Line{205, 235, 235, 235, 245, 241, 255, 255, 255, 205}, 10, 4, 6));
  // With qp 8, |a0| = 8 is not below qp: unchanged.
  const Line edge{50, 20, 20, 20, 10, 14, 0, 0, 0, 50};
  EXPECT_EQ(edge, FilterWithPrimitive(edge, 8, 4, 6));
  // Step of one: a0 = 6, m = 3, d = R(-15) = -2 is clipped to 0.
  const Line tiny{50, 20, 20, 20, 10, 11, 0, 0, 0, 50};
  EXPECT_EQ(tiny, FilterWithPrimitive(tiny, 10, 4, 6));
}

TEST(Deblock, QuantiserUsedAsGiven) {
  const Line step{10, 10, 10, 10, 10, 20, 20, 20, 20, 20};
  EXPECT_EQ(step, FilterWithPrimitive(step, 0, 4, 6));
  EXPECT_EQ(step, FilterWithPrimitive(step, -5, 4, 6));
  EXPECT_EQ(step, FilterWithPrimitive(step, INT32_MIN, 4, 6));
  EXPECT_EQ(FilterByDefinition(step, 1000, 4, 6), FilterWithPrimitive(step, INT32_MAX, 4, 6));
}

TEST(Deblock, RandomLinesAgainstDefinition) {
  std::mt19937 rng(1);
  for (int iter = 0; iter < 20000; ++iter) {
    Line s;
    // Mostly smooth lines with a step, so that every branch is taken.
    const int base = static_cast<int>(rng() % 256);
    const int step = static_cast<int>(rng() % 41) - 20;
    const int noise = 1 + static_cast<int>(rng() % (iter % 3 == 0 ? 64 : 6));
    for (int k = 0; k < 10; ++k)
      s[k] = std::clamp(base + (k >= 5 ? step : 0) + static_cast<int>(rng() % noise) - noise / 2, 0,
                        255);
    const int qp = 1 + static_cast<int>(rng() % 31);
    const int thr1 = static_cast<int>(rng() % 8);
    const int thr2 = static_cast<int>(rng() % 11);
    ASSERT_EQ(FilterByDefinition(s, qp, thr1, thr2), FilterWithPrimitive(s, qp, thr1, thr2))
        << "iteration " << iter;
  }
}

TEST(Deblock, ReversedLineGivesReversedResult) {
  std::mt19937 rng(2);
  for (int iter = 0; iter < 5000; ++iter) {
    Line s;
    const int base = static_cast<int>(rng() % 200);
    for (auto& v : s) v = base + static_cast<int>(rng() % 40);
    const int qp = 1 + static_cast<int>(rng() % 31);
    Line reversed = s;
    std::reverse(reversed.begin(), reversed.end());
    Line out = FilterWithPrimitive(s, qp, 4, 6);
    std::reverse(out.begin(), out.end());
    ASSERT_EQ(out, FilterWithPrimitive(reversed, qp, 4, 6));
  }
}

// A picture of 40 x 40 random samples with a smooth tendency.
std::vector<uint8_t> RandomPicture(std::mt19937& rng, int stride, int rows) {
  std::vector<uint8_t> p(static_cast<size_t>(stride) * rows);
  int v = 128;
  for (auto& b : p) {
    v = std::clamp(v + static_cast<int>(rng() % 9) - 4, 0, 255);
    b = static_cast<uint8_t>(rng() % 8 == 0 ? rng() : static_cast<unsigned>(v));
  }
  return p;
}

TEST(Deblock, HorizontalEdgeIsTheTransposedVerticalEdge) {
  std::mt19937 rng(3);
  const int n = 24;
  for (int iter = 0; iter < 200; ++iter) {
    auto a = RandomPicture(rng, n, n);
    std::vector<uint8_t> t(a.size());
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x)
        t[static_cast<size_t>(x * n + y)] = a[static_cast<size_t>(y * n + x)];
    const int qp = 1 + static_cast<int>(rng() % 31);
    const auto before = a;
    ASSERT_EQ(tavrin::Ok, DeblockHorizontalEdge(a.data() + 8 * n + 8, n, qp, 4, 6));
    ASSERT_EQ(tavrin::Ok, DeblockVerticalEdge(t.data() + 8 * n + 8, n, qp, 4, 6));
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const uint8_t v = a[static_cast<size_t>(y * n + x)];
        ASSERT_EQ(v, t[static_cast<size_t>(x * n + y)]);
        // Only s1..s8 of the eight columns may change: rows 4..11, columns 8..15.
        if (y < 4 || y > 11 || x < 8 || x > 15) {
          ASSERT_EQ(before[static_cast<size_t>(y * n + x)], v);
        }
      }
  }
}

TEST(Deblock, NullPointerChangesNothing) {
  EXPECT_EQ(tavrin::NullPointer, DeblockVerticalEdge(nullptr, 16, 8, 4, 6));
  EXPECT_EQ(tavrin::NullPointer, DeblockHorizontalEdge(nullptr, 16, 8, 4, 6));
}

TEST(CopyPlane, CopiesRowsWithTheirOwnStrides) {
  std::mt19937 rng(4);
  for (auto [w, h, ss, ds] : {std::array<int, 4>{13, 7, 20, 17},
                              {16, 16, 16, 16},
                              {1, 1, 1, 1},
                              {5, 9, 5, 64},
                              {33, 3, 40, 33}}) {
    std::vector<uint8_t> src(static_cast<size_t>(ss * h + 8)), dst(static_cast<size_t>(ds * h + 8));
    for (auto& b : src) b = static_cast<uint8_t>(rng());
    for (auto& b : dst) b = static_cast<uint8_t>(rng());
    auto want = dst;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        want[static_cast<size_t>(y * ds + x)] = src[static_cast<size_t>(y * ss + x)];
    ASSERT_EQ(tavrin::Ok, CopyPlane(src.data(), ss, dst.data(), ds, w, h));
    EXPECT_EQ(want, dst) << w << "x" << h;
  }
}

TEST(CopyPlane, ChecksInOrder) {
  uint8_t a[64] = {1}, b[64] = {};
  EXPECT_EQ(tavrin::NullPointer, CopyPlane(nullptr, 0, b, 0, 0, 0));
  EXPECT_EQ(tavrin::NullPointer, CopyPlane(a, 8, nullptr, 8, 8, 8));
  EXPECT_EQ(tavrin::SizeError, CopyPlane(a, 8, b, 8, 0, 8));
  EXPECT_EQ(tavrin::SizeError, CopyPlane(a, 0, b, 0, 8, -1));
  EXPECT_EQ(tavrin::StepError, CopyPlane(a, 8, b, 0, 8, 8));
  EXPECT_EQ(tavrin::StepError, CopyPlane(a, -8, b, 8, 8, 8));
  EXPECT_EQ(0, b[0]);
}

TEST(Dering, ThresholdAndRange) {
  uint8_t block[8 * 12];
  std::fill(block, block + sizeof block, 255);  // outside the block: ignored
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) block[12 * y + x] = static_cast<uint8_t>(40 + x + 10 * y);
  int32_t threshold = -1, range = -1;
  ASSERT_EQ(tavrin::Ok, DeringThreshold(block, 12, &threshold, &range));
  EXPECT_EQ((117 + 40 + 1) / 2, threshold);
  EXPECT_EQ(77, range);
  block[12 * 3 + 5] = 0;
  ASSERT_EQ(tavrin::Ok, DeringThreshold(block, 12, &threshold, &range));
  EXPECT_EQ(59, threshold);  // (117 + 0 + 1) / 2
  EXPECT_EQ(117, range);
  EXPECT_EQ(tavrin::NullPointer, DeringThreshold(nullptr, 12, &threshold, &range));
  EXPECT_EQ(tavrin::NullPointer, DeringThreshold(block, 12, nullptr, &range));
  EXPECT_EQ(tavrin::NullPointer, DeringThreshold(block, 12, &threshold, nullptr));
  EXPECT_EQ(tavrin::Step8Error, DeringThreshold(block, 7, &threshold, &range));
}

// A 10 x 10 area: the 8x8 block at (1, 1) with its one-sample ring.
struct DeringArea {
  uint8_t s[10 * 10];
  explicit DeringArea(uint8_t v) { std::fill(s, s + 100, v); }
  uint8_t& operator()(int x, int y) { return s[10 * (y + 1) + x + 1]; }
  const uint8_t* block() const { return s + 11; }
};

TEST(Dering, SmoothsUniformWindowsWithinHalfTheQuantiser) {
  DeringArea area(100);
  area(4, 4) = 110;
  uint8_t out[8 * 8];
  // Threshold 150: every index is 0, every window uniform.
  ASSERT_EQ(tavrin::Ok, DeringSmooth(area.block(), 10, out, 8, 150, 4));
  EXPECT_EQ(108, out[8 * 4 + 4]);  // (4 * 110 + 12 * 100 + 8) >> 4 = 103, held to 110 - 2
  EXPECT_EQ(101, out[8 * 3 + 4]);  // (2 * 110 + 14 * 100 + 8) >> 4 = 101
  EXPECT_EQ(101, out[8 * 3 + 3]);  // (110 + 15 * 100 + 8) >> 4 = 101
  EXPECT_EQ(100, out[0]);
  // A large quantiser lets the full smoothing through.
  ASSERT_EQ(tavrin::Ok, DeringSmooth(area.block(), 10, out, 8, 150, 31));
  EXPECT_EQ(103, out[8 * 4 + 4]);
  // Quantiser 1 allows no change at all.
  ASSERT_EQ(tavrin::Ok, DeringSmooth(area.block(), 10, out, 8, 150, 1));
  EXPECT_EQ(110, out[8 * 4 + 4]);
  EXPECT_EQ(100, out[8 * 3 + 4]);
}

TEST(Dering, WindowsAcrossTheThresholdAreKept) {
  DeringArea area(100);
  area(4, 4) = 110;
  uint8_t out[8 * 8];
  // Threshold 105: only (4, 4) has index 1, so its 3x3 neighbours keep their
  // values; every other window is uniform but flat.
  ASSERT_EQ(tavrin::Ok, DeringSmooth(area.block(), 10, out, 8, 105, 31));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(area(x, y), out[8 * y + x]) << x << "," << y;
}

TEST(Dering, RingAroundTheBlockIsRead) {
  DeringArea area(100);
  area(-1, -1) = 116;  // the ring's top-left sample
  uint8_t out[8 * 8];
  ASSERT_EQ(tavrin::Ok, DeringSmooth(area.block(), 10, out, 8, 200, 31));
  EXPECT_EQ(101, out[0]);  // (116 + 15 * 100 + 8) >> 4
  EXPECT_EQ(100, out[1]);
}

TEST(Dering, InPlaceEqualsSeparateDestination) {
  std::mt19937 rng(5);
  for (int iter = 0; iter < 50; ++iter) {
    DeringArea area(0);
    for (auto& b : area.s) b = static_cast<uint8_t>(100 + rng() % 20 + (rng() % 4 == 0 ? 60 : 0));
    int32_t threshold = 0, range = 0;
    ASSERT_EQ(tavrin::Ok, DeringThreshold(area.block(), 10, &threshold, &range));
    uint8_t out[8 * 8];
    ASSERT_EQ(tavrin::Ok, DeringSmooth(area.block(), 10, out, 8, threshold, 12));
    ASSERT_EQ(tavrin::Ok, DeringSmooth(area.block(), 10, area.s + 11, 10, threshold, 12));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(out[8 * y + x], area(x, y));
  }
}

TEST(Dering, SmoothChecksInOrder) {
  DeringArea area(100);
  uint8_t out[64] = {7};
  EXPECT_EQ(tavrin::NullPointer, DeringSmooth(nullptr, 10, out, 8, 0, 0));
  EXPECT_EQ(tavrin::NullPointer, DeringSmooth(area.block(), 10, nullptr, 8, 0, 4));
  EXPECT_EQ(tavrin::Step8Error, DeringSmooth(area.block(), 7, out, 8, 0, 0));
  EXPECT_EQ(tavrin::Step8Error, DeringSmooth(area.block(), 10, out, 7, 0, 4));
  EXPECT_EQ(tavrin::QuantiserError, DeringSmooth(area.block(), 10, out, 8, 0, 0));
  EXPECT_EQ(tavrin::QuantiserError, DeringSmooth(area.block(), 10, out, 8, 0, 32));
  EXPECT_EQ(7, out[0]);
}

}  // namespace
