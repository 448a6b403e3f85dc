// Intra block reconstruction (slots 33 and 35): argument checks, DC
// direction and prediction, AC prediction with its quantiser rescaling,
// the neighbour entries each block index leaves behind, the flat shortcut
// and both inverse quantisations.  Expected pixels are the store form of the
// transform (tested on its own) applied to the expected coefficients.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/scan_tables.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using namespace tavrin;
using coeftest::BitWriter;
using coeftest::kIntraTcoefCodes;

constexpr int kStride = 16;
constexpr uint8_t kPictureGuard = 0xA5;
constexpr int16_t kEntryGuard = 0x7171;

// The neighbour entries around one block, with guard values around them:
// predRow = row + 24 (so predRow[-16] = row[8]), predCol = col + 8.
struct Neighbours {
  std::array<int16_t, 40> row;
  std::array<int16_t, 24> col;
  std::array<uint8_t, 4> qp{0xEE, 10, 10, 0xEE};  // qpNeighbours = qp + 1

  Neighbours() {
    row.fill(kEntryGuard);
    col.fill(kEntryGuard);
    for (int i = 8; i < 32; ++i) row[i] = 0;
    for (int i = 8; i < 17; ++i) col[i] = 0;
  }
  int16_t* predRow() { return row.data() + 24; }
  int16_t* predCol() { return col.data() + 8; }
  // left, above-left and above DCs
  void SetDcs(int16_t left, int16_t aboveLeft, int16_t above) {
    predRow()[-8] = left;
    predCol()[0] = aboveLeft;
    predRow()[0] = above;
  }
  bool operator==(const Neighbours& o) const { return row == o.row && col == o.col && qp == o.qp; }
};

struct Intra {
  BitWriter stream;
  Neighbours n;
  std::array<uint8_t, kStride * 12> picture;
  const uint8_t* matrix = nullptr;
  int32_t startBit = 3;
  int64_t consumed = -1;

  Intra() {
    picture.fill(kPictureGuard);
    stream.Put(6, startBit);
  }
  uint8_t* destination() { return picture.data() + 2 * kStride + 4; }

  PrimitiveStatus Run(bool coded, int32_t quant, int32_t blockIndex, int32_t dcVlc,
                      int32_t acPrediction) {
    const auto bytes = stream.Bytes();
    BytePointer p = bytes.data();
    int32_t bit = startBit;
    const auto f = coded ? reference::ReconstructIntraCoded : reference::ReconstructIntraUncoded;
    const PrimitiveStatus s = f(&p, &bit, destination(), kStride, n.predRow(), n.predCol(), quant,
                                n.qp.data() + 1, matrix, blockIndex, dcVlc, acPrediction);
    consumed = (p - bytes.data()) * 8 + bit - startBit;
    return s;
  }

  // The 8x8 destination holds the store form of coefficients; nothing
  // around it was written.
  void ExpectPixels(std::initializer_list<std::pair<int, int>> coefficients) {
    int16_t block[64] = {};
    for (auto [position, value] : coefficients) block[position] = static_cast<int16_t>(value);
    std::array<uint8_t, kStride * 12> want;
    want.fill(kPictureGuard);
    reconstruction::InverseDctStore(block, 0xFF, want.data() + 2 * kStride + 4, kStride);
    EXPECT_EQ(picture, want);
  }
  void ExpectFlat(int value) {
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < kStride; ++x) {
        const bool inside = y >= 2 && y < 10 && x >= 4 && x < 12;
        ASSERT_EQ(picture[static_cast<size_t>(y * kStride + x)], inside ? value : kPictureGuard);
      }
    }
  }
};

