#include "bitstream/sequence_header.h"
#include "decoder/stream_setup.h"

#include <gtest/gtest.h>

#include "primitives/scan_tables.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testsupport::LayerSpec;
using testsupport::MakeLayerHeader;
using testing::ContextHolder;

// Opens a stream on hand-built header bytes; the context is kept for checks.
struct Opened {
  explicit Opened(const std::vector<uint8_t>& bytes, int32_t width = 176, int32_t height = 144) {
    holder.Load(bytes);
    ok = OpenStream(*holder, width, height);
  }
  ContextHolder holder;
  bool ok = false;
};

TEST(LayerHeader, PlainRectangularLayerOpens) {
  Opened o(MakeLayerHeader({}));
  ASSERT_TRUE(o.ok);
  const SequenceHeader& s = o.holder->sequence;
  EXPECT_EQ(s.shortVideoHeader, 0);
  EXPECT_EQ(s.videoObjectLayerId, 0);
  EXPECT_EQ(s.videoObjectLayerVerid, 1);
  EXPECT_EQ(s.vopTimeIncrementResolution, 25);
  EXPECT_EQ(s.vopTimeIncrementBits, 5);
  EXPECT_EQ(s.quantPrecision, 5);
  EXPECT_EQ(s.bitsPerPixel, 8);
  EXPECT_EQ(s.quantType, 0);
}

TEST(LayerHeader, BytesBeforeTheVideoObjectAreSkipped) {
  std::vector<uint8_t> bytes{0x47, 0x11};
  auto header = MakeLayerHeader({.layerId = 5});
  bytes.insert(bytes.end(), header.begin(), header.end());
  Opened o(bytes);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.holder->sequence.videoObjectLayerId, 5);
}

TEST(LayerHeader, VisualObjectSequenceInFrontIsRefused) {
  std::vector<uint8_t> bytes{0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x09};
  auto header = MakeLayerHeader({});
  bytes.insert(bytes.end(), header.begin(), header.end());
  EXPECT_FALSE(Opened(bytes).ok);
}

TEST(LayerHeader, NoStartCodeAtAllFails) {
  EXPECT_FALSE(Opened({0x12, 0x34, 0x56, 0x78, 0x9A}).ok);
  EXPECT_FALSE(Opened({}).ok);
}

TEST(LayerHeader, MissingLayerStartCodeMarksShortVideoHeader) {
  Opened o({0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0xB6, 0x10});
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.holder->sequence.shortVideoHeader, 1);
}

TEST(LayerHeader, TimeIncrementBitsHoldEveryIncrement) {
  EXPECT_EQ(TimeIncrementBits(1), 1);
  EXPECT_EQ(TimeIncrementBits(2), 1);
  EXPECT_EQ(TimeIncrementBits(3), 2);
  EXPECT_EQ(TimeIncrementBits(16), 4);
  EXPECT_EQ(TimeIncrementBits(17), 5);
  EXPECT_EQ(TimeIncrementBits(25), 5);
  EXPECT_EQ(TimeIncrementBits(30), 5);
  EXPECT_EQ(TimeIncrementBits(1000), 10);
  EXPECT_EQ(TimeIncrementBits(30000), 15);
  EXPECT_EQ(TimeIncrementBits(65535), 16);
}

TEST(LayerHeader, FixedRateIncrementUsesTheTimeBits) {
  Opened o(MakeLayerHeader({.resolution = 30000, .fixedRate = true, .fixedIncrement = 1001}));
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.holder->sequence.vopTimeIncrementBits, 15);
  EXPECT_EQ(o.holder->sequence.fixedVopTimeIncrement, 1001);
}

TEST(LayerHeader, OptionalElementsAreReadInOrder) {
  Opened o(MakeLayerHeader({.objectLayerIdentifier = true, .verid = 2, .aspectRatio = 15,
                            .volControl = true, .vbv = true, .reducedResolution = 1}));
  ASSERT_TRUE(o.ok);
  const SequenceHeader& s = o.holder->sequence;
  EXPECT_EQ(s.videoObjectLayerVerid, 2);
  EXPECT_EQ(s.parWidth, 12);
  EXPECT_EQ(s.parHeight, 11);
  EXPECT_EQ(s.firstHalfBitRate, 100);
  EXPECT_EQ(s.firstHalfVbvOccupancy, 10);
  EXPECT_EQ(s.reducedResolutionVopEnable, 1);
  EXPECT_EQ(s.videoObjectLayerWidth, 176);
}

