// Intra blocks of the second path: the prediction direction and scan, the
// AC prediction switch, where the DC comes from, the DC bookkeeping of the
// neighbour buffers over whole pictures, the AC decoder, and the refusals.
#include "picture/second_path_intra_block.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "bitstream/sequence_header.h"
#include "decoder/stream_setup.h"
#include "picture/intra_neighbours.h"
#include "primitives/scan_tables.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace tavrin {
namespace {

using coeftest::Event;
using coeftest::Form;
using coeftest::PutDcDifferential;
using coeftest::PutEvent;
using testing::ContextHolder;
using Codes = coeftest::CodeList;
const Codes& kIntra = coefficients::kIntraTcoefCodes;

// A 48x32 picture (3 x 2 macroblocks); blocks are stored into a local 8x8
// buffer.
class SecondPathIntraBlockTest : public ::testing::Test {
 protected:
  SecondPathIntraBlockTest() {
    holder.Load(testsupport::MakeLayerHeader({.width = 48, .height = 32}));
    EXPECT_TRUE(OpenStream(*holder, 48, 32));
    ResetPredictionRows(Store());
    ResetPredictionColumns(Store());
    pixels.fill(99);
  }

  FrameStore& Store() { return holder->store; }

  // Loads the bits and reconstructs block `block` of the macroblock in
  // column x.
  int32_t Reconstruct(const coeftest::BitWriter& w, int32_t x, SecondPathIntraBlock job) {
    holder.Load(w.Bytes());
    job.destination = pixels.data();
    job.stride = 8;
    return reconstructIntraBlock(holder->reader, Store(), x, job, coefficients);
  }

  int32_t BitsRead() {
    const BitReader& r = holder->reader;
    return static_cast<int32_t>(r.bytePos - r.bufferStart) * 8 + r.bitPos;
  }

  bool AllPixels(uint8_t value) const {
    for (uint8_t p : pixels)
      if (p != value) return false;
    return true;
  }

