#include "bitstream/picture_header.h"

#include <gtest/gtest.h>

#include "bitstream/sequence_header.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;
using testsupport::BitWriter;
using testsupport::MakePictureHeader;
using testsupport::PictureSpec;

class PictureHeaderTest : public ::testing::Test {
 protected:
  PictureHeaderTest() {
    holder->sequence.vopTimeIncrementResolution = 25;
    holder->sequence.vopTimeIncrementBits = 5;
    holder->sequence.quantPrecision = 5;
    holder->sequence.complexityEstimationDisable = 1;
  }
  int32_t Parse(const std::vector<uint8_t>& bytes) {
    holder.Load(bytes);
    if (!holder->reader.FindStartCode(0xB6)) return 99;
    return ParsePictureHeader(holder->reader, holder->sequence, holder->picture, holder->input.sourceType);
  }
  int32_t BitsConsumed() const {
    const BitReader& r = const_cast<ContextHolder&>(holder)->reader;
    return static_cast<int32_t>(r.bytePos - r.bufferStart - 4) * 8 + r.bitPos;
  }
  ContextHolder holder;
};

TEST_F(PictureHeaderTest, PredictedPictureExample) {
  BitWriter w;
  w.Put(0x000001B6, 32).Put(0b01, 2).Put(0b110, 3).Bit(1).Put(7, 5).Bit(1).Bit(1).Bit(0);
  w.Put(0, 3).Put(2, 5).Put(1, 3).Put(0xFF, 8);
  ASSERT_EQ(Parse(w.Take()), 0);
  const PictureHeader& p = holder->picture;
  EXPECT_EQ(p.vopCodingType, 1);
  EXPECT_EQ(p.moduloTimeBase, 2);
  EXPECT_EQ(p.vopTimeIncrement, 7);
  EXPECT_EQ(p.vopCoded, 1);
  EXPECT_EQ(p.vopRoundingType, 0);
  EXPECT_EQ(p.intraDcVlcThr, 0);
  EXPECT_EQ(p.vopQuant, 2);
  EXPECT_EQ(p.vopFcodeForward, 1);
  EXPECT_EQ(BitsConsumed(), 25);
}

TEST_F(PictureHeaderTest, NotCodedPictureEndsAfterTheCodedBit) {
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .quant = 9, .fcodeForward = 3})), 0);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .timeIncrement = 3, .coded = 0})), 0);
  EXPECT_EQ(holder->picture.vopCoded, 0);
  EXPECT_EQ(holder->picture.vopTimeIncrement, 3);
  EXPECT_EQ(holder->picture.vopQuant, 9);
  EXPECT_EQ(holder->picture.vopFcodeForward, 3);
}

TEST_F(PictureHeaderTest, RoundingTypeOnlyInPredictedPictures) {
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .roundingType = 1})), 0);
  EXPECT_EQ(holder->picture.vopRoundingType, 1);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 0, .quant = 5})), 0);
  EXPECT_EQ(holder->picture.vopRoundingType, 1);
  EXPECT_EQ(holder->picture.vopQuant, 5);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 2, .fcodeForward = 2, .fcodeBackward = 3})), 0);
  EXPECT_EQ(holder->picture.vopRoundingType, 1);
  EXPECT_EQ(holder->picture.vopFcodeForward, 2);
  EXPECT_EQ(holder->picture.vopFcodeBackward, 3);
}

// Interlaced layers: top_field_first and alternate_vertical_scan_flag follow
// intra_dc_vlc_thr in every coded picture; progressive layers have neither.
TEST_F(PictureHeaderTest, InterlacedPicturesCarryTheFieldOrderAndScan) {
  holder->sequence.interlaced = 1;
  for (int type : {0, 1, 2}) {
    for (int order : {0, 1}) {
      SCOPED_TRACE("type " + std::to_string(type) + " top first " + std::to_string(order));
      ASSERT_EQ(Parse(MakePictureHeader({.codingType = type, .quant = 11, .fcodeForward = 2,
                                         .fcodeBackward = 3, .topFieldFirst = order,
                                         .alternateScan = 1 - order})),
                0);
      EXPECT_EQ(holder->picture.topFieldFirst, order);
      EXPECT_EQ(holder->picture.alternateVerticalScanFlag, 1 - order);
      EXPECT_EQ(holder->picture.vopQuant, 11);
      if (type != 0) {
        EXPECT_EQ(holder->picture.vopFcodeForward, 2);
      }
      if (type == 2) {
        EXPECT_EQ(holder->picture.vopFcodeBackward, 3);
      }
    }
  }
  holder->sequence.interlaced = 0;
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .quant = 6})), 0);
  EXPECT_EQ(holder->picture.topFieldFirst, 0);
  EXPECT_EQ(holder->picture.alternateVerticalScanFlag, 0);
  EXPECT_EQ(holder->picture.vopQuant, 6);
}

TEST_F(PictureHeaderTest, UnpaddedSourceForcesRoundingZeroButConsumesTheBit) {
  holder->input.sourceType = kSourceTypeUnpadded;
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .roundingType = 1, .quant = 17})), 0);
  EXPECT_EQ(holder->picture.vopRoundingType, 0);
  EXPECT_EQ(holder->picture.vopQuant, 17);
}

TEST_F(PictureHeaderTest, ZeroMarkerAfterTimeBaseFails) {
  BitWriter w;
  w.Put(0x000001B6, 32).Put(0, 2).Bit(1).Bit(0).Bit(0).Put(0, 16);
  EXPECT_EQ(Parse(w.Take()), kUnsupportedHeader);
  EXPECT_EQ(holder->picture.moduloTimeBase, 1);
}