TEST(ReconstructIntra, ArgumentChecksInOrderWriteNothing) {
  for (bool coded : {true, false}) {
    const auto f = coded ? reference::ReconstructIntraCoded : reference::ReconstructIntraUncoded;
    std::vector<uint8_t> bytes(80, 0xFF);
    Neighbours n;
    const Neighbours untouched = n;
    uint8_t pixels[64];
    std::fill(std::begin(pixels), std::end(pixels), uint8_t{3});
    BytePointer p = bytes.data(), none = nullptr;
    int32_t bit = 0, badBit = 8;
    int16_t* row = n.predRow();
    int16_t* col = n.predCol();
    const uint8_t* qp = n.qp.data() + 1;
    // Each call mends the first fault of the previous one.
    EXPECT_EQ(f(nullptr, &badBit, nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, 10, 1, 1), NullPointer);
    EXPECT_EQ(f(&p, nullptr, pixels, 0, nullptr, nullptr, 0, nullptr, nullptr, 10, 1, 1), NullPointer);
    EXPECT_EQ(f(&p, &badBit, nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, 10, 1, 1), NullPointer);
    EXPECT_EQ(f(&none, &badBit, pixels, 0, nullptr, nullptr, 0, nullptr, nullptr, 10, 1, 1), NullPointer);
    EXPECT_EQ(f(&p, &badBit, pixels, 0, nullptr, nullptr, 0, nullptr, nullptr, 10, 1, 1), BitOffsetError);
    int32_t negative = -1;
    EXPECT_EQ(f(&p, &negative, pixels, 0, nullptr, nullptr, 0, nullptr, nullptr, 10, 1, 1), BitOffsetError);
    EXPECT_EQ(f(&p, &bit, pixels, 0, nullptr, nullptr, 0, nullptr, nullptr, 10, 1, 1), StepError);
    EXPECT_EQ(f(&p, &bit, pixels, -8, row, col, 0, qp, nullptr, 10, 1, 1), StepError);
    EXPECT_EQ(f(&p, &bit, pixels, 8, nullptr, col, 0, qp, nullptr, 10, 1, 1), NullPointer);
    EXPECT_EQ(f(&p, &bit, pixels, 8, row, nullptr, 0, qp, nullptr, 10, 1, 1), NullPointer);
    EXPECT_EQ(f(&p, &bit, pixels, 8, row, col, 0, nullptr, nullptr, 10, 1, 1), NullPointer);
    EXPECT_EQ(f(&p, &bit, pixels, 8, row, col, 0, qp, nullptr, 10, 1, 1), BlockIndexError);
    EXPECT_EQ(f(&p, &bit, pixels, 8, row, col, 0, qp, nullptr, -1, 1, 1), BlockIndexError);
    EXPECT_EQ(f(&p, &bit, pixels, 8, row, col, 0, qp, nullptr, 9, 1, 1), QuantiserError);
    EXPECT_EQ(f(&p, &bit, pixels, 8, row, col, 32, qp, nullptr, 9, 1, 1), QuantiserError);
    EXPECT_EQ(f(&p, &bit, pixels, 8, row, col, 256, qp, nullptr, 9, 1, 1), QuantiserError);
    EXPECT_EQ(p, bytes.data());
    EXPECT_EQ(bit, 0);
    EXPECT_TRUE(n == untouched);
    EXPECT_TRUE(std::all_of(std::begin(pixels), std::end(pixels), [](uint8_t v) { return v == 3; }));
  }
}

TEST(ReconstructIntra, OnlyTheLowByteOfTheQuantiserCounts) {
  Intra a;
  a.n.SetDcs(-1, -1, -1);
  coeftest::PutDcDifferential(a.stream, 40, false);
  ASSERT_EQ(a.Run(false, 256 + 9, 0, 1, 0), Ok);
  Intra b;
  b.n.SetDcs(-1, -1, -1);
  coeftest::PutDcDifferential(b.stream, 40, false);
  ASSERT_EQ(b.Run(false, 9, 0, 1, 0), Ok);
  EXPECT_EQ(a.picture, b.picture);
  EXPECT_TRUE(a.n == b.n);
}