// Interlaced layers open, and keep what their pictures need besides the
// progressive records: a field mode and two field vectors per macroblock.
TEST(LayerHeader, InterlacedLayersOpenWithFieldRecords) {
  Opened o(MakeLayerHeader({.interlaced = 1, .obmcDisable = 1}), 50, 40);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.holder->sequence.interlaced, 1);
  EXPECT_EQ(o.holder->sequence.obmcDisable, 1);
  const InterlacedState& state = o.holder->store.interlaced;
  ASSERT_NE(state.fieldModes, nullptr);
  ASSERT_NE(state.fieldVectors, nullptr);
  for (int32_t i = 0; i < 4 * 3; ++i) {
    EXPECT_EQ(state.fieldModes[i], 0);
    EXPECT_EQ(state.fieldVectors[2 * i], (MotionVector{0, 0}));
  }
  Opened progressive(MakeLayerHeader({}));
  ASSERT_TRUE(progressive.ok);
  EXPECT_EQ(progressive.holder->store.interlaced.fieldModes, nullptr);
}

TEST(LayerHeader, DataPartitioningReadsTheReversibleCodesFlag) {
  for (int32_t reversible : {0, 1}) {
    Opened o(MakeLayerHeader({.resyncMarkerDisable = 0, .dataPartitioned = 1, .reversibleVlc = reversible}));
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.holder->sequence.dataPartitioned, 1);
    EXPECT_EQ(o.holder->sequence.reversibleVlc, reversible);
    EXPECT_EQ(o.holder->sequence.scalability, 0);  // the bit after it
    EXPECT_NE(o.holder->store.resilience.partitions, nullptr);
  }
  Opened plain(MakeLayerHeader({}));
  ASSERT_TRUE(plain.ok);
  EXPECT_EQ(plain.holder->store.resilience.partitions, nullptr);
}

// Interlaced layers with quarter-sample vectors and with global motion
// open too (the interlaced walks take both).
TEST(LayerHeader, InterlacedLayersTakeQuarterSamplesAndGlobalMotion) {
  Opened o(MakeLayerHeader({.objectLayerIdentifier = true,
                            .verid = 2,
                            .interlaced = 1,
                            .spriteEnable = 2,
                            .warpingPoints = 3,
                            .warpingAccuracy = 3,
                            .quarterSample = 1}));
  ASSERT_TRUE(o.ok);
  const SequenceHeader& s = o.holder->sequence;
  EXPECT_EQ(s.interlaced, 1);
  EXPECT_EQ(s.quarterSample, 1);
  EXPECT_EQ(s.spriteEnable, kSpriteGlobalMotion);
  EXPECT_EQ(s.globalMotion.warpingPoints, 3);
  EXPECT_NE(o.holder->store.interlaced.fieldModes, nullptr);
}

TEST(LayerHeader, HostSizeReplacesTheHeaderSize) {
  Opened o(MakeLayerHeader({.width = 720, .height = 576}), 352, 288);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.holder->sequence.width, 352);
  EXPECT_EQ(o.holder->sequence.height, 288);
  EXPECT_EQ(o.holder->sequence.videoObjectLayerWidth, 720);
  EXPECT_EQ(o.holder->store.mbWidth, 22);
  EXPECT_EQ(o.holder->store.currentPicture.strideY, 384);
  EXPECT_EQ(o.holder->store.currentPicture.strideCb, 192);
}

struct Refusal {
  const char* what;
  LayerSpec spec;
};

class LayerRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(LayerRefusal, IsRefused) {
  ContextHolder holder;
  holder.Load(MakeLayerHeader(GetParam().spec));
  ASSERT_EQ(holder->reader.FindStartCode(0x00), 1);
  EXPECT_EQ(ParseVideoObjectLayer(holder->reader, holder->sequence), kUnsupportedHeader) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    EveryUnsupportedTool, LayerRefusal,
    ::testing::Values(
        Refusal{"chroma format", {.volControl = true, .chromaFormat = 2}},
        Refusal{"shape", {.shape = 1}},
        Refusal{"resolution 0", {.resolution = 0}},
        Refusal{"overlapped motion compensation", {.obmcDisable = 0}},
        Refusal{"static sprites", {.spriteEnable = 1}},
        Refusal{"static sprites, version 2", {.objectLayerIdentifier = true, .verid = 2, .spriteEnable = 1}},
        Refusal{"reserved sprite mode", {.objectLayerIdentifier = true, .verid = 2, .spriteEnable = 3}},
        Refusal{"four warping points",
                {.objectLayerIdentifier = true, .verid = 2, .spriteEnable = 2, .warpingPoints = 4}},
        Refusal{"brightness change",
                {.objectLayerIdentifier = true, .verid = 2, .spriteEnable = 2, .brightnessChange = 1}},
        Refusal{"not 8 bit", {.not8Bit = 1}},
        Refusal{"newpred", {.objectLayerIdentifier = true, .verid = 2, .newpred = 1}},
        Refusal{"scalability", {.scalability = 1}},
        Refusal{"matrix starting with 0", {.quantType = 1, .intraMatrix = {0}}},
        Refusal{"marker after shape", {.badMarker = 0}},
        Refusal{"marker after resolution", {.badMarker = 1}},
        Refusal{"marker before width", {.badMarker = 2}},
        Refusal{"marker after width", {.badMarker = 3}},
        Refusal{"marker after height", {.badMarker = 4}},
        Refusal{"VBV marker", {.volControl = true, .vbv = true, .badMarker = 2}},
        Refusal{"estimation marker", {.complexityEstimation = true, .badMarker = 5}}));

