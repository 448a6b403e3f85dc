// Direct-mode vectors, vector clipping and chroma vectors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "primitives/vectors/vectors.h"
#include "unit/primitives/vector_bit_writer.h"

namespace {

using tavrin::ClipRect;
using tavrin::MotionVector;
using vectortest::BitWriter;
using vectortest::Position;
namespace ref = tavrin::reference;

struct alignas(4) Flags {
  uint8_t b[4];
};
constexpr Flags kPresent{{2, 2, 2, 2}};
constexpr Flags kAbsent{{0, 0, 0, 0}};

MotionVector Same(int16_t x, int16_t y) { return MotionVector{x, y}; }

// ---- Direct mode ----

TEST(DeriveDirectVectors, EqualDistancesGiveTheColocatedVectorAndZero) {
  const MotionVector mv[4] = {{6, -4}, {7, 3}, {-9, 0}, {1, 1}};
  MotionVector f[4], b[4];
  ASSERT_EQ(ref::DeriveDirectVectors(mv, f, b, kPresent.b, 5, 5), tavrin::Ok);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(f[k], mv[k]);
    EXPECT_EQ(b[k], Same(0, 0));
  }
}

TEST(DeriveDirectVectors, DivisionsTruncateTowardZero) {
  const MotionVector mv[4] = {{-3, 3}, {-3, 3}, {5, -5}, {1, -1}};
  MotionVector f[4], b[4];
  ASSERT_EQ(ref::DeriveDirectVectors(mv, f, b, kPresent.b, 1, 2), tavrin::Ok);
  EXPECT_EQ(f[0], Same(-1, 1));   // -3/2, 3/2
  EXPECT_EQ(b[0], Same(1, -1));   // (1-2)(-3)/2 = 3/2, -3/2
  EXPECT_EQ(f[2], Same(2, -2));
  EXPECT_EQ(b[2], Same(-2, 2));
  EXPECT_EQ(f[3], Same(0, 0));
  EXPECT_EQ(b[3], Same(0, 0));    // -1/2 and 1/2 both truncate to 0
}

TEST(DeriveDirectVectors, ZeroFlagWordIgnoresTheColocatedVectors) {
  const MotionVector mv[4] = {{6, -4}, {7, 3}, {-9, 0}, {1, 1}};
  MotionVector f[4], b[4];
  ASSERT_EQ(ref::DeriveDirectVectors(mv, f, b, kAbsent.b, 1, 3), tavrin::Ok);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(f[k], Same(0, 0));
    EXPECT_EQ(b[k], Same(0, 0));
  }
}

TEST(DecodeDirectVectors, DeltaChangesTheForwardAndBackwardRules) {
  BitWriter w;
  w.PutVector(5, 0, 1);
  Position p(w.Bytes());
  const MotionVector mv[4] = {{10, 10}, {10, 10}, {-10, -10}, {0, 0}};
  MotionVector f[4], b[4];
  ASSERT_EQ(ref::DecodeDirectVectors(&p.byte, &p.bit, mv, f, b, kPresent.b, 1, 3), tavrin::Ok);
  EXPECT_EQ(f[0], Same(8, 3));    // 5 + 10/3, 0 + 10/3
  EXPECT_EQ(b[0], Same(-2, -6));  // 8 - 10, (1-3)·10/3
  EXPECT_EQ(f[2], Same(2, -3));
  EXPECT_EQ(b[2], Same(12, 6));
  EXPECT_EQ(f[3], Same(5, 0));
  EXPECT_EQ(b[3], Same(5, 0));
  EXPECT_EQ(p.Consumed(), w.BitCount());
}

// The delta is read as with fcode 1 and is not wrapped: 32 stays 32, and
// the bits after the sign are not a residual.
TEST(DecodeDirectVectors, DeltaIsReadWithoutResidualOrWrap) {
  BitWriter w;
  w.PutVector(32, -32, 1);
  const int32_t delta = w.BitCount();
  w.PutBits("111111");
  Position p(w.Bytes());
  const MotionVector mv[4] = {};
  MotionVector f[4], b[4];
  ASSERT_EQ(ref::DecodeDirectVectors(&p.byte, &p.bit, mv, f, b, kAbsent.b, 2, 3), tavrin::Ok);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(f[k], Same(32, -32));
    EXPECT_EQ(b[k], Same(32, -32));
  }
  EXPECT_EQ(p.Consumed(), delta);
}