TEST(ReconstructIntra, NoNeighboursPredict1024FromTheLeft) {
  for (int quant = 1; quant <= 4; ++quant) {
    Intra a;
    a.n.SetDcs(-1, -1, -1);
    coeftest::PutDcDifferential(a.stream, 0, false);
    ASSERT_EQ(a.Run(false, quant, 0, 1, 0), Ok);
    a.ExpectFlat(128);
    EXPECT_EQ(a.n.predRow()[0], 1024);
    EXPECT_EQ(a.consumed, 3);  // the size-0 code
  }

  // The alternate-vertical scan (the left direction) puts index 1 at 8.
  Intra b;
  b.n.SetDcs(-1, -1, -1);
  coeftest::PutDcDifferential(b.stream, 0, false);
  coeftest::PutTableCode(b.stream, kIntraTcoefCodes, {1, 0, 2});
  ASSERT_EQ(b.Run(true, 3, 0, 1, 1), Ok);
  EXPECT_EQ(b.n.predCol()[1], 2);
  EXPECT_EQ(b.n.predRow()[1], 0);
  b.ExpectPixels({{0, 1024}, {8, 3 * 5}});
}

TEST(ReconstructIntra, DirectionFollowsTheDcGradients) {
  struct Case {
    int16_t left, aboveLeft, above;
    int expectedDc;
  };
  for (const Case c : {Case{160, 160, 400, 400},   // vertical: from above
                       Case{400, 160, 160, 400},   // horizontal: from the left
                       Case{160, 280, 400, 160},   // a tie goes left
                       Case{100, 100, -5, 1024}}) {  // an unavailable above counts 1024
    Intra a;
    a.n.SetDcs(c.left, c.aboveLeft, c.above);
    coeftest::PutDcDifferential(a.stream, 0, false);
    ASSERT_EQ(a.Run(false, 2, 0, 1, 0), Ok);
    EXPECT_EQ(a.n.predRow()[0], c.expectedDc) << c.left << " " << c.aboveLeft << " " << c.above;
  }
}

TEST(ReconstructIntra, UnavailableNeighbourStillChoosesTheAlternateScan) {
  Intra a;
  a.n.SetDcs(100, 100, -1);  // vertical, but nothing above
  for (int i = 1; i < 8; ++i) a.n.predRow()[i] = 5;
  coeftest::PutDcDifferential(a.stream, 0, false);
  coeftest::PutEvent(a.stream, kIntraTcoefCodes, {1, 1, 5}, coeftest::Form::kEscape3);  // index 2
  ASSERT_EQ(a.Run(true, 3, 0, 1, 1), Ok);
  // Alternate-horizontal scan index 2 is raster 2 (zigzag would give 8).
  const std::array<int16_t, 8> row{1024, 0, 5, 0, 0, 0, 0, 0};
  EXPECT_TRUE(std::equal(row.begin(), row.end(), a.n.predRow()));
  for (int i = 1; i < 8; ++i) EXPECT_EQ(a.n.predCol()[i], 0);
  a.ExpectPixels({{0, 1024}, {2, 3 * 11}});
}

TEST(ReconstructIntra, AppendedPredictionsAreRescaledAndDequantised) {
  Intra a;
  a.n.SetDcs(100, 100, 300);  // vertical
  a.n.qp = {0xEE, 7, 5, 0xEE};
  a.n.predRow()[1] = 3;
  a.n.predRow()[2] = -3;
  coeftest::PutDcDifferential(a.stream, 0, false);
  ASSERT_EQ(a.Run(false, 10, 0, 1, 1), Ok);
  const std::array<int16_t, 8> row{306, 2, -2, 0, 0, 0, 0, 0};  // (3 * 5 + 5) / 10
  EXPECT_TRUE(std::equal(row.begin(), row.end(), a.n.predRow()));
  EXPECT_EQ(a.n.predCol()[0], 300);
  a.ExpectPixels({{0, 306}, {1, 49}, {2, -49}});
}

