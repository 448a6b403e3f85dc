// Table rows 29 to 32 (coefficients into raster-order blocks, the intra DC
// alone) and the read-ahead bound of the coefficient decoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "primitives/coefficients/coefficients.h"
#include "primitives/scan_tables.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using namespace tavrin;
using coeftest::BitWriter;
using coeftest::Event;

const ScanTable& ScanOfIndex(int scan) {
  return scan == 1 ? kAlternateVerticalScan : scan == 2 ? kAlternateHorizontalScan : kZigzagScan;
}

struct Block {
  int16_t v[64];
  Block() { std::fill(v, v + 64, int16_t{0x5555}); }
  bool AllZeroBut(std::initializer_list<std::pair<int, int>> nonzero) const {
    int16_t want[64] = {};
    for (auto [i, value] : nonzero) want[i] = static_cast<int16_t>(value);
    return std::equal(v, v + 64, want);
  }
};

TEST(CoefficientRows, ArgumentChecksInOrderWriteNothing) {
  std::vector<uint8_t> bytes(80, 0xFF);
  BytePointer p = bytes.data();
  BytePointer none = nullptr;
  int32_t bit = 0, badBit = 8, negativeBit = -1;
  Block b;
  using reference::DecodeInterCoefficients;
  using reference::DecodeIntraCoefficients;
  using reference::DecodeIntraCoefficientsNoDc;
  using reference::DecodeIntraDc;
  // Null pointers come before the bit offset, the offset before the scan.
  EXPECT_EQ(DecodeIntraCoefficients(nullptr, &badBit, b.v, 7, 0), NullPointer);
  EXPECT_EQ(DecodeIntraCoefficients(&p, nullptr, b.v, 7, 0), NullPointer);
  EXPECT_EQ(DecodeIntraCoefficients(&p, &badBit, nullptr, 7, 0), NullPointer);
  EXPECT_EQ(DecodeIntraCoefficients(&none, &badBit, b.v, 7, 0), NullPointer);
  EXPECT_EQ(DecodeIntraCoefficients(&p, &badBit, b.v, 7, 0), BitOffsetError);
  EXPECT_EQ(DecodeIntraCoefficients(&p, &negativeBit, b.v, 0, 0), BitOffsetError);
  EXPECT_EQ(DecodeIntraCoefficients(&p, &bit, b.v, 3, 0), TypeError);
  EXPECT_EQ(DecodeIntraCoefficients(&p, &bit, b.v, -1, 0), TypeError);
  EXPECT_EQ(DecodeIntraCoefficientsNoDc(&none, &badBit, b.v, 7), NullPointer);
  EXPECT_EQ(DecodeIntraCoefficientsNoDc(&p, &badBit, b.v, 7), BitOffsetError);
  EXPECT_EQ(DecodeIntraCoefficientsNoDc(&p, &bit, b.v, 3), TypeError);
  EXPECT_EQ(DecodeInterCoefficients(&p, &bit, nullptr), NullPointer);
  EXPECT_EQ(DecodeInterCoefficients(&none, &bit, b.v), NullPointer);
  EXPECT_EQ(DecodeInterCoefficients(&p, &badBit, b.v), BitOffsetError);
  EXPECT_EQ(DecodeIntraDc(&p, &bit, nullptr, 0), NullPointer);
  EXPECT_EQ(DecodeIntraDc(&none, &badBit, b.v, 0), NullPointer);
  EXPECT_EQ(DecodeIntraDc(&p, &negativeBit, b.v, 0), BitOffsetError);
  EXPECT_EQ(p, bytes.data());
  EXPECT_EQ(bit, 0);
  EXPECT_TRUE(std::all_of(b.v, b.v + 64, [](int16_t x) { return x == 0x5555; }));
}

TEST(CoefficientRows, IntraCoefficientsFollowTheScanIndexAndSelector) {
  for (int scan = 0; scan < 3; ++scan) {
    for (int selector : {0, 1, 2}) {
      BitWriter w;
      w.Put(1, 2);
      coeftest::PutDcDifferential(w, -37, selector == 1);
      coeftest::PutTableCode(w, coeftest::kIntraTcoefCodes, {0, 0, 3});   // index 1
      coeftest::PutTableCode(w, coeftest::kIntraTcoefCodes, {1, 2, -1});  // index 4
      const auto bytes = w.Bytes();
      BytePointer p = bytes.data();
      int32_t bit = 2;
      Block b;
      ASSERT_EQ(reference::DecodeIntraCoefficients(&p, &bit, b.v, scan, selector), Ok);
      const ScanTable& s = ScanOfIndex(scan);
      EXPECT_TRUE(b.AllZeroBut({{s[0], -37}, {s[1], 3}, {s[4], -1}})) << scan << selector;
      EXPECT_EQ((p - bytes.data()) * 8 + bit, w.BitCount());
    }
  }
}

TEST(CoefficientRows, FailuresLeaveAZeroBlockAndThePosition) {
  // DC fine, then a run past index 63.
  BitWriter w;
  coeftest::PutDcDifferential(w, 12, false);
  w.PutCode("0000011 1 1 0 111111 1 000000000001 1");  // index 1 + 63
  // Missing marker after a size-10 differential.
  BitWriter m;
  coeftest::PutDcDifferential(m, 700, false, 0);
  for (const BitWriter* writer : {&w, &m}) {
    const auto bytes = writer->Bytes();
    BytePointer p = bytes.data();
    int32_t bit = 0;
    Block b;
    const PrimitiveStatus s = reference::DecodeIntraCoefficients(&p, &bit, b.v, 0, 0);
    EXPECT_EQ(s, writer == &w ? CoefficientCodeError : MarkerError);
    EXPECT_TRUE(b.AllZeroBut({}));
    EXPECT_EQ(p, bytes.data());
    EXPECT_EQ(bit, 0);
  }
}

