// Intra DC/AC prediction and inverse quantisation of the second path.
#include "primitives/dequant/dequant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>

#include "primitives/scan_tables.h"

namespace {

namespace ref = tavrin::reference;
using Block = std::array<int16_t, 64>;

// The neighbour groups as the picture decoders lay them out: the left
// block's group directly before the above group.
struct Groups {
  int16_t row[24] = {};  // [0..7] guard, [8..15] left block's group, [16..23] above group
  int16_t col[16] = {};  // [0..7] left group, [8..15] guard
  int16_t* previous() { return row + 8; }
  int16_t* above() { return row + 16; }
  int16_t* left() { return col; }
};

int32_t Clamp(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -2048, 2047)); }

// ---- PredictIntraDcAc ----

int16_t PredictedDc(int32_t quant, int32_t selector, int16_t predictor) {
  Block b{};
  Groups g;
  g.above()[0] = predictor;
  EXPECT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), quant, quant, 2, 0, selector),
            tavrin::Ok);
  return b[0];
}

// A predictor of 1000 tells the scalers apart: (1000 + s/2) / s.
TEST(PredictIntraDcAc, DcScalerByQuantiser) {
  EXPECT_EQ(PredictedDc(1, 0, 1000), 125);   // 8
  EXPECT_EQ(PredictedDc(4, 0, 1000), 125);   // 8
  EXPECT_EQ(PredictedDc(5, 0, 1000), 100);   // 10
  EXPECT_EQ(PredictedDc(8, 0, 1000), 63);    // 16
  EXPECT_EQ(PredictedDc(9, 0, 1000), 59);    // 17
  EXPECT_EQ(PredictedDc(24, 0, 1000), 31);   // 32
  EXPECT_EQ(PredictedDc(25, 0, 1000), 29);   // 34
  EXPECT_EQ(PredictedDc(31, 0, 1000), 22);   // 46
  EXPECT_EQ(PredictedDc(4, 1, 1000), 125);   // 8
  EXPECT_EQ(PredictedDc(5, 1, 1000), 111);   // 9
  EXPECT_EQ(PredictedDc(24, 1, 1000), 56);   // 18
  EXPECT_EQ(PredictedDc(25, 1, 1000), 53);   // 19
  EXPECT_EQ(PredictedDc(31, 1, 1000), 40);   // 25
  EXPECT_EQ(PredictedDc(5, 7, 1000), 100);   // any selector but 1 is luminance
}

TEST(PredictIntraDcAc, MissingNeighbourPredictsFrom1024) {
  EXPECT_EQ(PredictedDc(1, 0, -1), 128);
  EXPECT_EQ(PredictedDc(1, 0, -300), 128);
  EXPECT_EQ(PredictedDc(1, 0, 1024), 128);
}

TEST(PredictIntraDcAc, DirectionChoosesTheDcSource) {
  for (int32_t direction = 0; direction < 3; ++direction) {
    Block b{};
    b[0] = -3;
    Groups g;
    g.previous()[0] = 80;  // left block's DC
    g.above()[0] = 160;    // above block's DC
    g.left()[0] = 400;     // above-left DC: never a predictor
    ASSERT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 2, 2, direction, 1, 0),
              tavrin::Ok);
    const int16_t want[3] = {-3 + 128, -3 + 10, -3 + 20};
    EXPECT_EQ(b[0], want[direction]) << direction;
  }
}

TEST(PredictIntraDcAc, DcIsClamped) {
  Block b{};
  b[0] = 2040;
  Groups g;
  g.above()[0] = 800;
  ASSERT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 1, 1, 2, 0, 0), tavrin::Ok);
  EXPECT_EQ(b[0], 2047);
  b[0] = -2200;
  ASSERT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 1, 1, 0, 0, 0), tavrin::Ok);
  EXPECT_EQ(b[0], -2048);
}