TEST(ReconstructIntra, PredictorQuantiserDependsOnBlockIndexAndDirection) {
  for (int blockIndex = 0; blockIndex < 10; ++blockIndex) {
    for (bool vertical : {true, false}) {
      Intra a;
      a.n.qp = {0xEE, 7, 5, 0xEE};  // left 7, above 5, current 10
      if (vertical) {
        a.n.SetDcs(100, 100, 300);
        a.n.predRow()[1] = 9;
      } else {
        a.n.SetDcs(300, 100, 100);
        a.n.predCol()[1] = 9;
      }
      coeftest::PutDcDifferential(a.stream, 0, blockIndex == 4 || blockIndex == 5);
      ASSERT_EQ(a.Run(false, 10, blockIndex, 1, 1), Ok);
      if (vertical) {
        EXPECT_EQ(a.n.predRow()[1], blockIndex == 2 || blockIndex == 3 ? 9 : 5) << blockIndex;
      } else {
        EXPECT_EQ(a.n.predCol()[1], blockIndex == 1 || blockIndex == 3 ? 9 : 6) << blockIndex;
      }
    }
  }
}

TEST(ReconstructIntra, PredictorQuantiserOutOfRangeFailsBeforeReading) {
  for (uint8_t bad : {uint8_t{0}, uint8_t{32}}) {
    Intra a;
    a.n.SetDcs(100, 100, 300);
    a.n.qp = {0xEE, 7, bad, 0xEE};
    a.n.predRow()[1] = 9;
    coeftest::PutDcDifferential(a.stream, 0, false);
    const Neighbours before = a.n;
    EXPECT_EQ(a.Run(false, 10, 0, 1, 1), QuantiserError);
    EXPECT_EQ(a.consumed, 0);
    EXPECT_TRUE(a.n == before);
    a.ExpectFlat(kPictureGuard);
    // Without AC prediction, or inside the macroblock, it is not used.
    EXPECT_EQ(a.Run(false, 10, 0, 1, 0), Ok);
    Intra b;
    b.n = before;
    coeftest::PutDcDifferential(b.stream, 0, false);
    EXPECT_EQ(b.Run(false, 10, 2, 1, 1), Ok);
  }
}

TEST(ReconstructIntra, AcPredictionAddsClampsAndTruncates) {
  // Equal quantisers: a coded level 2000 plus a neighbour 100 clamps.
  Intra a;
  a.n.SetDcs(100, 100, 300);
  a.n.qp = {0xEE, 10, 10, 0xEE};
  a.n.predRow()[1] = 100;
  coeftest::PutDcDifferential(a.stream, 0, false);
  coeftest::PutEvent(a.stream, kIntraTcoefCodes, {1, 0, 2000}, coeftest::Form::kEscape3);
  ASSERT_EQ(a.Run(true, 10, 0, 1, 1), Ok);
  EXPECT_EQ(a.n.predRow()[1], 2047);

  // 2000 * 31 / 1 does not fit 16 bits: it wraps to -3536, then clamps.
  Intra b;
  b.n.SetDcs(100, 100, 300);
  b.n.qp = {0xEE, 10, 31, 0xEE};
  b.n.predRow()[1] = 2000;
  coeftest::PutDcDifferential(b.stream, 0, false);
  ASSERT_EQ(b.Run(false, 1, 0, 1, 1), Ok);
  EXPECT_EQ(b.n.predRow()[1], -2048);
}

TEST(ReconstructIntra, HorizontalPredictionUsesTheColumn) {
  Intra a;
  a.n.SetDcs(300, 100, 100);
  a.n.qp = {0xEE, 3, 3, 0xEE};
  a.n.predCol()[1] = 4;
  a.n.predRow()[2] = 77;  // not used, replaced by the block's own row
  coeftest::PutDcDifferential(a.stream, 0, false);
  coeftest::PutTableCode(a.stream, kIntraTcoefCodes, {0, 0, 1});   // index 1: raster 8
  coeftest::PutEvent(a.stream, kIntraTcoefCodes, {1, 4, 7}, coeftest::Form::kEscape3);  // index 6: raster 2
  ASSERT_EQ(a.Run(true, 3, 0, 1, 1), Ok);
  EXPECT_EQ(kAlternateVerticalScan[6], 2);
  EXPECT_EQ(a.n.predRow()[2], 7);
  EXPECT_EQ(a.n.predCol()[1], 5);
  a.ExpectPixels({{0, 304}, {2, 3 * 15}, {8, 3 * 11}});
}