  ContextHolder holder;
  std::array<uint8_t, 64> pixels{};
  alignas(16) int16_t coefficients[64] = {};
};

// Luma block with the DC size code, coded AC coefficients, quantiser 4
// (DC scaler 8), no matrix.
SecondPathIntraBlock LumaJob(int32_t block, int32_t coded, int32_t acPred) {
  return {block, coded, acPred, 4, 1, nullptr, nullptr, 0};
}

TEST_F(SecondPathIntraBlockTest, TopLeftBlockPredictsFromTheLeftWith1024AndAlternateVerticalScan) {
  // Every neighbour is missing: direction 1, DC predictor 1024; with
  // ac_pred_flag the scan is alternate-vertical, so scan index 1 is raster
  // position 8 (the first column), and nothing is added to it.
  Store().predColY[1] = 40;  // stale AC values of no block
  coeftest::BitWriter w;
  PutDcDifferential(w, 0, false);
  PutEvent(w, kIntra, Event{1, 0, 5}, Form::kEscape3);
  ASSERT_EQ(Reconstruct(w, 0, LumaJob(0, 1, 1)), 0);
  EXPECT_EQ(BitsRead(), w.BitCount());
  EXPECT_EQ(Store().predColY[1], 5);   // first column of the block, unpredicted
  EXPECT_EQ(Store().predRowY[16 + 1], 0);  // its first row holds nothing
  EXPECT_EQ(Store().predRowY[16], 1024);   // its DC: 128 * 8
  EXPECT_EQ(Store().predColY[0], kNoIntraBlock);  // the above DC moved on
}

TEST_F(SecondPathIntraBlockTest, FirstBlockOfALowerRowPredictsFromAboveAndAddsTheAboveRow) {
  // Left and above-left are missing (1024 each), the above DC is 800:
  // direction 2; alternate-horizontal scan puts scan index 1 at raster 1,
  // and the above block's first row is added.
  int16_t* above = Store().predRowY + 16;
  above[0] = 800;
  above[1] = 3;
  above[2] = -2;
  Store().qpRow[1] = 4;  // the above macroblock's quantiser, the block's own
  coeftest::BitWriter w;
  PutDcDifferential(w, 0, false);
  PutEvent(w, kIntra, Event{1, 0, 4}, Form::kEscape3);
  ASSERT_EQ(Reconstruct(w, 0, LumaJob(0, 1, 1)), 0);
  EXPECT_EQ(above[1], 7);
  EXPECT_EQ(above[2], -2);
  // DC: (800 + 4) / 8 = 100, so 800 again.
  EXPECT_EQ(above[0], 800);
  EXPECT_EQ(Store().predColY[0], 800);  // the old above DC, for block 1's above-left
}

TEST_F(SecondPathIntraBlockTest, WithoutAcPredictionTheZigzagScanIsUsedAndNothingIsAdded) {
  int16_t* above = Store().predRowY + 16;
  above[0] = 800;
  above[1] = 3;
  coeftest::BitWriter w;
  PutDcDifferential(w, 0, false);
  PutEvent(w, kIntra, Event{0, 1, 6}, Form::kEscape3);  // zigzag index 2: raster 8
  PutEvent(w, kIntra, Event{1, 0, 4}, Form::kEscape3);  // zigzag index 3: raster 16
  ASSERT_EQ(Reconstruct(w, 0, LumaJob(0, 1, 0)), 0);
  EXPECT_EQ(above[1], 0);
  EXPECT_EQ(Store().predColY[1], 6);
  EXPECT_EQ(Store().predColY[2], 4);
}

TEST_F(SecondPathIntraBlockTest, EqualDistancesChooseTheLeftBlock) {
  // Block 1 of column 0: left is block 0 (row entry 1, first group), above
  // left the left group's DC, above the second group of entry 1.
  Store().predRowY[16] = 96;      // left
  Store().predColY[0] = 200;      // above-left
  Store().predRowY[16 + 8] = 304;  // above
  coeftest::BitWriter w;
  PutDcDifferential(w, 0, false);
  ASSERT_EQ(Reconstruct(w, 0, LumaJob(1, 0, 0)), 0);
  // From the left: (96 + 4) / 8 = 12; from above it would be 38.
  EXPECT_EQ(Store().predRowY[16 + 8], 96);
  EXPECT_TRUE(AllPixels(12));
}

TEST_F(SecondPathIntraBlockTest, AMissingChosenNeighbourGivesNoAcValuesButKeepsTheScan) {
  // Block 2 of column 1: left (second group of entry 1) missing, above-left
  // (the second left group) 200, above (first group of entry 2) 1024:
  // |1024 - 200| = |200 - 1024|, so direction 1, from a missing block.
  Store().predRowY[2 * 16] = 1024;
  Store().predColY[8] = 200;
  Store().predColY[8 + 1] = 9;  // AC values of no block
  coeftest::BitWriter w;
  PutDcDifferential(w, 0, false);
  PutEvent(w, kIntra, Event{1, 0, 2}, Form::kEscape3);  // alternate vertical index 1: raster 8
  ASSERT_EQ(Reconstruct(w, 1, LumaJob(2, 1, 1)), 0);
  EXPECT_EQ(Store().predColY[8 + 1], 2);
}

TEST_F(SecondPathIntraBlockTest, NeighbourAcValuesAreRescaledToTheBlocksQuantiser) {
  // The above macroblock was coded at quantiser 2, this one at 20: its
  // first row is brought to this block's quantiser before it is added
  // ((10 * 2 + 10) / 20 = 1), as encoders with adaptive quantisation
  // predict it.  The quantiser of a block inside the macroblock is its own.
  int16_t* above = Store().predRowY + 16;
  above[0] = 800;
  above[3] = 10;
  Store().qpRow[0] = 2;
  Store().qpRow[1] = 2;
  coeftest::BitWriter w;
  PutDcDifferential(w, 0, false);
  SecondPathIntraBlock job = LumaJob(0, 0, 1);
  job.quant = 20;
  ASSERT_EQ(Reconstruct(w, 0, job), 0);
  EXPECT_EQ(above[3], 1);
}

TEST_F(SecondPathIntraBlockTest, WithTheDcCodeAndNoCodedBitOnlyTheDcIsRead) {
  coeftest::BitWriter w;
  PutDcDifferential(w, -3, false);
  w.Put(0xFFF, 12);  // would be read as AC codes
  ASSERT_EQ(Reconstruct(w, 0, LumaJob(0, 0, 0)), 0);
  EXPECT_EQ(BitsRead(), w.BitCount() - 12);
  EXPECT_TRUE(AllPixels(125));  // (128 - 3) * 8 / 8
}

TEST_F(SecondPathIntraBlockTest, WithoutTheDcCodeTheDcIsTheFirstCoefficient) {
  coeftest::BitWriter w;
  PutEvent(w, kIntra, Event{1, 0, 7}, Form::kEscape3);
  SecondPathIntraBlock job = LumaJob(0, 1, 0);
  job.useIntraDcVlc = 0;
  ASSERT_EQ(Reconstruct(w, 0, job), 0);
  EXPECT_EQ(BitsRead(), w.BitCount());
  EXPECT_TRUE(AllPixels(135));
  EXPECT_EQ(Store().predRowY[16], 135 * 8);
}

TEST_F(SecondPathIntraBlockTest, WithoutTheDcCodeAndNoCodedBitNothingIsRead) {
  coeftest::BitWriter w;
  w.Put(0xFFF, 12);
  SecondPathIntraBlock job = LumaJob(0, 0, 0);
  job.useIntraDcVlc = 0;
  ASSERT_EQ(Reconstruct(w, 0, job), 0);
  EXPECT_EQ(BitsRead(), 0);
  EXPECT_TRUE(AllPixels(128));
}

TEST_F(SecondPathIntraBlockTest, ChromaBlocksUseTheChromaDcCodeAndTheirOwnGroups) {
  // Written with the chrominance size code, which differs from the
  // luminance one.
  Store().predRowCr[8] = 400;
  coeftest::BitWriter w;
  PutDcDifferential(w, 2, true);
  SecondPathIntraBlock job = LumaJob(5, 0, 0);
  ASSERT_EQ(Reconstruct(w, 0, job), 0);
  EXPECT_EQ(BitsRead(), w.BitCount());
  // Left and above-left missing, above 400: from above, (400 + 4) / 8 + 2.
  EXPECT_TRUE(AllPixels(52));
  EXPECT_EQ(Store().predRowCr[8], 52 * 8);
  EXPECT_EQ(Store().predColCr[0], 400);
  EXPECT_EQ(Store().predRowCb[8], kNoIntraBlock);
}

TEST_F(SecondPathIntraBlockTest, AnUndecodableBlockIsNotStored) {
  Store().predRowY[16] = 800;
  coeftest::BitWriter w;
  PutDcDifferential(w, 1, false);
  const int32_t dcBits = w.BitCount();
  w.Put(0, 12);  // no coefficient code starts with nine zeros
  EXPECT_EQ(Reconstruct(w, 0, LumaJob(0, 1, 0)), -5);
  EXPECT_TRUE(AllPixels(99));
  EXPECT_EQ(Store().predRowY[16], 800);
  EXPECT_EQ(Store().predColY[0], kNoIntraBlock);
  EXPECT_EQ(BitsRead(), dcBits);  // the DC was read, the bad code was not
}

TEST_F(SecondPathIntraBlockTest, AnEscapedLevelOfZeroOrACoefficientBeyond63IsUndecodable) {
  for (const Event e : {Event{1, 0, 0}, Event{1, 0, -2048}, Event{1, 63, 1}}) {
    coeftest::BitWriter w;
    PutDcDifferential(w, 0, false);
    PutEvent(w, kIntra, e, Form::kEscape3);
    EXPECT_EQ(Reconstruct(w, 0, LumaJob(0, 1, 0)), -5) << e.run << " " << e.level;
  }
}

TEST_F(SecondPathIntraBlockTest, AQuantiserOfZeroIsRefusedBeforeAnythingIsRead) {
  coeftest::BitWriter w;
  PutDcDifferential(w, 1, false);
  SecondPathIntraBlock job = LumaJob(0, 0, 0);
  job.quant = 0;
  EXPECT_EQ(Reconstruct(w, 0, job), kIntraQuantiserRefused);
  EXPECT_EQ(BitsRead(), 0);
  EXPECT_TRUE(AllPixels(99));
  EXPECT_EQ(Store().predRowY[16], kNoIntraBlock);
}

// ---- decodeIntraAc ----

class DecodeIntraAcTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(DecodeIntraAcTest, StoresLevelsThroughTheScanAndKeepsTheDc) {
  const int32_t scan = GetParam();
  const ScanTable& order = scan == 0 ? kZigzagScan : scan == 1 ? kAlternateVerticalScan
                                                               : kAlternateHorizontalScan;
  coeftest::BitWriter w;
  w.Put(5, 3);  // bits before the block
  PutEvent(w, kIntra, Event{0, 0, 1}, Form::kTable);     // index 1
  PutEvent(w, kIntra, Event{0, 4, -300}, Form::kEscape3);  // index 6
  PutEvent(w, kIntra, Event{1, 56, 2}, Form::kEscape3);    // index 63
  const auto bytes = w.Bytes();
  BytePointer pos = bytes.data();
  int32_t bit = 3;
  alignas(16) int16_t block[64] = {};
  block[0] = 77;
  ASSERT_EQ(decodeIntraAc(&pos, &bit, block, scan), 0);
  EXPECT_EQ((pos - bytes.data()) * 8 + bit, w.BitCount());
  int16_t expected[64] = {};
  expected[0] = 77;
  expected[order[1]] = 1;
  expected[order[6]] = -300;
  expected[order[63]] = 2;
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], expected[i]) << "raster " << i;
}

