// Motion vector decoding: the motion_code table, single and paired vector
// differences with their range wrap, and the P-picture macroblock vectors
// with median prediction.
#include "primitives/vectors/vectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "primitives/vectors/motion_code_table.h"
#include "unit/primitives/vector_bit_writer.h"

namespace {

using tavrin::BytePointer;
using tavrin::MotionVector;
using tavrin::vectors::kMotionCodeWords;
using tavrin::vectors::LookUpMotionCode;
using vectortest::BitWriter;
using vectortest::Position;
namespace ref = tavrin::reference;

// The wrap of a predictor plus a difference into -R .. R-1, as stated.
int16_t Wrapped(int32_t v, int32_t fcode) {
  const int32_t r = 16 << fcode;
  if (v < -r) v += 2 * r;
  if (v >= r) v -= 2 * r;
  return static_cast<int16_t>(v);
}

// ---- The motion_code table ----

TEST(MotionCodeTable, HoldsEachMagnitudeOnceWithLengthsOneToTwelve) {
  for (size_t m = 0; m < kMotionCodeWords.size(); ++m) {
    EXPECT_EQ(kMotionCodeWords[m].magnitude, m);
    const size_t n = std::string(kMotionCodeWords[m].bits).size();
    EXPECT_GE(n, 1u);
    EXPECT_LE(n, 12u);
  }
  EXPECT_EQ(kMotionCodeWords.size(), 33u);
}

TEST(MotionCodeTable, IsPrefixFree) {
  for (const auto& a : kMotionCodeWords) {
    for (const auto& b : kMotionCodeWords) {
      if (&a == &b) continue;
      const std::string sa = a.bits, sb = b.bits;
      EXPECT_NE(sb.rfind(sa, 0), 0u) << sa << " is a prefix of " << sb;
    }
  }
}

// Every 12-bit peek except 0 and 1 starts with exactly one word, and the
// lookup finds that word.
TEST(MotionCodeTable, EveryPeekFindsTheWordItStartsWith) {
  for (uint32_t v = 0; v < 4096; ++v) {
    int matches = 0;
    uint32_t magnitude = 0, length = 0;
    for (const auto& w : kMotionCodeWords) {
      const std::string s = w.bits;
      uint32_t prefix = 0;
      for (char c : s) prefix = prefix * 2 + static_cast<uint32_t>(c - '0');
      if ((v >> (12 - s.size())) == prefix) {
        ++matches;
        magnitude = w.magnitude;
        length = static_cast<uint32_t>(s.size());
      }
    }
    const auto e = LookUpMotionCode(v);
    if (v < 2) {
      EXPECT_EQ(matches, 0);
      EXPECT_EQ(e.length, 0) << v;
      continue;
    }
    ASSERT_EQ(matches, 1) << v;
    EXPECT_EQ(e.magnitude, magnitude) << v;
    EXPECT_EQ(e.length, length) << v;
  }
}

// Known words of the table, as printed in the standard.
TEST(MotionCodeTable, KnownWords) {
  EXPECT_STREQ(kMotionCodeWords[0].bits, "1");
  EXPECT_STREQ(kMotionCodeWords[4].bits, "000011");
  EXPECT_STREQ(kMotionCodeWords[7].bits, "0000011");
  EXPECT_STREQ(kMotionCodeWords[8].bits, "000001011");
  EXPECT_STREQ(kMotionCodeWords[16].bits, "0000001100");
  EXPECT_STREQ(kMotionCodeWords[24].bits, "0000000100");
  EXPECT_STREQ(kMotionCodeWords[25].bits, "00000000111");
  EXPECT_STREQ(kMotionCodeWords[32].bits, "000000000010");
}

// ---- Single vector differences ----

// Every word with both signs, at every starting bit offset, with fcode 7 so
// that no magnitude wraps: the difference is ((m - 1) << 6) + r + 1.
TEST(DecodeForwardVector, EveryWordDecodesAtEveryBitOffset) {
  for (int start = 0; start < 8; ++start) {
    for (uint32_t m = 0; m <= 32; ++m) {
      for (int sign = 0; sign < 2; ++sign) {
        if (m == 0 && sign == 1) continue;
        BitWriter w;
        w.Put(0x5A, start);  // lead-in bits before the position
        w.PutBits(kMotionCodeWords[m].bits);
        int32_t want = 0;
        if (m != 0) {
          w.PutBit(static_cast<uint32_t>(sign));
          w.Put(37, 6);
          want = static_cast<int32_t>((m - 1) << 6) + 37 + 1;
          if (sign) want = -want;
        }
        w.PutBits("1");  // y difference 0
        const int32_t total = w.BitCount();
        Position p(w.Bytes(), start);
        MotionVector v{0, 0};
        ASSERT_EQ(ref::DecodeForwardVector(&p.byte, &p.bit, &v, 7), tavrin::Ok);
        EXPECT_EQ(v.x, Wrapped(want, 7)) << m << " " << sign;
        EXPECT_EQ(v.y, 0);
        EXPECT_EQ(p.Consumed(), total);
      }
    }
  }
}

TEST(DecodeForwardVector, RandomDifferencesForEveryFcode) {
  std::mt19937 rng(7);
  for (int32_t fcode = 1; fcode <= 7; ++fcode) {
    const int32_t range = 16 << fcode;
    for (int iter = 0; iter < 400; ++iter) {
      const auto pick = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
      };
      const MotionVector pred{static_cast<int16_t>(pick(-range, range - 1)),
                              static_cast<int16_t>(pick(-range, range - 1))};
      const int32_t dx = pick(-range, range), dy = pick(-range, range);
      BitWriter w;
      w.PutVector(dx, dy, fcode);
      Position p(w.Bytes());
      MotionVector v = pred;
      ASSERT_EQ(ref::DecodeBackwardVector(&p.byte, &p.bit, &v, fcode), tavrin::Ok);
      EXPECT_EQ(v.x, Wrapped(pred.x + dx, fcode));
      EXPECT_EQ(v.y, Wrapped(pred.y + dy, fcode));
      EXPECT_GE(v.x, -range);
      EXPECT_LT(v.x, range);
      EXPECT_EQ(p.Consumed(), w.BitCount());
    }
  }
}

