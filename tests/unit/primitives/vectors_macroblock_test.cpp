// DecodeMacroblockVectors: candidate choice and median prediction, one- and
// four-vector macroblocks, filling of absent blocks, failure behaviour and
// argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "primitives/vectors/vectors.h"
#include "unit/primitives/vector_bit_writer.h"

namespace {

using tavrin::MotionVector;
using vectortest::BitWriter;
using vectortest::Position;
namespace ref = tavrin::reference;

struct alignas(4) Flags {
  uint8_t b[4];
};
constexpr Flags kPresent{{2, 2, 2, 2}};
constexpr Flags kAbsent{{0, 0, 0, 0}};

// One macroblock's inputs.
struct Case {
  MotionVector left[4] = {{11, -3}, {12, -4}, {13, -5}, {14, -6}};
  MotionVector above[4] = {{21, 30}, {22, 31}, {23, 32}, {24, 33}};
  MotionVector aboveRight[4] = {{-31, 7}, {-32, 8}, {-33, 9}, {-34, 10}};
  MotionVector out[4] = {{99, 99}, {98, 98}, {97, 97}, {96, 96}};
  Flags leftFlags = kPresent, aboveFlags = kPresent, aboveRightFlags = kPresent;
  Flags current = kPresent;

  tavrin::PrimitiveStatus Run(Position& p, int32_t fcode, int32_t mbType) {
    return ref::DecodeMacroblockVectors(&p.byte, &p.bit, left, above, aboveRight, out,
                                        leftFlags.b, aboveFlags.b, aboveRightFlags.b, current.b,
                                        fcode, mbType);
  }
};

int16_t Med(int16_t a, int16_t b, int16_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

TEST(DecodeMacroblockVectors, OneVectorFromTheLeftNeighbourAlone) {
  Case c;
  c.aboveFlags = c.aboveRightFlags = kAbsent;  // first macroblock row
  BitWriter w;
  w.PutVector(1, -2, 1);
  Position p(w.Bytes());
  ASSERT_EQ(c.Run(p, 1, 0), tavrin::Ok);
  for (const auto& v : c.out) EXPECT_EQ(v, (MotionVector{13, -6}));  // left vector 1
  EXPECT_EQ(p.Consumed(), w.BitCount());
}

TEST(DecodeMacroblockVectors, TwoCandidatesGiveTheMedianWithZero) {
  Case c;
  c.aboveRightFlags = kAbsent;  // end of a row
  BitWriter w;
  w.PutVector(0, 0, 1);
  Position p(w.Bytes());
  ASSERT_EQ(c.Run(p, 1, 1), tavrin::Ok);
  // median(left[1], above[2], 0): x of 12, 23, 0 is 12; y of -4, 32, 0 is 0.
  EXPECT_EQ(c.out[0], (MotionVector{12, 0}));
  EXPECT_EQ(c.out[3], (MotionVector{12, 0}));
}

TEST(DecodeMacroblockVectors, ThreeCandidatesGiveTheMedian) {
  Case c;
  BitWriter w;
  w.PutVector(2, 0, 1);
  Position p(w.Bytes());
  ASSERT_EQ(c.Run(p, 1, 0), tavrin::Ok);
  // x of 12, 23, -33 is 12; y of -4, 32, 9 is 9.
  EXPECT_EQ(c.out[0], (MotionVector{14, 9}));
}

TEST(DecodeMacroblockVectors, NoCandidatePredictsZero) {
  Case c;
  c.leftFlags = c.aboveFlags = c.aboveRightFlags = kAbsent;
  BitWriter w;
  w.PutVector(-5, 6, 2);
  Position p(w.Bytes());
  ASSERT_EQ(c.Run(p, 2, 0), tavrin::Ok);
  EXPECT_EQ(c.out[2], (MotionVector{-5, 6}));
}

// A neighbour counts as present when any of its four flag bytes is set.
TEST(DecodeMacroblockVectors, ANeighbourWithOneFlagByteSetIsPresent) {
  Case c;
  c.aboveFlags = c.aboveRightFlags = kAbsent;
  c.leftFlags = Flags{{0, 0, 0, 1}};
  BitWriter w;
  w.PutVector(0, 0, 1);
  Position p(w.Bytes());
  ASSERT_EQ(c.Run(p, 1, 0), tavrin::Ok);
  EXPECT_EQ(c.out[0], c.left[1]);
}

// Four vectors without neighbours, worked by hand: block 0 predicts 0;
// block 1 from vector 0 alone; block 2 the median of 0, v0, v1; block 3 the
// median of v2, v0, v1.
TEST(DecodeMacroblockVectors, FourVectorsPredictFromTheBlocksBefore) {
  for (int32_t mbType : {2, 5}) {
    Case c;
    c.leftFlags = c.aboveFlags = c.aboveRightFlags = kAbsent;
    BitWriter w;
    w.PutVector(2, 0, 1);
    w.PutVector(0, 2, 1);
    w.PutVector(4, 4, 1);
    w.PutVector(-2, 6, 1);
    Position p(w.Bytes());
    ASSERT_EQ(c.Run(p, 1, mbType), tavrin::Ok);
    EXPECT_EQ(c.out[0], (MotionVector{2, 0}));
    EXPECT_EQ(c.out[1], (MotionVector{2, 2}));
    EXPECT_EQ(c.out[2], (MotionVector{6, 4}));
    EXPECT_EQ(c.out[3], (MotionVector{0, 8}));
    EXPECT_EQ(p.Consumed(), w.BitCount());
  }
}

// Plain model of the prediction, with the candidate list written out per
// block.
MotionVector ModelPrediction(int block, const Case& c, const MotionVector* cur, const Flags& f) {
  struct K {
    bool valid;
    MotionVector v;
  } k[3];
  const bool l = c.leftFlags.b[0] | c.leftFlags.b[1] | c.leftFlags.b[2] | c.leftFlags.b[3];
  const bool a = c.aboveFlags.b[0] | c.aboveFlags.b[1] | c.aboveFlags.b[2] | c.aboveFlags.b[3];
  const bool ar = c.aboveRightFlags.b[0] | c.aboveRightFlags.b[1] | c.aboveRightFlags.b[2] |
                  c.aboveRightFlags.b[3];
  switch (block) {
    case 0: k[0] = {l, c.left[1]}; k[1] = {a, c.above[2]}; k[2] = {ar, c.aboveRight[2]}; break;
    case 1: k[0] = {f.b[0] != 0, cur[0]}; k[1] = {a, c.above[3]}; k[2] = {ar, c.aboveRight[2]}; break;
    case 2: k[0] = {l, c.left[3]}; k[1] = {f.b[0] != 0, cur[0]}; k[2] = {f.b[1] != 0, cur[1]}; break;
    default: k[0] = {f.b[2] != 0, cur[2]}; k[1] = {f.b[0] != 0, cur[0]}; k[2] = {f.b[1] != 0, cur[1]}; break;
  }
  int n = 0;
  MotionVector only{0, 0};
  for (auto& x : k) {
    if (x.valid) {
      ++n;
      only = x.v;
    } else {
      x.v = MotionVector{0, 0};
    }
  }
  if (n == 0) return MotionVector{0, 0};
  if (n == 1) return only;
  return MotionVector{Med(k[0].v.x, k[1].v.x, k[2].v.x), Med(k[0].v.y, k[1].v.y, k[2].v.y)};
}

TEST(DecodeMacroblockVectors, RandomMacroblocksMatchAPlainModel) {
  std::mt19937 rng(17);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  for (int iter = 0; iter < 3000; ++iter) {
    const int32_t fcode = pick(1, 7);
    const int32_t range = 16 << fcode;
    Case c;
    for (auto* set : {c.left, c.above, c.aboveRight, c.out}) {
      for (int i = 0; i < 4; ++i) {
        set[i] = MotionVector{static_cast<int16_t>(pick(-range, range - 1)),
                              static_cast<int16_t>(pick(-range, range - 1))};
      }
    }
    auto randomFlags = [&] {
      Flags f = kAbsent;
      if (pick(0, 2) != 0) f.b[pick(0, 3)] = 2;
      return f;
    };
    c.leftFlags = randomFlags();
    c.aboveFlags = randomFlags();
    c.aboveRightFlags = randomFlags();
    for (auto& b : c.current.b) b = pick(0, 3) != 0 ? 2 : 0;
    const int32_t mbType = pick(0, 5);
    const bool four = mbType == 2 || mbType == 5;

    MotionVector want[4];
    std::copy(c.out, c.out + 4, want);
    BitWriter w;
    for (int block = 0; block < (four ? 4 : 1); ++block) {
      if (four && c.current.b[block] == 0) continue;
      const MotionVector pred = ModelPrediction(block, c, want, c.current);
      const int32_t dx = pick(-range, range), dy = pick(-range, range);
      w.PutVector(dx, dy, fcode);
      auto wrap = [&](int32_t v) {
        return static_cast<int16_t>(v < -range ? v + 2 * range : v >= range ? v - 2 * range : v);
      };
      want[block] = MotionVector{wrap(pred.x + dx), wrap(pred.y + dy)};
    }
    if (four) {
      const int order[4][3] = {{1, 2, 3}, {0, 3, 2}, {3, 0, 1}, {2, 1, 0}};
      for (int b = 0; b < 4; ++b) {
        if (c.current.b[b] != 0) continue;
        int from = order[b][2];
        if (c.current.b[order[b][0]] != 0) {
          from = order[b][0];
        } else if (c.current.b[order[b][1]] != 0) {
          from = order[b][1];
        }
        want[b] = want[from];
      }
    } else {
      want[1] = want[2] = want[3] = want[0];
    }
    Position p(w.Bytes());
    ASSERT_EQ(c.Run(p, fcode, mbType), tavrin::Ok) << iter;
    for (int b = 0; b < 4; ++b) {
      ASSERT_EQ(c.out[b], want[b]) << "iteration " << iter << " block " << b;
    }
    ASSERT_EQ(p.Consumed(), w.BitCount());
  }
}

TEST(DecodeMacroblockVectors, AbsentBlocksCopyTheFirstPresentInTheirList) {
  struct {
    Flags flags;
    int source[4];
  } cases[] = {
      {{{0, 2, 0, 0}}, {1, 1, 1, 1}},
      {{{2, 0, 0, 2}}, {0, 0, 3, 3}},
      {{{0, 0, 2, 0}}, {2, 2, 2, 2}},
      {{{0, 2, 2, 0}}, {1, 1, 2, 2}},
      {{{2, 0, 2, 0}}, {0, 0, 2, 2}},
  };
  for (const auto& t : cases) {
    Case c;
    c.current = t.flags;
    BitWriter w;
    MotionVector decoded[4] = {};
    for (int b = 0; b < 4; ++b) {
      if (t.flags.b[b] == 0) continue;
      w.PutVector(b + 1, -b - 1, 1);
    }
    Position p(w.Bytes());
    ASSERT_EQ(c.Run(p, 1, 2), tavrin::Ok);
    for (int b = 0; b < 4; ++b) decoded[b] = c.out[b];
    for (int b = 0; b < 4; ++b) EXPECT_EQ(decoded[b], decoded[t.source[b]]) << b;
    EXPECT_EQ(p.Consumed(), w.BitCount());
  }
}

// With no block present nothing is read, and the fill works from the
// vectors the output held: block 0 takes 3, block 1 takes 2, block 2 takes
// block 1 (now 2's), block 3 takes block 0 (now 3's).
TEST(DecodeMacroblockVectors, NoPresentBlockFillsFromTheOutputAsItWas) {
  Case c;
  c.current = kAbsent;
  Position p(std::vector<uint8_t>(64, 0));
  ASSERT_EQ(c.Run(p, 1, 2), tavrin::Ok);
  EXPECT_EQ(c.out[0], (MotionVector{96, 96}));
  EXPECT_EQ(c.out[1], (MotionVector{97, 97}));
  EXPECT_EQ(c.out[2], (MotionVector{97, 97}));
  EXPECT_EQ(c.out[3], (MotionVector{96, 96}));
  EXPECT_EQ(p.Consumed(), 0);
}

TEST(DecodeMacroblockVectors, InvalidCodeInFourVectorModeKeepsEarlierBlocks) {
  Case c;
  c.leftFlags = c.aboveFlags = c.aboveRightFlags = kAbsent;
  BitWriter w;
  w.PutVector(2, 0, 1);
  w.PutVector(0, 2, 1);
  const int32_t afterTwo = w.BitCount();
  w.PutDifference(4, 1);  // x of block 2 is valid, y runs into the zero bytes
  Position p(w.Bytes());
  ASSERT_EQ(c.Run(p, 1, 2), tavrin::VectorCodeError);
  EXPECT_EQ(c.out[0], (MotionVector{2, 0}));
  EXPECT_EQ(c.out[1], (MotionVector{2, 2}));
  EXPECT_EQ(c.out[2], (MotionVector{2, 0}));  // the prediction written into it
  EXPECT_EQ(c.out[3], (MotionVector{96, 96}));
  EXPECT_EQ(p.Consumed(), afterTwo);
}

TEST(DecodeMacroblockVectors, InvalidCodeInOneVectorModeLeavesThePrediction) {
  Case c;
  Position p(std::vector<uint8_t>(64, 0));
  ASSERT_EQ(c.Run(p, 3, 0), tavrin::VectorCodeError);
  EXPECT_EQ(c.out[0], (MotionVector{12, 9}));
  EXPECT_EQ(c.out[1], (MotionVector{98, 98}));
  EXPECT_EQ(p.Consumed(), 0);
}

TEST(DecodeMacroblockVectors, ArgumentChecksInOrder) {
  std::vector<uint8_t> data(64, 0xFF);
  tavrin::BytePointer byte = data.data();
  tavrin::BytePointer nullByte = nullptr;
  int32_t bit = 0, badBit = 8;
  MotionVector v[4] = {}, n[4] = {};
  alignas(4) uint8_t flags[8] = {2, 2, 2, 2, 2, 2, 2, 2};
  const uint8_t* f = flags;
  const uint8_t* odd = flags + 1;
  auto run = [&](tavrin::BytePointer* bp, int32_t* bitp, MotionVector* out, const uint8_t* lf,
                 const uint8_t* cf, int32_t fcode) {
    return ref::DecodeMacroblockVectors(bp, bitp, n, n, n, out, lf, f, f, cf, fcode, 0);
  };
  EXPECT_EQ(run(nullptr, &badBit, nullptr, odd, odd, 0), tavrin::NullPointer);
  EXPECT_EQ(run(&byte, nullptr, v, f, f, 1), tavrin::NullPointer);
  EXPECT_EQ(run(&nullByte, &badBit, v, f, f, 1), tavrin::NullPointer);
  EXPECT_EQ(run(&byte, &badBit, nullptr, odd, odd, 0), tavrin::BitOffsetError);
  EXPECT_EQ(run(&byte, &bit, nullptr, odd, odd, 0), tavrin::NullPointer);
  EXPECT_EQ(run(&byte, &bit, v, nullptr, f, 0), tavrin::NullPointer);
  EXPECT_EQ(run(&byte, &bit, v, f, nullptr, 0), tavrin::NullPointer);
  EXPECT_EQ(ref::DecodeMacroblockVectors(&byte, &bit, nullptr, n, n, v, f, f, f, f, 1, 0),
            tavrin::NullPointer);
  EXPECT_EQ(ref::DecodeMacroblockVectors(&byte, &bit, n, n, n, v, f, nullptr, f, f, 1, 0),
            tavrin::NullPointer);
  EXPECT_EQ(run(&byte, &bit, v, odd, f, 0), tavrin::AlignmentError);
  EXPECT_EQ(run(&byte, &bit, v, f, odd, 0), tavrin::AlignmentError);
  EXPECT_EQ(ref::DecodeMacroblockVectors(&byte, &bit, n, n, n, v, f, flags + 2, f, f, 9, 0),
            tavrin::AlignmentError);
  EXPECT_EQ(ref::DecodeMacroblockVectors(&byte, &bit, n, n, n, v, f, f, flags + 3, f, 9, 0),
            tavrin::AlignmentError);
  EXPECT_EQ(run(&byte, &bit, v, f, f, 0), tavrin::RangeCodeError);
  EXPECT_EQ(run(&byte, &bit, v, f, f, 8), tavrin::RangeCodeError);
  EXPECT_EQ(byte, data.data());
  EXPECT_EQ(bit, 0);
  for (const auto& x : v) EXPECT_EQ(x, (MotionVector{0, 0}));
}

}  // namespace