// Direction 0 never adds AC values but still refreshes both groups.
TEST(PredictIntraDcAc, DirectionZeroOnlyCopiesTheEdges) {
  Block b{};
  for (int i = 0; i < 64; ++i) b[i] = static_cast<int16_t>(i * 3 - 90);
  const Block before = b;
  Groups g;
  for (int i = 1; i < 8; ++i) g.above()[i] = g.left()[i] = static_cast<int16_t>(50 + i);
  ASSERT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 3, 3, 0, 1, 0), tavrin::Ok);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(b[i], before[i]) << i;
  for (int i = 1; i < 8; ++i) {
    EXPECT_EQ(g.above()[i], b[i]);
    EXPECT_EQ(g.left()[i], b[8 * i]);
  }
  EXPECT_EQ(g.above()[0], 0);  // DC positions of the groups are left alone
  EXPECT_EQ(g.left()[0], 0);
}

// Random blocks and groups against a plain statement of the arithmetic,
// including clamping and rescaling between different quantisers.
TEST(PredictIntraDcAc, RandomBlocksMatchThePlainArithmetic) {
  std::mt19937 rng(31);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  const int32_t lumaScaler[32] = {0, 8, 8, 8, 8, 10, 12, 14, 16, 17, 18, 19, 20, 21, 22, 23,
                                  24, 25, 26, 27, 28, 29, 30, 31, 32, 34, 36, 38, 40, 42, 44, 46};
  const int32_t chromaScaler[32] = {0, 8, 8, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14,
                                    14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 20, 21, 22, 23, 24, 25};
  for (int iter = 0; iter < 20000; ++iter) {
    Block b{};
    Groups g;
    for (auto& v : b) v = static_cast<int16_t>(pick(0, 2) == 0 ? 0 : pick(-2048, 2047));
    for (auto& v : g.row) v = static_cast<int16_t>(pick(0, 2) == 0 ? 0 : pick(-2500, 2500));
    for (auto& v : g.col) v = static_cast<int16_t>(pick(0, 2) == 0 ? 0 : pick(-2500, 2500));
    const int32_t qb = pick(1, 31), qp = pick(0, 1) ? qb : pick(1, 31);
    const int32_t direction = pick(0, 2), ac = pick(0, 1), selector = pick(0, 2);

    Block want = b;
    int64_t p = direction == 2 ? g.above()[0] : direction == 1 ? g.previous()[0] : 1024;
    if (p < 0) p = 1024;
    const int64_t s = selector == 1 ? chromaScaler[qb] : lumaScaler[qb];
    want[0] = static_cast<int16_t>(Clamp(want[0] + (p + s / 2) / s));
    if (ac && direction != 0) {
      for (int i = 1; i < 8; ++i) {
        const int64_t gv = direction == 2 ? g.above()[i] : g.left()[i];
        if (gv == 0) continue;
        const int64_t add = qb == qp ? gv : (gv * qp + (gv < 0 ? -1 : 1) * (qb / 2)) / qb;
        int16_t& target = direction == 2 ? want[i] : want[8 * i];
        target = static_cast<int16_t>(Clamp(target + add));
      }
    }
    Groups wantGroups = g;
    for (int i = 1; i < 8; ++i) {
      wantGroups.above()[i] = want[i];
      wantGroups.left()[i] = want[8 * i];
    }

    ASSERT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), qb, qp, direction, ac, selector),
              tavrin::Ok);
    ASSERT_EQ(b, want) << "iteration " << iter;
    ASSERT_TRUE(std::equal(std::begin(g.row), std::end(g.row), std::begin(wantGroups.row)));
    ASSERT_TRUE(std::equal(std::begin(g.col), std::end(g.col), std::begin(wantGroups.col)));
  }
}