TEST(DecodeDirectVectors, InvalidCodeLeavesPositionAndOutputs) {
  BitWriter w;
  w.Put(1, 5);
  w.PutDifference(3, 1);
  Position p(w.Bytes(), 5);
  const MotionVector mv[4] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
  MotionVector f[4] = {{9, 9}, {9, 9}, {9, 9}, {9, 9}}, b[4] = {{8, 8}, {8, 8}, {8, 8}, {8, 8}};
  EXPECT_EQ(ref::DecodeDirectVectors(&p.byte, &p.bit, mv, f, b, kPresent.b, 1, 2),
            tavrin::VectorCodeError);
  EXPECT_EQ(p.Consumed(), 5);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(f[k], Same(9, 9));
    EXPECT_EQ(b[k], Same(8, 8));
  }
}

TEST(DecodeDirectVectors, RandomVectorsMatchThePlainFormula) {
  std::mt19937 rng(99);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  for (int iter = 0; iter < 2000; ++iter) {
    MotionVector mv[4];
    for (auto& v : mv) v = Same(static_cast<int16_t>(pick(-2048, 2047)), static_cast<int16_t>(pick(-2048, 2047)));
    const int32_t trd = pick(1, 300), trb = pick(1, 300);
    const int32_t dx = pick(0, 3) == 0 ? 0 : pick(-32, 32);
    const int32_t dy = pick(0, 3) == 0 ? 0 : pick(-32, 32);
    BitWriter w;
    w.PutVector(dx, dy, 1);
    Position p(w.Bytes());
    MotionVector f[4], b[4];
    ASSERT_EQ(ref::DecodeDirectVectors(&p.byte, &p.bit, mv, f, b, kPresent.b, trb, trd),
              tavrin::Ok);
    auto fwd = [&](int64_t m, int64_t d) { return d + (trb * m) / trd; };
    auto bwd = [&](int64_t m, int64_t d) { return d == 0 ? ((trb - trd) * m) / trd : fwd(m, d) - m; };
    for (int k = 0; k < 4; ++k) {
      ASSERT_EQ(f[k].x, static_cast<int16_t>(fwd(mv[k].x, dx)));
      ASSERT_EQ(f[k].y, static_cast<int16_t>(fwd(mv[k].y, dy)));
      ASSERT_EQ(b[k].x, static_cast<int16_t>(bwd(mv[k].x, dx)));
      ASSERT_EQ(b[k].y, static_cast<int16_t>(bwd(mv[k].y, dy)));
    }
  }
}