TEST_F(PictureHeaderTest, ZeroMarkerAfterTimeIncrementFails) {
  BitWriter w;
  w.Put(0x000001B6, 32).Put(0, 2).Bit(0).Bit(1).Put(3, 5).Bit(0).Put(0xFFFF, 16);
  EXPECT_EQ(Parse(w.Take()), kUnsupportedHeader);
}

TEST_F(PictureHeaderTest, EstimationCountsPerPictureType) {
  holder->sequence.complexityEstimationDisable = 0;
  holder->sequence.estimationMethod = 0;
  holder->sequence.estimationFlags[EstOpaque] = 1;
  // I and B pictures carry the opaque count (8 bits); S pictures do not.
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 0, .quant = 11, .estimationBits = 8})), 0);
  EXPECT_EQ(holder->picture.vopQuant, 11);
  EXPECT_EQ(holder->sequence.estimationCounts[EstOpaque], 0x55);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 2, .quant = 12, .estimationBits = 8})), 0);
  EXPECT_EQ(holder->picture.vopQuant, 12);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 3, .quant = 13})), 0);
  EXPECT_EQ(holder->picture.vopQuant, 13);
}

TEST_F(PictureHeaderTest, VlcBitsCountIsFourBits) {
  holder->sequence.complexityEstimationDisable = 0;
  holder->sequence.estimationMethod = 1;
  holder->sequence.estimationFlags[EstVlcBits] = 1;
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .quant = 21, .estimationBits = 4})), 0);
  EXPECT_EQ(holder->picture.vopQuant, 21);
}

TEST_F(PictureHeaderTest, EstimationMethodTwoReadsNoCounts) {
  holder->sequence.complexityEstimationDisable = 0;
  holder->sequence.estimationMethod = 2;
  holder->sequence.estimationFlags[EstOpaque] = 1;
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 0, .quant = 14})), 0);
  EXPECT_EQ(holder->picture.vopQuant, 14);
}

TEST_F(PictureHeaderTest, ReducedResolutionBitFollowsTheRoundingType) {
  holder->sequence.reducedResolutionVopEnable = 1;
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .roundingType = 1, .quant = 6,
                                     .reducedResolution = 1})), 0);
  EXPECT_EQ(holder->picture.vopReducedResolution, 1);
  EXPECT_EQ(holder->picture.vopRoundingType, 1);
  EXPECT_EQ(holder->picture.vopQuant, 6);
  // B pictures carry no such bit.
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 2, .quant = 7})), 0);
  EXPECT_EQ(holder->picture.vopReducedResolution, 0);
  EXPECT_EQ(holder->picture.vopQuant, 7);
}

TEST_F(PictureHeaderTest, FullTimesCountSecondsFromTheRightAnchor) {
  // I at 0 s + 20, P one second later at + 5, then a B between them at
  // 0 s + 24: the B counts its seconds from the I, the older anchor.
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 0, .timeIncrement = 20})), 0);
  EXPECT_EQ(holder->picture.vopTime, 20);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 1, .moduloTimeBase = 1, .timeIncrement = 5})), 0);
  EXPECT_EQ(holder->picture.vopTime, 30);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 2, .timeIncrement = 24})), 0);
  EXPECT_EQ(holder->picture.vopTime, 24);
  ASSERT_EQ(Parse(MakePictureHeader({.codingType = 2, .moduloTimeBase = 1, .timeIncrement = 2})), 0);
  EXPECT_EQ(holder->picture.vopTime, 27);
}

// A group-of-pictures header sets the seconds the pictures after it count
// from, whether it comes in front of the picture or after the one before:
// ffmpeg's encoder restarts the count there, and the B pictures that follow
// the intra picture in the data count from it too.
TEST_F(PictureHeaderTest, GroupOfPicturesTimeCodeSetsTheSecondsCountedFrom) {
  auto group = [](int hours, int minutes, int seconds) {
    BitWriter w;
    w.Put(0x000001B3, 32).Put(hours, 5).Put(minutes, 6).Bit(1).Put(seconds, 6).Bit(0).Bit(0);
    return w.Take();
  };
  auto decodeCall = [&](std::vector<uint8_t> bytes) {
    holder.Load(bytes);
    BitReader& r = holder->reader;
    ASSERT_TRUE(FindPictureStartCode(r, holder->picture));
    ASSERT_EQ(ParsePictureHeader(r, holder->sequence, holder->picture, 0), 0);
    ReadTrailingGroupOfPictures(r, holder->picture);
  };
  auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  // Pictures at 0.96 s (P), then a group at 1 s, an I picture at 1.08 s
  // and a B picture at 1.00 s, both with modulo_time_base 0.
  decodeCall(MakePictureHeader({.codingType = 1, .timeIncrement = 24}));
  decodeCall(join(group(0, 0, 1), MakePictureHeader({.codingType = 0, .timeIncrement = 2})));
  EXPECT_EQ(holder->picture.vopTime, 27);
  decodeCall(MakePictureHeader({.codingType = 2, .timeIncrement = 0}));
  EXPECT_EQ(holder->picture.vopTime, 25);
  // A group after the picture in the same call (1 h 2 min 3 s) applies to
  // the next picture.
  decodeCall(join(MakePictureHeader({.codingType = 1, .timeIncrement = 5}), group(1, 2, 3)));
  EXPECT_EQ(holder->picture.vopTime, 30);
  decodeCall(MakePictureHeader({.codingType = 0, .timeIncrement = 1}));
  EXPECT_EQ(holder->picture.vopTime, 3723 * 25 + 1);
}

}  // namespace
}  // namespace tavrin