TEST(CoefficientRows, NoDcFormStartsAtIndex0) {
  BitWriter w;
  coeftest::PutTableCode(w, coeftest::kIntraTcoefCodes, {0, 0, 7});
  coeftest::PutTableCode(w, coeftest::kIntraTcoefCodes, {1, 1, 2});
  const auto bytes = w.Bytes();
  BytePointer p = bytes.data();
  int32_t bit = 0;
  Block b;
  ASSERT_EQ(reference::DecodeIntraCoefficientsNoDc(&p, &bit, b.v, 2), Ok);
  EXPECT_TRUE(b.AllZeroBut({{0, 7}, {kAlternateHorizontalScan[2], 2}}));
}

TEST(CoefficientRows, InterBlockWithOneCoefficient) {
  BitWriter w;
  w.PutCode("0111 0");  // last 1, run 0, level 1
  const auto bytes = w.Bytes();
  BytePointer p = bytes.data();
  int32_t bit = 0;
  Block b;
  ASSERT_EQ(reference::DecodeInterCoefficients(&p, &bit, b.v), Ok);
  EXPECT_TRUE(b.AllZeroBut({{0, 1}}));
  EXPECT_EQ(bit, 5);

  BitWriter v;  // zigzag order, escape 3 level -2047 at index 63
  v.PutCode("110 1");  // run 1, level -1: index 1
  v.PutCode("0000011 1 1 1 111101 1 100000000001 1");
  const auto more = v.Bytes();
  p = more.data();
  bit = 0;
  ASSERT_EQ(reference::DecodeInterCoefficients(&p, &bit, b.v), Ok);
  EXPECT_TRUE(b.AllZeroBut({{kZigzagScan[1], -1}, {63, -2047}}));
}

TEST(CoefficientRows, IntraDcWritesValueZeroOnly) {
  BitWriter w;
  coeftest::PutDcDifferential(w, 255, true);
  const auto bytes = w.Bytes();
  BytePointer p = bytes.data();
  int32_t bit = 0;
  Block b;
  ASSERT_EQ(reference::DecodeIntraDc(&p, &bit, b.v, 1), Ok);
  EXPECT_EQ(b.v[0], 255);
  EXPECT_TRUE(std::all_of(b.v + 1, b.v + 64, [](int16_t x) { return x == 0x5555; }));

  // A size code failure leaves the block; a missing marker leaves the
  // position but delivers the differential.
  std::vector<uint8_t> zeros(80, 0);
  p = zeros.data();
  bit = 0;
  Block c;
  EXPECT_EQ(reference::DecodeIntraDc(&p, &bit, c.v, 0), CoefficientCodeError);
  EXPECT_EQ(c.v[0], 0x5555);
  BitWriter m;
  coeftest::PutDcDifferential(m, -2000, false, 0);
  const auto noMarker = m.Bytes();
  p = noMarker.data();
  EXPECT_EQ(reference::DecodeIntraDc(&p, &bit, c.v, 0), MarkerError);
  EXPECT_EQ(c.v[0], -2000);
  EXPECT_EQ(p, noMarker.data());
  EXPECT_EQ(bit, 0);
}

// Valid streams end four readable bytes after their last byte; the rows
// must not read further.
TEST(CoefficientRows, ReadAtMostFourBytesBeyondTheLastConsumedByte) {
  std::mt19937 rng(5);
  for (int iter = 0; iter < 600; ++iter) {
    const int row = iter % 4;
    BitWriter w;
    const int start = static_cast<int>(rng() % 8);
    w.Put(0, start);
    if (row == 0 || row == 3) coeftest::PutDcDifferential(w, static_cast<int>(rng() % 8191) - 4095, false);
    if (row == 0) coeftest::PutRandomBlock(w, rng, coeftest::kIntraTcoefCodes, 1, 1 + iter % 9);
    if (row == 1) coeftest::PutRandomBlock(w, rng, coeftest::kIntraTcoefCodes, 0, 1 + iter % 9);
    if (row == 2) coeftest::PutRandomBlock(w, rng, coeftest::kInterTcoefCodes, 0, 1 + iter % 9);
    const coeftest::GuardedBytes guarded(w.Bytes(), static_cast<size_t>((w.BitCount() - 1) / 8));
    ASSERT_NE(guarded.data(), nullptr);
    BytePointer p = guarded.data();
    int32_t bit = start;
    int16_t block[64];
    PrimitiveStatus s = Ok;
    if (row == 0) s = reference::DecodeIntraCoefficients(&p, &bit, block, 0, 0);
    if (row == 1) s = reference::DecodeIntraCoefficientsNoDc(&p, &bit, block, 1);
    if (row == 2) s = reference::DecodeInterCoefficients(&p, &bit, block);
    if (row == 3) s = reference::DecodeIntraDc(&p, &bit, block, 0);
    ASSERT_EQ(s, Ok) << iter;
    EXPECT_EQ((p - guarded.data()) * 8 + bit, w.BitCount());
  }
}

}  // namespace