TEST(DecodeForwardVector, FcodeOneReadsNoResidualAndWrapsAtMinus32And31) {
  BitWriter w;
  w.PutVector(1, -1, 1);
  w.PutVector(32, -32, 1);
  Position p(w.Bytes());
  MotionVector v{31, -32};
  ASSERT_EQ(ref::DecodeForwardVector(&p.byte, &p.bit, &v, 1), tavrin::Ok);
  EXPECT_EQ(v, (MotionVector{-32, 31}));
  EXPECT_EQ(p.Consumed(), 6);  // "010" and "011"
  v = MotionVector{0, 0};
  ASSERT_EQ(ref::DecodeForwardVector(&p.byte, &p.bit, &v, 1), tavrin::Ok);
  EXPECT_EQ(v, (MotionVector{-32, -32}));  // +32 wraps, -32 stays
  EXPECT_EQ(p.Consumed(), 6 + 26);
}

TEST(DecodeForwardVector, FcodeSevenLargestDifferenceWraps) {
  BitWriter w;
  w.PutBits(kMotionCodeWords[32].bits);
  w.PutBit(0);
  w.Put(63, 6);
  w.PutBits(kMotionCodeWords[32].bits);
  w.PutBit(1);
  w.Put(63, 6);
  Position p(w.Bytes());
  MotionVector v{0, 0};
  ASSERT_EQ(ref::DecodeForwardVector(&p.byte, &p.bit, &v, 7), tavrin::Ok);
  EXPECT_EQ(v, (MotionVector{-2048, -2048}));
}

TEST(DecodeForwardVector, InvalidCodeLeavesPositionAndVector) {
  for (int bad = 0; bad < 2; ++bad) {  // x invalid, or x valid and y invalid
    BitWriter w;
    w.Put(3, 3);
    if (bad == 1) w.PutDifference(5, 2);
    w.PutBits("000000000001");
    Position p(w.Bytes(), 3);
    MotionVector v{7, -9};
    EXPECT_EQ(ref::DecodeForwardVector(&p.byte, &p.bit, &v, 2), tavrin::VectorCodeError);
    EXPECT_EQ(p.Consumed(), 3);
    EXPECT_EQ(v, (MotionVector{7, -9}));
  }
  // Zero bytes (the spare bytes after the data) are no code either.
  Position p(std::vector<uint8_t>(64, 0));
  MotionVector v{1, 1};
  EXPECT_EQ(ref::DecodeBackwardVector(&p.byte, &p.bit, &v, 1), tavrin::VectorCodeError);
  EXPECT_EQ(p.Consumed(), 0);
}