TEST(ReconstructIntra, DcUpdatesByBlockIndex) {
  for (int blockIndex = 0; blockIndex < 10; ++blockIndex) {
    Intra a;
    for (int i = 8; i < 32; ++i) a.n.row[static_cast<size_t>(i)] = static_cast<int16_t>(200 + i);
    for (int i = 8; i < 17; ++i) a.n.col[static_cast<size_t>(i)] = static_cast<int16_t>(300 + i);
    a.n.SetDcs(22, 44, 33);  // horizontal: from the left
    a.n.predRow()[-16] = 11;
    a.n.predCol()[8] = 55;
    Neighbours want = a.n;
    for (int i = 1; i < 8; ++i) want.predRow()[i] = want.predCol()[i] = 0;
    const int16_t dc = 24;  // 8 * ((22 + 4) / 8)
    if (blockIndex == 1) {
      want.predCol()[8] = 11;
      want.predRow()[-16] = 55;
    }
    if (blockIndex == 3) {
      want.predCol()[0] = dc;
    } else {
      want.predCol()[0] = 33;
      want.predRow()[0] = dc;
    }
    coeftest::PutDcDifferential(a.stream, 0, blockIndex == 4 || blockIndex == 5);
    ASSERT_EQ(a.Run(false, 2, blockIndex, 1, 0), Ok);
    EXPECT_TRUE(a.n == want) << blockIndex;
  }
}

TEST(ReconstructIntra, UncodedShortcutSaturates) {
  for (const auto [difference, pixel, dc] : {std::array{200, 255, 2047}, std::array{-400, 0, -2048}}) {
    Intra a;
    a.n.SetDcs(-1, -1, -1);
    coeftest::PutDcDifferential(a.stream, difference, false);
    ASSERT_EQ(a.Run(false, 1, 0, 1, 0), Ok);
    a.ExpectFlat(pixel);
    EXPECT_EQ(a.n.predRow()[0], dc);
  }
}

TEST(ReconstructIntra, MatrixSumParityMovesTheLastCoefficient) {
  std::array<uint8_t, 64> sixteen;
  sixteen.fill(16);
  Intra even;  // F = 1024: even sum, position 63 goes from 0 to 1
  even.matrix = sixteen.data();
  even.n.SetDcs(-1, -1, -1);
  coeftest::PutDcDifferential(even.stream, 0, false);
  ASSERT_EQ(even.Run(false, 3, 0, 1, 0), Ok);
  even.ExpectPixels({{0, 1024}, {63, 1}});

  Intra odd;  // chrominance QP 5: F = 9 * (1 + 114) = 1035
  odd.matrix = sixteen.data();
  odd.n.SetDcs(-1, -1, -1);
  coeftest::PutDcDifferential(odd.stream, 1, true);
  ASSERT_EQ(odd.Run(false, 5, 4, 1, 0), Ok);
  odd.ExpectPixels({{0, 1035}});
}

TEST(ReconstructIntra, MatrixQuantisationTruncatesTowardZero) {
  std::array<uint8_t, 64> matrix;
  for (int i = 0; i < 64; ++i) matrix[static_cast<size_t>(i)] = static_cast<uint8_t>(17 + i);
  Intra a;
  a.matrix = matrix.data();
  a.n.SetDcs(-1, -1, -1);
  coeftest::PutDcDifferential(a.stream, 0, false);
  coeftest::PutTableCode(a.stream, kIntraTcoefCodes, {0, 0, -1});  // raster 1: -18 / 8
  coeftest::PutTableCode(a.stream, kIntraTcoefCodes, {0, 0, 2});   // raster 8: 50 / 8
  coeftest::PutEvent(a.stream, kIntraTcoefCodes, {1, 0, 2047}, coeftest::Form::kEscape3);
  ASSERT_EQ(a.Run(true, 1, 0, 1, 0), Ok);
  // 1024 - 2 + 6 + 2047 is odd: no mismatch change.
  a.ExpectPixels({{0, 1024}, {1, -2}, {8, 6}, {16, 2047}});
}