TEST(DirectVectors, ArgumentChecksInOrder) {
  std::vector<uint8_t> data(64, 0xFF);
  tavrin::BytePointer byte = data.data();
  int32_t bit = 0, badBit = -1;
  MotionVector mv[4] = {}, f[4] = {}, b[4] = {};
  alignas(4) uint8_t flags[8] = {2, 2, 2, 2, 2, 2, 2, 2};
  const uint8_t* odd = flags + 2;
  EXPECT_EQ(ref::DecodeDirectVectors(&byte, nullptr, nullptr, f, b, odd, 0, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::DecodeDirectVectors(&byte, &badBit, nullptr, f, b, odd, 0, 0), tavrin::BitOffsetError);
  EXPECT_EQ(ref::DecodeDirectVectors(&byte, &bit, mv, nullptr, b, odd, 0, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::DecodeDirectVectors(&byte, &bit, mv, f, b, nullptr, 0, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::DecodeDirectVectors(&byte, &bit, mv, f, b, odd, 0, 0), tavrin::AlignmentError);
  EXPECT_EQ(ref::DecodeDirectVectors(&byte, &bit, mv, f, b, flags, 0, 1), tavrin::TimeDistanceError);
  EXPECT_EQ(ref::DecodeDirectVectors(&byte, &bit, mv, f, b, flags, 1, -1), tavrin::TimeDistanceError);
  EXPECT_EQ(byte, data.data());

  EXPECT_EQ(ref::DeriveDirectVectors(nullptr, f, b, odd, 0, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::DeriveDirectVectors(mv, f, nullptr, odd, 0, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::DeriveDirectVectors(mv, f, b, flags + 1, 0, 0), tavrin::AlignmentError);
  EXPECT_EQ(ref::DeriveDirectVectors(mv, f, b, flags, -3, 2), tavrin::TimeDistanceError);
  EXPECT_EQ(ref::DeriveDirectVectors(mv, f, b, flags, 2, 0), tavrin::TimeDistanceError);
}

// ---- Clipping ----

TEST(ClipVector, PictureRectangleKeepsA16x16BlockInsideTheMargin) {
  const int32_t width = 176, height = 144;
  const ClipRect rect{-16, -16, width + 32, height + 32};
  auto clip = [&](int16_t x, int16_t y, int32_t bx, int32_t by, int32_t size) {
    const MotionVector in{x, y};
    MotionVector out{};
    EXPECT_EQ(ref::ClipVector(&in, &out, &rect, bx, by, size), tavrin::Ok);
    return out;
  };
  EXPECT_EQ(clip(-40, -33, 0, 0, 16), Same(-32, -32));
  EXPECT_EQ(clip(-32, -31, 0, 0, 16), Same(-32, -31));
  EXPECT_EQ(clip(2 * width - 1, 2 * height - 1, 0, 0, 16), Same(2 * width - 1, 2 * height - 1));
  EXPECT_EQ(clip(2 * width, 2 * height + 1, 0, 0, 16), Same(2 * width, 2 * height));
  EXPECT_EQ(clip(2 * width + 77, 900, 0, 0, 16), Same(2 * width, 2 * height));
  // The last macroblock: its top-left may move 16 samples right and down.
  EXPECT_EQ(clip(33, 40, width - 16, height - 16, 16), Same(32, 32));
  EXPECT_EQ(clip(-400, 31, width - 16, height - 16, 16), Same(-2 * width, 31));
  // An 8x8 block's top-left may go 8 samples further than a 16x16 block's.
  EXPECT_EQ(clip(60, 49, width - 16, height - 16, 8), Same(48, 48));
  EXPECT_EQ(clip(60, 49, width - 8, height - 8, 8), Same(32, 32));
}

TEST(ClipVector, RandomVectorsMatchThePlainBounds) {
  std::mt19937 rng(5);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  for (int iter = 0; iter < 5000; ++iter) {
    const int32_t size = pick(0, 1) ? 16 : 8;
    const ClipRect rect{pick(-64, 64), pick(-64, 64), pick(2 * size, 800), pick(2 * size, 600)};
    const int32_t bx = pick(-100, 900), by = pick(-100, 700);
    const MotionVector in{static_cast<int16_t>(pick(-3000, 3000)),
                          static_cast<int16_t>(pick(-3000, 3000))};
    MotionVector out{};
    ASSERT_EQ(ref::ClipVector(&in, &out, &rect, bx, by, size), tavrin::Ok);
    auto one = [&](int64_t v, int64_t pos, int64_t origin, int64_t extent) {
      const int64_t lo = 2 * origin - 2 * pos, hi = 2 * (origin + extent - size) - 2 * pos;
      return static_cast<int16_t>(v < lo ? lo : v >= hi ? hi : v);
    };
    ASSERT_EQ(out.x, one(in.x, bx, rect.x, rect.width));
    ASSERT_EQ(out.y, one(in.y, by, rect.y, rect.height));
  }
}

TEST(ClipVector, InputAndOutputMayBeTheSameVector) {
  const ClipRect rect{-16, -16, 64, 64};
  MotionVector v{500, -500};
  ASSERT_EQ(ref::ClipVector(&v, &v, &rect, 0, 0, 16), tavrin::Ok);
  EXPECT_EQ(v, Same(64, -32));
}

TEST(ClipVector, ArgumentChecksInOrder) {
  const MotionVector in{3, 3};
  MotionVector out{7, 7};
  const ClipRect rect{0, 0, 32, 32};
  const ClipRect narrow{0, 0, 31, 64};
  const ClipRect low{0, 0, 64, 15};
  EXPECT_EQ(ref::ClipVector(nullptr, &out, &narrow, 0, 0, 4), tavrin::NullPointer);
  EXPECT_EQ(ref::ClipVector(&in, nullptr, &rect, 0, 0, 16), tavrin::NullPointer);
  EXPECT_EQ(ref::ClipVector(&in, &out, nullptr, 0, 0, 16), tavrin::NullPointer);
  EXPECT_EQ(ref::ClipVector(&in, &out, &narrow, 0, 0, 4), tavrin::BlockSizeError);
  EXPECT_EQ(ref::ClipVector(&in, &out, &rect, 0, 0, 32), tavrin::BlockSizeError);
  EXPECT_EQ(ref::ClipVector(&in, &out, &narrow, 0, 0, 16), tavrin::SizeError);
  EXPECT_EQ(ref::ClipVector(&in, &out, &low, 0, 0, 8), tavrin::SizeError);
  EXPECT_EQ(out, Same(7, 7));
  EXPECT_EQ(ref::ClipVector(&in, &out, &rect, 0, 0, 16), tavrin::Ok);
  EXPECT_EQ(ref::ClipVector(&in, &out, &low, 0, 0, 16), tavrin::SizeError);
}

// ---- Chroma vectors ----

MotionVector Chroma(MotionVector luma) {
  MotionVector c{};
  EXPECT_EQ(ref::DeriveChromaVector(&luma, &c), tavrin::Ok);
  return c;
}

MotionVector Chroma4(const MotionVector* luma, Flags f) {
  MotionVector c{};
  EXPECT_EQ(ref::DeriveChromaVector4(luma, &c, f.b), tavrin::Ok);
  return c;
}

TEST(DeriveChromaVector, KnownValues) {
  EXPECT_EQ(Chroma(Same(-1, 5)), Same(-1, 3));
  EXPECT_EQ(Chroma(Same(4, -4)), Same(2, -2));
  EXPECT_EQ(Chroma(Same(0, 2)), Same(0, 1));
  EXPECT_EQ(Chroma(Same(-32768, 32767)), Same(-16384, 16383));
}

// Luma offsets 1, 2 and 3 (mod 4) all become the chroma half-sample.
TEST(DeriveChromaVector, QuarterOffsetsLandOnTheHalfSample) {
  for (int32_t v = -32768; v <= 32767; ++v) {
    const int32_t m = std::abs(v);
    const int32_t want = (m % 4 == 0 ? m / 2 : 2 * (m / 4) + 1) * (v < 0 ? -1 : 1);
    const MotionVector c = Chroma(Same(static_cast<int16_t>(v), static_cast<int16_t>(-v / 2)));
    ASSERT_EQ(c.x, want) << v;
  }
}

TEST(DeriveChromaVector4, OneBlockEqualsTheOneVectorDerivation) {
  for (int32_t v = -32768; v <= 32767; v += 3) {
    MotionVector luma[4] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
    const int k = (v & 0x300) >> 8;
    luma[k] = Same(static_cast<int16_t>(v), static_cast<int16_t>(v / 3));
    Flags f = kAbsent;
    f.b[k] = 1;
    ASSERT_EQ(Chroma4(luma, f), Chroma(luma[k])) << v;
  }
}

// The bidirectional decoder derives the chroma vector of four equal vectors
// from one of them.
TEST(DeriveChromaVector4, FourEqualVectorsEqualTheOneVectorDerivation) {
  for (int32_t v = -32768; v <= 32767; ++v) {
    const MotionVector one = Same(static_cast<int16_t>(v), static_cast<int16_t>(-v / 7));
    const MotionVector luma[4] = {one, one, one, one};
    ASSERT_EQ(Chroma4(luma, kPresent), Chroma(one)) << v;
  }
}

TEST(DeriveChromaVector4, FourBlocksRoundTheSumBySixteenths) {
  struct {
    int32_t sum, want;
  } cases[] = {{0, 0},  {2, 0},  {3, 1},   {13, 1},   {14, 2},  {15, 2},
               {16, 2}, {19, 3}, {30, 4},  {-14, -2}, {-3, -1}, {-33, -4}};
  for (const auto& t : cases) {
    const int16_t q = static_cast<int16_t>(t.sum / 4), r = static_cast<int16_t>(t.sum - 3 * q);
    const MotionVector luma[4] = {{q, 0}, {q, 0}, {q, 0}, {r, 0}};
    EXPECT_EQ(Chroma4(luma, kPresent).x, t.want) << t.sum;
  }
}

TEST(DeriveChromaVector4, ThreeAndTwoBlocks) {
  struct {
    int32_t sum, want;
  } three[] = {{2, 0}, {3, 1}, {9, 1}, {10, 2}, {12, 2}, {-22, -4}, {35, 6}};
  for (const auto& t : three) {
    const MotionVector luma[4] = {{0, 0}, {static_cast<int16_t>(t.sum), 5}, {99, 99}, {0, -5}};
    EXPECT_EQ(Chroma4(luma, Flags{{2, 2, 0, 2}}), Same(static_cast<int16_t>(t.want), 0)) << t.sum;
  }
  struct {
    int32_t sum, want;
  } two[] = {{1, 0}, {2, 1}, {6, 1}, {7, 2}, {8, 2}, {-9, -2}, {-10, -3}};
  for (const auto& t : two) {
    const MotionVector luma[4] = {{static_cast<int16_t>(t.sum), 0}, {0, 0}, {0, 0}, {99, 99}};
    EXPECT_EQ(Chroma4(luma, Flags{{2, 0, 2, 0}}).x, t.want) << t.sum;
  }
}

TEST(DeriveChromaVector4, NoBlockGivesZero) {
  const MotionVector luma[4] = {{100, -100}, {5, 5}, {6, 6}, {7, 7}};
  EXPECT_EQ(Chroma4(luma, kAbsent), Same(0, 0));
}

TEST(ChromaVectors, NullPointers) {
  MotionVector luma[4] = {}, c{5, 5};
  EXPECT_EQ(ref::DeriveChromaVector(nullptr, &c), tavrin::NullPointer);
  EXPECT_EQ(ref::DeriveChromaVector(luma, nullptr), tavrin::NullPointer);
  EXPECT_EQ(ref::DeriveChromaVector4(nullptr, &c, kPresent.b), tavrin::NullPointer);
  EXPECT_EQ(ref::DeriveChromaVector4(luma, nullptr, kPresent.b), tavrin::NullPointer);
  EXPECT_EQ(ref::DeriveChromaVector4(luma, &c, nullptr), tavrin::NullPointer);
  EXPECT_EQ(c, Same(5, 5));
}

}  // namespace