TEST(PredictIntraDcAc, UnequalQuantisersRescaleWithRounding) {
  Block b{};
  Groups g;
  g.above()[1] = 10;
  g.above()[2] = -10;
  g.above()[3] = 1;
  ASSERT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 4, 3, 2, 1, 0), tavrin::Ok);
  EXPECT_EQ(b[1], 8);   // (30 + 2) / 4
  EXPECT_EQ(b[2], -8);  // (-30 - 2) / 4
  EXPECT_EQ(b[3], 1);   // (3 + 2) / 4
}

TEST(PredictIntraDcAc, ArgumentChecksInOrder) {
  Block b{};
  b[0] = 5;
  Groups g;
  g.above()[3] = 9;
  EXPECT_EQ(ref::PredictIntraDcAc(nullptr, g.above(), g.left(), 0, 0, 9, 1, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::PredictIntraDcAc(b.data(), nullptr, g.left(), 1, 1, 1, 1, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), nullptr, 1, 1, 1, 1, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 0, 1, 9, 1, 0), tavrin::QuantiserError);
  EXPECT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 1, 32, 9, 1, 0), tavrin::QuantiserError);
  EXPECT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 1, 1, 3, 1, 0), tavrin::TypeError);
  EXPECT_EQ(ref::PredictIntraDcAc(b.data(), g.above(), g.left(), 1, 1, -1, 1, 0), tavrin::TypeError);
  EXPECT_EQ(b[0], 5);
  EXPECT_EQ(g.above()[1], 0);
  EXPECT_EQ(g.above()[3], 9);
}

// ---- DequantIntra / DequantInter ----

TEST(DequantIntra, UniformMethodKnownValues) {
  Block b{};
  b[0] = 3;
  b[1] = 1;
  b[2] = -1;
  b[63] = 4;
  ASSERT_EQ(ref::DequantIntra(b.data(), 2, nullptr, 0), tavrin::Ok);
  EXPECT_EQ(b[0], 24);  // dc_scaler 8
  EXPECT_EQ(b[1], 5);
  EXPECT_EQ(b[2], -5);
  EXPECT_EQ(b[63], 17);  // 2·2·4 + 1
  EXPECT_EQ(b[3], 0);
  Block c{};
  c[5] = 1;
  c[6] = -1;
  c[0] = -2;
  ASSERT_EQ(ref::DequantIntra(c.data(), 3, nullptr, 1), tavrin::Ok);
  EXPECT_EQ(c[5], 9);
  EXPECT_EQ(c[6], -9);
  EXPECT_EQ(c[0], -16);  // chrominance dc_scaler 8
  EXPECT_EQ(c[63], 0);   // no mismatch control without a matrix
}

TEST(DequantIntra, MatrixWithMismatchControl) {
  std::array<uint8_t, 64> w;
  w.fill(16);
  Block b{};
  b[0] = 1;
  b[1] = 1;
  ASSERT_EQ(ref::DequantIntra(b.data(), 2, w.data(), 0), tavrin::Ok);
  EXPECT_EQ(b[0], 8);
  EXPECT_EQ(b[1], 4);
  EXPECT_EQ(b[63], 1);  // sum 12 is even
  b = Block{};
  b[0] = 1;
  b[2] = 1;
  b[63] = 1;
  ASSERT_EQ(ref::DequantIntra(b.data(), 3, w.data(), 0), tavrin::Ok);
  EXPECT_EQ(b[2], 6);
  EXPECT_EQ(b[63], 7);  // 8 + 6 + 6 = 20 is even: the even 6 goes up to 7
}

TEST(DequantInter, UniformMethodIncludesTheDc) {
  Block b{};
  b[0] = 1;
  b[10] = -2;
  ASSERT_EQ(ref::DequantInter(b.data(), 2, nullptr), tavrin::Ok);
  EXPECT_EQ(b[0], 5);
  EXPECT_EQ(b[10], -9);
}