INSTANTIATE_TEST_SUITE_P(Scans, DecodeIntraAcTest, ::testing::Values(0, 1, 2));

TEST(DecodeIntraAc, AFailureLeavesThePositionAndKeepsWhatWasStored) {
  coeftest::BitWriter w;
  PutEvent(w, kIntra, Event{0, 2, 9}, Form::kEscape3);  // index 3
  PutEvent(w, kIntra, Event{1, 60, 1}, Form::kEscape3);  // index 64
  const auto bytes = w.Bytes();
  BytePointer pos = bytes.data();
  int32_t bit = 0;
  alignas(16) int16_t block[64] = {};
  EXPECT_EQ(decodeIntraAc(&pos, &bit, block, 0), CoefficientCodeError);
  EXPECT_EQ(pos, bytes.data());
  EXPECT_EQ(bit, 0);
  EXPECT_EQ(block[kZigzagScan[3]], 9);
}

// ---- Direction ----

TEST(IntraPredictionDirection, FollowsTheSmallerGradientWithMissingDcsAs1024) {
  int16_t groups[24] = {};
  const SecondPathIntraGroups g{groups + 8, groups, groups + 16};
  auto direction = [&](int16_t left, int16_t aboveLeft, int16_t above) {
    groups[0] = left;
    groups[16] = aboveLeft;
    groups[8] = above;
    return IntraPredictionDirection(g);
  };
  EXPECT_EQ(direction(-1, -1, -1), 1);
  EXPECT_EQ(direction(-1, -1, 1024), 1);  // the above DC exactly 1024
  EXPECT_EQ(direction(-1, -1, 1016), 2);
  EXPECT_EQ(direction(500, -1, -1), 1);   // first row: |dB - dC| = 0
  EXPECT_EQ(direction(100, 200, 300), 1);  // equal
  EXPECT_EQ(direction(100, 200, 299), 1);
  EXPECT_EQ(direction(100, 200, 301), 2);
}