TEST(DecodeForwardVector, ArgumentChecksInOrder) {
  std::vector<uint8_t> data(64, 0xFF);
  BytePointer byte = data.data();
  BytePointer nullByte = nullptr;
  int32_t bit = 0, badBit = 8, negBit = -1;
  MotionVector v{3, 4};
  for (auto fn : {&ref::DecodeForwardVector, &ref::DecodeBackwardVector}) {
    EXPECT_EQ(fn(nullptr, &badBit, nullptr, 0), tavrin::NullPointer);
    EXPECT_EQ(fn(&byte, nullptr, &v, 1), tavrin::NullPointer);
    EXPECT_EQ(fn(&nullByte, &badBit, &v, 1), tavrin::NullPointer);
    EXPECT_EQ(fn(&byte, &badBit, nullptr, 0), tavrin::BitOffsetError);
    EXPECT_EQ(fn(&byte, &negBit, &v, 1), tavrin::BitOffsetError);
    EXPECT_EQ(fn(&byte, &bit, nullptr, 0), tavrin::NullPointer);
    EXPECT_EQ(fn(&byte, &bit, &v, 0), tavrin::RangeCodeError);
    EXPECT_EQ(fn(&byte, &bit, &v, 8), tavrin::RangeCodeError);
  }
  EXPECT_EQ(byte, data.data());
  EXPECT_EQ(bit, 0);
  EXPECT_EQ(v, (MotionVector{3, 4}));
}

// ---- Paired differences ----

TEST(DecodeBidirVectors, DecodesFirstWithFirstFcodeThenSecond) {
  BitWriter w;
  w.PutVector(40, -3, 2);
  w.PutVector(-100, 7, 3);
  Position p(w.Bytes());
  MotionVector a{10, 0}, b{0, 20};
  ASSERT_EQ(ref::DecodeBidirVectors(&p.byte, &p.bit, &a, &b, 2, 3), tavrin::Ok);
  EXPECT_EQ(a, (MotionVector{50, -3}));
  EXPECT_EQ(b, (MotionVector{-100, 27}));
  EXPECT_EQ(p.Consumed(), w.BitCount());
}

TEST(DecodeBidirVectors, StopsAtTheFirstInvalidCode) {
  BitWriter w;
  w.PutVector(4, 4, 1);
  const int32_t afterFirst = w.BitCount();
  w.PutBits("0000000000001");
  Position p(w.Bytes());
  MotionVector a{0, 0}, b{5, 5};
  EXPECT_EQ(ref::DecodeBidirVectors(&p.byte, &p.bit, &a, &b, 1, 1), tavrin::VectorCodeError);
  EXPECT_EQ(a, (MotionVector{4, 4}));
  EXPECT_EQ(b, (MotionVector{5, 5}));
  EXPECT_EQ(p.Consumed(), afterFirst);

  Position q(std::vector<uint8_t>(64, 0));
  EXPECT_EQ(ref::DecodeBidirVectors(&q.byte, &q.bit, &a, &b, 1, 1), tavrin::VectorCodeError);
  EXPECT_EQ(a, (MotionVector{4, 4}));
  EXPECT_EQ(q.Consumed(), 0);
}

TEST(DecodeBidirVectors, ArgumentChecksInOrder) {
  std::vector<uint8_t> data(64, 0xFF);
  BytePointer byte = data.data();
  int32_t bit = 0, badBit = 9;
  MotionVector a{}, b{};
  EXPECT_EQ(ref::DecodeBidirVectors(nullptr, &bit, &a, &b, 1, 1), tavrin::NullPointer);
  EXPECT_EQ(ref::DecodeBidirVectors(&byte, &badBit, nullptr, &b, 0, 0), tavrin::BitOffsetError);
  EXPECT_EQ(ref::DecodeBidirVectors(&byte, &bit, &a, nullptr, 0, 1), tavrin::NullPointer);
  EXPECT_EQ(ref::DecodeBidirVectors(&byte, &bit, &a, &b, 1, 0), tavrin::RangeCodeError);
  EXPECT_EQ(ref::DecodeBidirVectors(&byte, &bit, &a, &b, 8, 1), tavrin::RangeCodeError);
  EXPECT_EQ(byte, data.data());
}

}  // namespace