TEST(ReconstructIntra, H263QuantisationByQuantiserParity) {
  for (int quant : {4, 5, 31}) {
    Intra a;
    a.n.SetDcs(-1, -1, -1);
    coeftest::PutDcDifferential(a.stream, 0, false);
    coeftest::PutTableCode(a.stream, kIntraTcoefCodes, {0, 0, 1});
    coeftest::PutTableCode(a.stream, kIntraTcoefCodes, {0, 0, -2});
    coeftest::PutEvent(a.stream, kIntraTcoefCodes, {1, 0, 100}, coeftest::Form::kEscape3);
    ASSERT_EQ(a.Run(true, quant, 0, 1, 0), Ok);
    const int even = quant % 2 == 0 ? 1 : 0;
    const int scaler = quant <= 4 ? 8 : quant <= 8 ? 2 * quant : quant <= 24 ? quant + 8 : 2 * quant - 16;
    a.ExpectPixels({{0, std::min(2047, scaler * ((1024 + scaler / 2) / scaler))},
                    {1, quant * 3 - even},
                    {8, -(quant * 5 - even)},
                    {16, std::min(2047, quant * 201 - even)}});
  }
}

TEST(ReconstructIntra, DcAmongTheAcCodes) {
  Intra a;  // first code with run 2: DC 0 inserted
  a.n.SetDcs(-1, -1, -1);
  coeftest::PutEvent(a.stream, kIntraTcoefCodes, {1, 2, 5}, coeftest::Form::kEscape3);
  ASSERT_EQ(a.Run(true, 3, 0, 0, 0), Ok);
  a.ExpectPixels({{0, 1024}, {kZigzagScan[2], 33}});

  Intra b;  // a coded block with a DC only still goes through the transform
  b.n.SetDcs(-1, -1, -1);
  coeftest::PutEvent(b.stream, kIntraTcoefCodes, {1, 0, 12}, coeftest::Form::kEscape3);
  ASSERT_EQ(b.Run(true, 3, 0, 0, 0), Ok);
  b.ExpectPixels({{0, 1120}});

  Intra c;  // uncoded without the DC code: DC level 0
  c.n.SetDcs(-1, -1, 480);
  ASSERT_EQ(c.Run(false, 3, 0, 0, 0), Ok);
  EXPECT_EQ(c.consumed, 0);
  c.ExpectFlat(60);  // vertical: 8 * (480 / 8), then (480 + 4) >> 3
}

TEST(ReconstructIntra, DecodingFailuresWriteNothing) {
  Intra a;
  a.n.SetDcs(100, 100, 300);
  a.n.predRow()[1] = 6;
  coeftest::PutDcDifferential(a.stream, 3, false);
  a.stream.PutCode("0000 0000 0111");  // nine zeros: no code
  const Neighbours before = a.n;
  EXPECT_EQ(a.Run(true, 3, 0, 1, 1), CoefficientCodeError);
  EXPECT_EQ(a.consumed, 0);
  EXPECT_TRUE(a.n == before);
  a.ExpectFlat(kPictureGuard);

  Intra b;
  coeftest::PutDcDifferential(b.stream, 1000, true, 0);  // no marker
  const Neighbours beforeB = b.n;
  EXPECT_EQ(b.Run(false, 3, 5, 1, 0), MarkerError);
  EXPECT_EQ(b.consumed, 0);
  EXPECT_TRUE(b.n == beforeB);
  b.ExpectFlat(kPictureGuard);
}

}  // namespace