// ---- DC bookkeeping over whole pictures ----

// Each block's left, above-left and above DCs, as the neighbour groups show
// them before the block is decoded, must be those of the blocks at those
// places in the picture, or -1 where there is none or it is not intra.
TEST(RecordIntraDc, GroupsShowTheDcsOfTheNeighbouringBlocks) {
  std::mt19937 rng(5);
  for (int32_t mbWidth = 1; mbWidth <= 4; ++mbWidth) {
    const int32_t mbHeight = 3;
    ContextHolder holder;
    holder.Load(testsupport::MakeLayerHeader({.width = 16 * mbWidth, .height = 16 * mbHeight}));
    ASSERT_TRUE(OpenStream(*holder, 16 * mbWidth, 16 * mbHeight));
    FrameStore& f = holder->store;
    for (int picture = 0; picture < 4; ++picture) {
      // DC per block: luma at (2x + (b & 1), 2y + (b >> 1)), chroma at (x, y).
      std::vector<int32_t> luma(4 * mbWidth * mbHeight, kNoIntraBlock);
      std::vector<int32_t> cb(mbWidth * mbHeight, kNoIntraBlock), cr = cb;
      auto at = [](const std::vector<int32_t>& grid, int32_t width, int32_t col, int32_t row) {
        return col < 0 || row < 0 ? kNoIntraBlock : grid[row * width + col];
      };
      ResetPredictionRows(f);
      for (int32_t y = 0; y < mbHeight; ++y) {
        ResetPredictionColumns(f);
        for (int32_t x = 0; x < mbWidth; ++x) {
          if (rng() % 4 == 0) {
            MarkNotIntra(f, x);
            continue;
          }
          for (int32_t b = 0; b < 6; ++b) {
            std::vector<int32_t>& grid = b < 4 ? luma : b == 4 ? cb : cr;
            const int32_t width = b < 4 ? 2 * mbWidth : mbWidth;
            const int32_t col = b < 4 ? 2 * x + (b & 1) : x;
            const int32_t row = b < 4 ? 2 * y + (b >> 1) : y;
            const SecondPathIntraGroups g = SecondPathIntraGroupsOf(f, x, b);
            SCOPED_TRACE(::testing::Message() << "width " << mbWidth << " mb " << x << "," << y
                                              << " block " << b);
            EXPECT_EQ(g.previous[0], at(grid, width, col - 1, row));
            EXPECT_EQ(g.left[0], at(grid, width, col - 1, row - 1));
            EXPECT_EQ(g.above[0], at(grid, width, col, row - 1));
            const auto d = static_cast<int16_t>(1 + rng() % 2047);
            RecordIntraDc(f, x, b, d);
            grid[row * width + col] = d;
          }
        }
        FinishPredictionRow(f);
      }
    }
  }
}

}  // namespace
}  // namespace tavrin