TEST(LayerHeader, GlobalMotionIsTaken) {
  Opened o(MakeLayerHeader({.objectLayerIdentifier = true,
                            .verid = 2,
                            .spriteEnable = 2,
                            .warpingPoints = 3,
                            .warpingAccuracy = 2,
                            .quantType = 1}));
  ASSERT_TRUE(o.ok);
  const SequenceHeader& s = o.holder->sequence;
  EXPECT_EQ(s.spriteEnable, kSpriteGlobalMotion);
  EXPECT_EQ(s.globalMotion.warpingPoints, 3);
  EXPECT_EQ(s.globalMotion.warpingAccuracy, 2);
  EXPECT_EQ(s.globalMotion.brightnessChange, 0);
  EXPECT_EQ(s.quantType, 1);  // the fields after the sprite ones are read in place
}

TEST(LayerHeader, QuarterSampleBitIsAbsentInVersionOneLayers) {
  // In a version 1 layer the bit after the quantisation type is
  // complexity_estimation_disable, not quarter_sample.
  Opened o(MakeLayerHeader({.quarterSample = 1}));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.holder->sequence.quarterSample, 0);
}

TEST(LayerHeader, QuarterSampleIsTaken) {
  Opened o(MakeLayerHeader({.objectLayerIdentifier = true, .verid = 2, .quarterSample = 1}));
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.holder->sequence.quarterSample, 1);
  // The fields after it are read in their places.
  EXPECT_EQ(o.holder->sequence.complexityEstimationDisable, 1);
  EXPECT_EQ(o.holder->sequence.resyncMarkerDisable, 1);
}

TEST(QuantMatrix, ZeroEndsTheListAndTheLastValueFillsTheRest) {
  Opened o(MakeLayerHeader({.quantType = 1, .intraMatrix = {8, 16, 0}}));
  ASSERT_TRUE(o.ok);
  const SequenceHeader& s = o.holder->sequence;
  EXPECT_EQ(s.intraQuantMat[0], 8);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(s.intraQuantMat[i], 16) << i;
  EXPECT_EQ(s.nonintraQuantMat[0], 16);  // not loaded: the default
}

TEST(QuantMatrix, SixtyFourValuesNeedNoTerminator) {
  std::vector<int> values;
  for (int k = 0; k < 64; ++k) values.push_back(k + 1);
  Opened o(MakeLayerHeader({.quantType = 1, .nonintraMatrix = values}));
  ASSERT_TRUE(o.ok);
  for (int k = 0; k < 64; ++k)
    EXPECT_EQ(o.holder->sequence.nonintraQuantMat[kZigzagScan[k]], k + 1) << k;
  EXPECT_EQ(o.holder->sequence.scalability, 0);
}

TEST(QuantMatrix, DefaultsWhenNotLoaded) {
  Opened o(MakeLayerHeader({.quantType = 1}));
  ASSERT_TRUE(o.ok);
  const SequenceHeader& s = o.holder->sequence;
  EXPECT_EQ(s.intraQuantMat[0], 8);
  EXPECT_EQ(s.nonintraQuantMat[0], 16);
  EXPECT_EQ(s.nonintraQuantMat[63], 33);
  EXPECT_EQ(s.intraQuantMat[63], 45);
}

TEST(ComplexityEstimation, FlagsAreKept) {
  for (int method : {0, 1, 2}) {
    Opened o(MakeLayerHeader({.complexityEstimation = true, .estimationMethod = method}));
    ASSERT_TRUE(o.ok) << method;
    const SequenceHeader& s = o.holder->sequence;
    EXPECT_EQ(s.complexityEstimationDisable, 0);
    EXPECT_EQ(s.estimationMethod, method);
    EXPECT_EQ(s.estimationFlags[EstOpaque], method < 2 ? 1 : 0);
    EXPECT_EQ(s.estimationFlags[EstTransparent], 0);
    EXPECT_EQ(s.textureComplexityEstimationSet1Disable, method < 2 ? 1 : 0);
  }
}

}  // namespace
}  // namespace tavrin