TEST(DequantInter, MatrixKnownValuesAndMismatch) {
  std::array<uint8_t, 64> w = tavrin::kDefaultNonintraQuantMat;
  Block b{};
  b[0] = 1;   // (3·16·4)/16 = 12
  b[1] = -2;  // (-5·17·4)/16 = -21.25 -> -21
  ASSERT_EQ(ref::DequantInter(b.data(), 4, w.data()), tavrin::Ok);
  EXPECT_EQ(b[0], 12);
  EXPECT_EQ(b[1], -21);
  EXPECT_EQ(b[63], 0);  // sum -9 is odd
  b = Block{};
  b[0] = 1;
  b[63] = 1;  // (3·33·2)/16 = 12.375 -> 12; sum 6 + 12 even -> 13
  ASSERT_EQ(ref::DequantInter(b.data(), 2, w.data()), tavrin::Ok);
  EXPECT_EQ(b[0], 6);
  EXPECT_EQ(b[63], 13);
}

// Plain statement of both methods over random blocks, matrices and
// quantisers, with extreme levels that clamp.
TEST(Dequant, RandomBlocksMatchThePlainArithmetic) {
  std::mt19937 rng(77);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  const int32_t lumaScaler[32] = {0, 8, 8, 8, 8, 10, 12, 14, 16, 17, 18, 19, 20, 21, 22, 23,
                                  24, 25, 26, 27, 28, 29, 30, 31, 32, 34, 36, 38, 40, 42, 44, 46};
  for (int iter = 0; iter < 20000; ++iter) {
    Block b{};
    const int32_t spread = pick(0, 3) == 0 ? 32767 : 40;
    for (auto& v : b) v = static_cast<int16_t>(pick(0, 1) ? 0 : pick(-spread, spread));
    std::array<uint8_t, 64> w;
    for (auto& v : w) v = static_cast<uint8_t>(pick(1, 255));
    const int32_t q = pick(1, 31);
    const bool withMatrix = pick(0, 1) != 0;
    const bool intra = pick(0, 1) != 0;

    Block want = b;
    int64_t sum = 0;
    for (int k = 0; k < 64; ++k) {
      const int64_t level = b[k];
      int64_t v = 0;
      if (intra && k == 0) {
        v = Clamp(level * lumaScaler[q]);
      } else if (level == 0) {
        v = 0;
      } else if (!withMatrix) {
        const int64_t mag = 2 * q * std::abs(level) + (q % 2 ? q : q - 1);
        v = Clamp(level < 0 ? -mag : mag);
      } else if (intra) {
        v = Clamp(q * w[k] * level / 8);
      } else {
        v = Clamp((2 * level + (level < 0 ? -1 : 1)) * w[k] * q / 16);
      }
      want[k] = static_cast<int16_t>(v);
      sum += v;
    }
    if (withMatrix && sum % 2 == 0) want[63] = static_cast<int16_t>(want[63] ^ 1);

    const auto status = intra ? ref::DequantIntra(b.data(), q, withMatrix ? w.data() : nullptr, 0)
                              : ref::DequantInter(b.data(), q, withMatrix ? w.data() : nullptr);
    ASSERT_EQ(status, tavrin::Ok);
    ASSERT_EQ(b, want) << "iteration " << iter;
  }
}

TEST(Dequant, ArgumentChecks) {
  Block b{};
  b[1] = 3;
  EXPECT_EQ(ref::DequantIntra(nullptr, 0, nullptr, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::DequantIntra(b.data(), 0, nullptr, 0), tavrin::QuantiserError);
  EXPECT_EQ(ref::DequantIntra(b.data(), 32, nullptr, 0), tavrin::QuantiserError);
  EXPECT_EQ(ref::DequantInter(nullptr, 0, nullptr), tavrin::NullPointer);
  EXPECT_EQ(ref::DequantInter(b.data(), 0, nullptr), tavrin::QuantiserError);
  EXPECT_EQ(ref::DequantInter(b.data(), -4, nullptr), tavrin::QuantiserError);
  EXPECT_EQ(b[1], 3);
}

}  // namespace
