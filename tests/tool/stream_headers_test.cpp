// The tool's reading of layer and picture headers: synthetic headers built
// bit by bit, and the committed streams of both encoders, whose facts were
// recorded with ffprobe (tests/data/README.md).
#include "stream_headers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "elementary_stream.h"
#include "frame_rate.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"

namespace {

using namespace tavrin::tool;

// ---------------------------------------------------------------------------
// Building headers bit by bit.

class BitWriter {
 public:
  BitWriter& Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (bit_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80u >> bit_));
      bit_ = (bit_ + 1) & 7;
    }
    return *this;
  }
  BitWriter& StartCode(uint8_t value) {
    Stuff();
    return Put(0, 8).Put(0, 8).Put(1, 8).Put(value, 8);
  }
  // Byte alignment with a 0 followed by 1s, as next_start_code() writes.
  BitWriter& Stuff() {
    if (bit_ == 0) return *this;
    Put(0, 1);
    while (bit_ != 0) Put(1, 1);
    return *this;
  }
  std::vector<uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int bit_ = 0;
};

struct LayerRecipe {
  int verid = 0;  // 0: no layer identifier
  int aspect = 1;
  int parWidth = 0, parHeight = 0;
  bool control = false;
  int chroma = 1;
  bool lowDelay = true;
  bool vbv = false;
  int shape = 0;
  int resolution = 25;
  int fixedIncrement = -1;  // -1: not fixed
  int width = 176, height = 144;
  bool interlaced = false;
  bool obmcDisable = true;
  int sprite = 0;
  bool not8Bit = false;
  int quantPrecision = 5, bitsPerPixel = 8;
  int quantType = 0;
  std::vector<int> intraMatrix;  // written after load_intra_quant_mat = 1 when not empty
  std::vector<int> interMatrix;
  bool quarterSample = false;
  std::vector<int> complexityBits;  // raw bits of the estimation header; empty: disabled
  bool resyncDisable = true;
  bool dataPartitioned = false;
  bool newpred = false;
  bool reducedResolution = false;
  bool scalability = false;
  int breakMarker = -1;  // index of the marker bit to write as 0
};

std::vector<uint8_t> BuildLayer(const LayerRecipe& s) {
  BitWriter w;
  int marker = 0;
  auto Marker = [&] { w.Put(marker++ == s.breakMarker ? 0 : 1, 1); };
  w.StartCode(0x00).StartCode(0x20);
  w.Put(0, 1).Put(1, 8);  // random_accessible_vol, simple object type
  if (s.verid != 0) {
    w.Put(1, 1).Put(static_cast<uint32_t>(s.verid), 4).Put(1, 3);
  } else {
    w.Put(0, 1);
  }
  w.Put(static_cast<uint32_t>(s.aspect), 4);
  if (s.aspect == 15) w.Put(static_cast<uint32_t>(s.parWidth), 8).Put(static_cast<uint32_t>(s.parHeight), 8);
  w.Put(s.control ? 1 : 0, 1);
  if (s.control) {
    w.Put(static_cast<uint32_t>(s.chroma), 2).Put(s.lowDelay ? 1 : 0, 1).Put(s.vbv ? 1 : 0, 1);
    if (s.vbv) {
      // bit rate 0x12345 (units of 400 bit/s), buffer 0x2345, occupancy 0x123456
      w.Put(0x12345 >> 15, 15);
      Marker();
      w.Put(0x12345 & 0x7FFF, 15);
      Marker();
      w.Put(0x2345 >> 3, 15);
      Marker();
      w.Put(0x2345 & 7, 3).Put(0x123456 >> 15, 11);
      Marker();
      w.Put(0x123456 & 0x7FFF, 15);
      Marker();
    }
  }
  w.Put(static_cast<uint32_t>(s.shape), 2);
  if (s.shape != 0) return w.Stuff().Bytes();
  Marker();
  w.Put(static_cast<uint32_t>(s.resolution), 16);
  Marker();
  w.Put(s.fixedIncrement >= 0 ? 1 : 0, 1);
  if (s.fixedIncrement >= 0) w.Put(static_cast<uint32_t>(s.fixedIncrement), CodedTimeIncrementBits(s.resolution));
  Marker();
  w.Put(static_cast<uint32_t>(s.width), 13);
  Marker();
  w.Put(static_cast<uint32_t>(s.height), 13);
  Marker();
  w.Put(s.interlaced ? 1 : 0, 1).Put(s.obmcDisable ? 1 : 0, 1);
  w.Put(static_cast<uint32_t>(s.sprite), s.verid == 0 || s.verid == 1 ? 1 : 2);
  if (s.sprite == 1) {  // static sprite: its size and place
    for (uint32_t value : {176u, 144u, 0u, 0u}) {
      w.Put(value, 13);
      Marker();
    }
  }
  if (s.sprite != 0) w.Put(2, 6).Put(1, 2).Put(0, 1);  // two warping points, accuracy 1, no brightness change
  if (s.sprite == 1) w.Put(0, 1);                      // low_latency_sprite_enable
  w.Put(s.not8Bit ? 1 : 0, 1);
  if (s.not8Bit) w.Put(static_cast<uint32_t>(s.quantPrecision), 4).Put(static_cast<uint32_t>(s.bitsPerPixel), 4);
  w.Put(static_cast<uint32_t>(s.quantType), 1);
  if (s.quantType == 1) {
    w.Put(s.intraMatrix.empty() ? 0 : 1, 1);
    for (int v : s.intraMatrix) w.Put(static_cast<uint32_t>(v), 8);
    w.Put(s.interMatrix.empty() ? 0 : 1, 1);
    for (int v : s.interMatrix) w.Put(static_cast<uint32_t>(v), 8);
  }
  const bool version2 = s.verid != 0 && s.verid != 1;
  if (version2) w.Put(s.quarterSample ? 1 : 0, 1);
  w.Put(s.complexityBits.empty() ? 1 : 0, 1);
  for (int b : s.complexityBits) w.Put(static_cast<uint32_t>(b), 1);
  w.Put(s.resyncDisable ? 1 : 0, 1).Put(s.dataPartitioned ? 1 : 0, 1);
  if (s.dataPartitioned) w.Put(1, 1);  // reversible_vlc
  if (version2) {
    w.Put(s.newpred ? 1 : 0, 1);
    if (s.newpred) w.Put(2, 2).Put(1, 1);
    w.Put(s.reducedResolution ? 1 : 0, 1);
  }
  w.Put(s.scalability ? 1 : 0, 1);
  if (s.scalability) w.Put(0, 1).Put(3, 4).Put(0, 1).Put(1, 5).Put(2, 5).Put(1, 5).Put(2, 5).Put(0, 1);
  return w.Stuff().Bytes();
}

LayerHeaderResult Parse(const LayerRecipe& recipe) { return ParseVideoObjectLayer(BuildLayer(recipe)); }

// ---------------------------------------------------------------------------
// Synthetic layer headers.

TEST(TimeIncrementBits, SignificantBitsAndCodedBits) {
  EXPECT_EQ(TimeIncrementBits(1), 1);
  EXPECT_EQ(TimeIncrementBits(2), 2);
  EXPECT_EQ(TimeIncrementBits(16), 5);
  EXPECT_EQ(TimeIncrementBits(25), 5);
  EXPECT_EQ(TimeIncrementBits(30), 5);
  EXPECT_EQ(TimeIncrementBits(1000), 10);
  EXPECT_EQ(TimeIncrementBits(30000), 15);
  EXPECT_EQ(TimeIncrementBits(65535), 16);
  EXPECT_EQ(CodedTimeIncrementBits(1), 1);
  EXPECT_EQ(CodedTimeIncrementBits(2), 1);
  EXPECT_EQ(CodedTimeIncrementBits(16), 4);
  EXPECT_EQ(CodedTimeIncrementBits(17), 5);
  EXPECT_EQ(CodedTimeIncrementBits(25), 5);
  EXPECT_EQ(CodedTimeIncrementBits(1000), 10);
  EXPECT_EQ(CodedTimeIncrementBits(30000), 15);
  EXPECT_EQ(CodedTimeIncrementBits(65535), 16);
}

TEST(LayerHeader, PlainRectangularLayer) {
  LayerRecipe recipe;
  recipe.fixedIncrement = 1;
  const auto r = Parse(recipe);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.supported());
  EXPECT_TRUE(r.refusals.empty());
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_EQ(r.RefusalReason(), "");
  const VideoObjectLayer& v = r.layer;
  EXPECT_TRUE(v.complete);
  EXPECT_EQ(v.videoObjectLayerId, 0);
  EXPECT_EQ(v.videoObjectTypeIndication, 1);
  EXPECT_EQ(v.videoObjectLayerVerid, 1);
  EXPECT_EQ(v.aspectRatioInfo, 1);
  EXPECT_EQ(v.vopTimeIncrementResolution, 25);
  EXPECT_EQ(v.vopTimeIncrementBits, 5);
  EXPECT_EQ(v.codedTimeIncrementBits, 5);
  EXPECT_TRUE(v.fixedVopRate);
  EXPECT_EQ(v.fixedVopTimeIncrement, 1);
  EXPECT_EQ(v.videoObjectLayerWidth, 176);
  EXPECT_EQ(v.videoObjectLayerHeight, 144);
  EXPECT_EQ(v.quantType, 0);
  EXPECT_TRUE(v.resyncMarkerDisable);
  EXPECT_EQ(FixedFrameRate(v).num, 25);
  EXPECT_EQ(FixedFrameRate(v).den, 1);
  EXPECT_EQ(PixelAspectRatio(v).num, 1);
  EXPECT_EQ(PixelAspectRatio(v).den, 1);
}

TEST(LayerHeader, ControlParametersAndVbv) {
  LayerRecipe recipe;
  recipe.control = true;
  recipe.lowDelay = false;
  recipe.vbv = true;
  recipe.aspect = 15;
  recipe.parWidth = 16;
  recipe.parHeight = 12;
  const auto r = Parse(recipe);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.layer.volControlParameters);
  EXPECT_EQ(r.layer.chromaFormat, 1);
  EXPECT_FALSE(r.layer.lowDelay);
  EXPECT_EQ(r.layer.bitRate, 0x12345u);
  EXPECT_EQ(r.layer.vbvBufferSize, 0x2345u);
  EXPECT_EQ(r.layer.vbvOccupancy, 0x123456u);
  EXPECT_EQ(r.layer.videoObjectLayerWidth, 176);
  EXPECT_EQ(PixelAspectRatio(r.layer).num, 4);
  EXPECT_EQ(PixelAspectRatio(r.layer).den, 3);
  EXPECT_EQ(FixedFrameRate(r.layer).num, 0);
}

TEST(LayerHeader, MarkerBitZeroIsAnError) {
  for (int marker = 0; marker < 9; ++marker) {
    LayerRecipe recipe;
    recipe.control = true;
    recipe.vbv = true;
    recipe.breakMarker = marker;
    const auto r = Parse(recipe);
    EXPECT_FALSE(r.ok()) << marker;
    EXPECT_NE(r.error.find("marker bit"), std::string::npos) << r.error;
    EXPECT_FALSE(r.layer.complete);
  }
}

TEST(LayerHeader, ShortOrMissingHeader) {
  auto bytes = BuildLayer({});
  bytes.resize(10);
  const auto r = ParseVideoObjectLayer(bytes);
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.error.find("ends before"), std::string::npos) << r.error;

  const std::vector<uint8_t> noLayer = {0, 0, 1, 0x00, 0, 0, 1, 0xB6, 0x00};
  EXPECT_NE(ParseVideoObjectLayer(noLayer).error.find("no video object layer start code"), std::string::npos);

  LayerRecipe zero;
  zero.resolution = 0;
  EXPECT_NE(Parse(zero).error.find("vop_time_increment_resolution is 0"), std::string::npos);
}

TEST(LayerHeader, PowerOfTwoResolutionReadsWithTheStandardSizeAndWarns) {
  LayerRecipe recipe;
  recipe.resolution = 16;
  recipe.fixedIncrement = 1;  // written in 4 bits
  const auto r = Parse(recipe);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.supported());
  EXPECT_EQ(r.layer.vopTimeIncrementBits, 5);
  EXPECT_EQ(r.layer.codedTimeIncrementBits, 4);
  EXPECT_EQ(r.layer.fixedVopTimeIncrement, 1);
  EXPECT_EQ(r.layer.videoObjectLayerWidth, 176);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("power of two"), std::string::npos);
}

TEST(LayerHeader, QuantiserMatrixRepeatsItsLastValue) {
  LayerRecipe recipe;
  recipe.quantType = 1;
  recipe.intraMatrix = {8, 16, 0};
  const auto r = Parse(recipe);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.layer.loadIntraQuantMat);
  EXPECT_FALSE(r.layer.loadNonintraQuantMat);
  EXPECT_EQ(r.layer.intraQuantMat[0], 8);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(r.layer.intraQuantMat[i], 16) << i;
  EXPECT_EQ(r.layer.nonintraQuantMat, kDefaultNonintraQuantMatrix);
  EXPECT_TRUE(r.layer.complete);
}

TEST(LayerHeader, FullMatricesAreReadInZigzagOrderWithoutTerminator) {
  LayerRecipe recipe;
  recipe.quantType = 1;
  for (int k = 0; k < 64; ++k) recipe.intraMatrix.push_back(k + 1);
  for (int k = 0; k < 64; ++k) recipe.interMatrix.push_back(100 + k);
  recipe.resyncDisable = false;  // read after the matrices
  const auto r = Parse(recipe);
  ASSERT_TRUE(r.ok()) << r.error;
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(r.layer.intraQuantMat[kZigzagScan[k]], k + 1) << k;
    EXPECT_EQ(r.layer.nonintraQuantMat[kZigzagScan[k]], 100 + k) << k;
  }
  EXPECT_FALSE(r.layer.resyncMarkerDisable);
  EXPECT_TRUE(r.layer.complete);
}

TEST(LayerHeader, DefaultMatricesWhenNotLoaded) {
  LayerRecipe recipe;
  recipe.quantType = 1;
  const auto r = Parse(recipe);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.layer.intraQuantMat[0], 8);
  EXPECT_EQ(r.layer.nonintraQuantMat[0], 16);
  EXPECT_EQ(r.layer.nonintraQuantMat[63], 33);
  EXPECT_EQ(r.layer.intraQuantMat, kDefaultIntraQuantMatrix);
  EXPECT_EQ(r.layer.nonintraQuantMat, kDefaultNonintraQuantMatrix);
}

TEST(LayerHeader, MatrixStartingWithZeroIsAnError) {
  LayerRecipe recipe;
  recipe.quantType = 1;
  recipe.intraMatrix = {0};
  EXPECT_NE(Parse(recipe).error.find("starts with 0"), std::string::npos);
}

struct RefusalCase {
  const char* name;
  LayerRecipe recipe;
  const char* reason;
};

TEST(LayerHeader, RefusalsInPlainWords) {
  std::vector<RefusalCase> cases;
  {
    LayerRecipe s;
    s.obmcDisable = false;
    cases.push_back({"obmc", s, "overlapped block motion compensation"});
  }
  {
    LayerRecipe s;
    s.sprite = 1;  // one bit in a version 1 layer: static sprites
    cases.push_back({"sprite v1", s, "static sprites"});
  }
  {
    LayerRecipe s;
    s.not8Bit = true;
    s.bitsPerPixel = 10;
    cases.push_back({"10 bit", s, "more than 8 bits per sample"});
  }
  {
    LayerRecipe s;
    s.verid = 2;
    s.newpred = true;
    cases.push_back({"newpred", s, "newpred (upstream messages)"});
  }
  {
    LayerRecipe s;
    s.scalability = true;
    cases.push_back({"scalability", s, "scalability"});
  }
  {
    LayerRecipe s;
    s.control = true;
    s.chroma = 2;
    cases.push_back({"4:2:2", s, "a chroma format other than 4:2:0"});
  }
  {
    LayerRecipe s;
    s.shape = 1;
    cases.push_back({"binary shape", s, "a shape that is not rectangular"});
  }
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = Parse(c.recipe);
    EXPECT_TRUE(r.ok()) << r.error;
    EXPECT_FALSE(r.supported());
    ASSERT_EQ(r.refusals.size(), 1u);
    EXPECT_EQ(r.refusals[0], c.reason);
    EXPECT_EQ(r.RefusalReason(), c.reason);
    // Parsing goes on to the end except for other shapes.
    EXPECT_EQ(r.layer.complete, c.recipe.shape == 0);
  }
}

TEST(LayerHeader, SeveralRefusalsJoin) {
  LayerRecipe s;
  s.verid = 2;
  s.obmcDisable = false;
  s.sprite = 1;
  s.quarterSample = true;
  s.newpred = true;
  const auto r = Parse(s);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.RefusalReason(),
            "overlapped block motion compensation, static sprites and newpred (upstream messages)");
}

TEST(LayerHeader, DataPartitioningWithReversibleCodesIsSupported) {
  LayerRecipe s;
  s.dataPartitioned = true;
  const auto r = Parse(s);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.supported());
  EXPECT_TRUE(r.layer.dataPartitioned);
  EXPECT_TRUE(r.layer.reversibleVlc);
  EXPECT_TRUE(r.layer.complete);
}

TEST(LayerHeader, VersionTwoFields) {
  LayerRecipe s;
  s.verid = 2;
  s.reducedResolution = true;
  const auto r = Parse(s);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.supported());
  EXPECT_EQ(r.layer.videoObjectLayerVerid, 2);
  EXPECT_TRUE(r.layer.reducedResolutionVopEnable);
  EXPECT_TRUE(r.layer.complete);
}

TEST(LayerHeader, GlobalMotionIsTakenStaticSpritesAreNot) {
  LayerRecipe s;
  s.verid = 2;
  s.sprite = 2;
  const auto r = Parse(s);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.supported()) << r.RefusalReason();
  EXPECT_EQ(r.layer.spriteEnable, SpriteMode::kGlobalMotionCompensation);
  EXPECT_EQ(r.layer.noOfSpriteWarpingPoints, 2);
  EXPECT_EQ(r.layer.spriteWarpingAccuracy, 1);
  EXPECT_TRUE(r.layer.complete);
  s.verid = 1;
  s.sprite = 1;
  EXPECT_EQ(Parse(s).RefusalReason(), "static sprites");
}

// Interlaced layers take quarter samples and global motion as well.
TEST(LayerHeader, InterlacedLayersWithQuarterSamplesOrGlobalMotion) {
  LayerRecipe s;
  s.verid = 2;
  s.interlaced = true;
  s.quarterSample = true;
  s.sprite = 2;
  const auto r = Parse(s);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.supported()) << r.RefusalReason();
  EXPECT_TRUE(r.layer.interlaced);
  EXPECT_TRUE(r.layer.quarterSample);
  EXPECT_EQ(r.layer.spriteEnable, SpriteMode::kGlobalMotionCompensation);
}

// Complexity estimation, method 0, with only the opaque flag set.
LayerRecipe WithOpaqueEstimation() {
  LayerRecipe s;
  s.complexityBits = {0, 0,                 // estimation_method 0
                      0, 1, 0, 0, 0, 0, 0,  // shape set on: opaque only
                      1,                    // texture set 1 off
                      1,                    // marker
                      1,                    // texture set 2 off
                      1,                    // motion compensation off
                      1};                   // marker
  return s;
}

TEST(LayerHeader, ComplexityEstimationFlags) {
  const auto r = Parse(WithOpaqueEstimation());
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_FALSE(r.layer.complexityEstimationDisable);
  const auto& c = r.layer.complexityEstimation;
  EXPECT_EQ(c.estimationMethod, 0);
  EXPECT_FALSE(c.shapeComplexityEstimationDisable);
  EXPECT_TRUE(c.opaque);
  EXPECT_FALSE(c.transparent);
  EXPECT_TRUE(c.textureComplexityEstimationSet1Disable);
  EXPECT_TRUE(r.layer.complete);
}

// ---------------------------------------------------------------------------
// Synthetic picture headers.

VideoObjectLayer LayerWithResolution(int resolution) {
  LayerRecipe recipe;
  recipe.resolution = resolution;
  const auto r = Parse(recipe);
  EXPECT_TRUE(r.ok()) << r.error;
  return r.layer;
}

TEST(PictureHeader, PredictedPicture) {
  // 01 110 1 00111 1 1 0 000 00010 001: P, two seconds, marker, increment 7,
  // marker, coded, rounding 0, intra_dc_vlc_thr 0, quantiser 2, range code 1.
  BitWriter w;
  w.StartCode(0xB6).Put(1, 2).Put(6, 3).Put(1, 1).Put(7, 5).Put(1, 1).Put(1, 1).Put(0, 1).Put(0, 3).Put(2, 5).Put(1, 3);
  const auto r = ParsePictureHeader(w.Stuff().Bytes(), LayerWithResolution(30));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.header.vopCodingType, CodingType::kPredicted);
  EXPECT_EQ(CodingTypeLetter(r.header.vopCodingType), 'P');
  EXPECT_EQ(r.header.moduloTimeBase, 2);
  EXPECT_EQ(r.header.vopTimeIncrement, 7);
  EXPECT_TRUE(r.header.vopCoded);
  EXPECT_TRUE(r.header.detailsKnown);
  EXPECT_EQ(r.header.vopRoundingType, 0);
  EXPECT_EQ(r.header.intraDcVlcThr, 0);
  EXPECT_EQ(r.header.vopQuant, 2);
  EXPECT_EQ(r.header.vopFcodeForward, 1);
}

TEST(PictureHeader, BidirectionalPictureHasNoRoundingBitAndTwoRangeCodes) {
  BitWriter w;
  w.StartCode(0xB6).Put(2, 2).Put(0, 1).Put(1, 1).Put(1000, 10).Put(1, 1).Put(1, 1);
  w.Put(5, 3).Put(31, 5).Put(3, 3).Put(2, 3);
  const auto r = ParsePictureHeader(w.Stuff().Bytes(), LayerWithResolution(1000));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(CodingTypeLetter(r.header.vopCodingType), 'B');
  EXPECT_EQ(r.header.vopTimeIncrement, 1000);
  EXPECT_EQ(r.header.intraDcVlcThr, 5);
  EXPECT_EQ(r.header.vopQuant, 31);
  EXPECT_EQ(r.header.vopFcodeForward, 3);
  EXPECT_EQ(r.header.vopFcodeBackward, 2);
}

TEST(PictureHeader, NotCodedPictureEndsAfterTheFlag) {
  BitWriter w;
  w.StartCode(0xB6).Put(1, 2).Put(0, 1).Put(1, 1).Put(3, 5).Put(1, 1).Put(0, 1);
  const auto r = ParsePictureHeader(w.Stuff().Bytes(), LayerWithResolution(25));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_FALSE(r.header.vopCoded);
  EXPECT_FALSE(r.header.detailsKnown);
  EXPECT_EQ(r.header.vopTimeIncrement, 3);
}

TEST(PictureHeader, MarkerAfterModuloTimeBase) {
  BitWriter w;
  w.StartCode(0xB6).Put(0, 2).Put(2, 2).Put(0, 1).Put(0xFFFF, 16);
  const auto r = ParsePictureHeader(w.Bytes(), LayerWithResolution(25));
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.error.find("marker bit after modulo_time_base"), std::string::npos) << r.error;
}

TEST(PictureHeader, MissingStartCodeAndShortPicture) {
  const VideoObjectLayer layer = LayerWithResolution(25);
  const std::vector<uint8_t> none = {0x12, 0x34, 0x56};
  EXPECT_NE(ParsePictureHeader(none, layer).error.find("no picture start code"), std::string::npos);
  const std::vector<uint8_t> shortPicture = {0, 0, 1, 0xB6, 0x50};
  EXPECT_NE(ParsePictureHeader(shortPicture, layer).error.find("ends before"), std::string::npos);
}

TEST(PictureHeader, PowerOfTwoResolutionUsesTheCodedSize) {
  BitWriter w;
  w.StartCode(0xB6).Put(0, 2).Put(0, 1).Put(1, 1).Put(15, 4).Put(1, 1).Put(1, 1).Put(0, 3).Put(4, 5);
  const auto r = ParsePictureHeader(w.Stuff().Bytes(), LayerWithResolution(16));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.header.vopTimeIncrement, 15);
  EXPECT_EQ(r.header.vopQuant, 4);
}

TEST(PictureHeader, InterlacedPicturesCarryTwoMoreBits) {
  LayerRecipe recipe;
  recipe.interlaced = true;
  const auto layer = Parse(recipe).layer;
  BitWriter w;
  w.StartCode(0xB6).Put(0, 2).Put(0, 1).Put(1, 1).Put(0, 5).Put(1, 1).Put(1, 1).Put(0, 3).Put(1, 1).Put(0, 1);
  w.Put(9, 5);
  const auto r = ParsePictureHeader(w.Stuff().Bytes(), layer);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.header.topFieldFirst);
  EXPECT_FALSE(r.header.alternateVerticalScanFlag);
  EXPECT_EQ(r.header.vopQuant, 9);
}

TEST(PictureHeader, ComplexityCountsByPictureType) {
  const auto layer = Parse(WithOpaqueEstimation()).layer;
  // I picture: one 8-bit count (opaque) before intra_dc_vlc_thr.
  BitWriter i;
  i.StartCode(0xB6).Put(0, 2).Put(0, 1).Put(1, 1).Put(0, 5).Put(1, 1).Put(1, 1).Put(0xAB, 8).Put(2, 3).Put(7, 5);
  auto r = ParsePictureHeader(i.Stuff().Bytes(), layer);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.header.intraDcVlcThr, 2);
  EXPECT_EQ(r.header.vopQuant, 7);
  // B picture: the same count.
  BitWriter b;
  b.StartCode(0xB6).Put(2, 2).Put(0, 1).Put(1, 1).Put(0, 5).Put(1, 1).Put(1, 1).Put(0xAB, 8).Put(3, 3).Put(6, 5);
  b.Put(1, 3).Put(1, 3);
  r = ParsePictureHeader(b.Stuff().Bytes(), layer);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.header.intraDcVlcThr, 3);
  EXPECT_EQ(r.header.vopQuant, 6);
  // S picture (in a layer without sprites): no count.
  BitWriter s;
  s.StartCode(0xB6).Put(3, 2).Put(0, 1).Put(1, 1).Put(0, 5).Put(1, 1).Put(1, 1).Put(4, 3).Put(5, 5).Put(1, 3);
  r = ParsePictureHeader(s.Stuff().Bytes(), layer);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.header.intraDcVlcThr, 4);
  EXPECT_EQ(r.header.vopQuant, 5);
}

// ---------------------------------------------------------------------------
// The committed streams.

struct Stream {
  std::vector<uint8_t> bytes;
  ElementaryStream split;
  LayerHeaderResult layer;
  std::vector<PictureHeader> pictures;
};

Stream Load(const std::string& name) {
  Stream s;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), s.bytes)) << name;
  const SplitResult split = SplitElementaryStream(s.bytes);
  EXPECT_TRUE(split.ok()) << name << ": " << split.error;
  s.split = split.stream;
  s.layer = ParseVideoObjectLayer(s.split.Header(s.bytes));
  EXPECT_TRUE(s.layer.ok()) << name << ": " << s.layer.error;
  for (std::size_t i = 0; i < s.split.pictures.size(); ++i) {
    const auto p = ParsePictureHeader(s.split.Picture(s.bytes, i), s.layer.layer);
    EXPECT_TRUE(p.ok()) << name << " picture " << i << ": " << p.error;
    s.pictures.push_back(p.header);
  }
  return s;
}

// Picture types in display order: a B picture shows at once, an I, P or S
// picture when the next one of those arrives or at the end; pictures with
// vop_coded 0 show nothing.  This is the order ffprobe lists.
std::string DisplayOrder(const std::vector<PictureHeader>& pictures) {
  std::string order;
  char held = 0;
  for (const PictureHeader& p : pictures) {
    if (!p.vopCoded) continue;
    if (p.vopCodingType == CodingType::kBidirectional) {
      order += 'B';
    } else {
      if (held != 0) order += held;
      held = CodingTypeLetter(p.vopCodingType);
    }
  }
  if (held != 0) order += held;
  return order;
}

// Display-order picture types of each committed stream, as ffprobe
// -show_frames lists them.
struct StreamFacts {
  const char* name;
  const char* types;
};

const StreamFacts kFacts[] = {
    {"mpeg4_150x98.m4v", "IPPPPPPPPP"},
    {"mpeg4_custom_matrix.m4v", "IPPPPPPPPP"},
    {"mpeg4_data_partitioned.m4v", "IPPPP"},
    {"mpeg4_default.m4v", "IPPPPPPPPP"},
    {"mpeg4_gop4.m4v", "IPPPIPPPIP"},
    {"interlaced_mpeg4_intra.m4v", "III"},
    {"interlaced_mpeg4_ipb_200x120.m4v", "IBBPBBPBBP"},
    {"interlaced_mpeg4_ipb_bff_alt.m4v", "IBBPBBPBBPBP"},
    {"interlaced_mpeg4_ipb_packets.m4v", "IBBPBBPBBPBP"},
    {"interlaced_mpeg4_ipb_tff.m4v", "IBBPBBPBBPBP"},
    {"interlaced_xvid_ipb_200x120.m4v", "IBPBPBBPBP"},
    {"interlaced_xvid_ipb_bff_alt.m4v", "IBBPBBPBBPBP"},
    {"interlaced_xvid_ipb_tff.m4v", "IBBPBBPBBPBP"},
    {"interlaced_qpel_mpeg4_ipb_tff.m4v", "IBBPBBPBBP"},
    {"interlaced_qpel_mpeg4_ipb_mv4_bff_alt.m4v", "IBBPBBPBBP"},
    {"interlaced_qpel_mpeg4_zoom_180x100_ipb_mv4.m4v", "IBBPBBPBBPBBIP"},
    {"interlaced_qpel_xvid_ipb_mv4_tff.m4v", "IBPBBPBBPP"},
    {"interlaced_gmc_xvid_ipb_tff.m4v", "IBSBSBPBSBSP"},
    {"interlaced_gmc_xvid_ip_150x98_bff_alt.m4v", "ISSSSSSSSS"},
    {"interlaced_qpel_gmc_xvid_ipb_bff.m4v", "IBSBSBPBSBSS"},
    {"mpeg4_interlaced.m4v", "IPPPP"},
    {"mpeg4_intra_98x74.m4v", "IIIII"},
    {"mpeg4_intra_aq.m4v", "IIIII"},
    {"mpeg4_intra_custom_matrix.m4v", "IIIII"},
    {"mpeg4_intra_mpegquant.m4v", "IIIII"},
    {"mpeg4_intra_q2.m4v", "IIIII"},
    {"mpeg4_intra_q20.m4v", "IIIII"},
    {"mpeg4_ip_aq.m4v", "IPPPPPPPPPPP"},
    {"mpeg4_ip_fastpan.m4v", "IPPPPPPPPPPPIIP"},
    {"mpeg4_ip_life.m4v", "IIPPPPPPPP"},
    {"mpeg4_ip_long.m4v", "IPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPP"},
    {"mpeg4_ip_mv4.m4v", "IPPPPPPPPPPPIPPPPPPP"},
    {"mpeg4_ip_scroll.m4v", "IPPPPPPPPPPPIPP"},
    {"mpeg4_ip_static.m4v", "IPPPPPPPPP"},
    {"mpeg4_ipb.m4v", "IBBPBBPBBPBBIBBPBBPP"},
    {"mpeg4_ipb_aq.m4v", "IBBPBBPBBPBP"},
    {"mpeg4_ipb_cif.m4v", "IBBPBBPBBPBP"},
    {"mpeg4_ipb_long.m4v", "IBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBP"},
    {"mpeg4_ipb_mpegquant.m4v", "IBBPBBPBBPBBIBBPBBPP"},
    {"mpeg4_ipb_mv4.m4v", "IBBPBBPBBPBBIBBPBBPP"},
    {"mpeg4_ipb_tb30000.m4v", "IBBPBBPBBPBBIBBPBBPP"},
    {"mpeg4_mpegquant.m4v", "IPPPPPPPPP"},
    {"mpeg4_no_vos.m4v", "IPPPPPPPPP"},
    {"mpeg4_obmc_header.m4v", "IPPPPPPPPP"},
    {"mpeg4_qpel.m4v", "IPPPP"},
    {"mpeg4_tb1000.m4v", "IPPPPPPPPP"},
    {"mpeg4_tb16.m4v", "IPPPPPPPPP"},
    {"mpeg4_tb30000.m4v", "IPPPPPPPPP"},
    {"sample.m4v", "IBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBIBBPBBPBBPBBPBBPBBPBBPBP"},
    {"xvid_150x98.m4v", "IPPPPPPPPP"},
    {"xvid_custom_matrix.m4v", "IPPPPPPPPP"},
    {"xvid_default.m4v", "IPPPPPPPPP"},
    {"xvid_gmc.m4v", "IPPSP"},
    {"xvid_gop4.m4v", "IPPPIPPPIP"},
    {"xvid_intra_98x74.m4v", "IIIII"},
    {"xvid_intra_aq.m4v", "IIIII"},
    {"xvid_intra_custom_matrix.m4v", "IIIII"},
    {"xvid_intra_mpegquant.m4v", "IIIII"},
    {"xvid_intra_q2.m4v", "IIIII"},
    {"xvid_intra_q20.m4v", "IIIII"},
    {"xvid_ip_aq.m4v", "IPPPPPPPPPPP"},
    {"xvid_ip_fastpan.m4v", "IPPPPPPPIPPPPIP"},
    {"xvid_ip_mv4.m4v", "IPPPPPPPPPPPIPPPPPPP"},
    {"xvid_ip_static.m4v", "IPPPPPPPPP"},
    {"xvid_ipb.m4v", "IBBPBBPBBPBBIBBPBBP"},
    {"xvid_ipb_aq.m4v", "IBBPBBPBBP"},
    {"xvid_ipb_cif.m4v", "IBBPBBPBBP"},
    {"xvid_ipb_custom_matrix.m4v", "IBBPBBPBBPBBIBBPBBP"},
    {"xvid_ipb_long.m4v", "IBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBBPBP"},
    {"xvid_ipb_mv4.m4v", "IBBPBBPBBPBBIBBPBBP"},
    {"xvid_ipb_tb30000.m4v", "IBBPBBPBBPBBIBBPBBP"},
    {"xvid_mpegquant.m4v", "IPPPPPPPPP"},
    {"xvid_qpel.m4v", "IPPPP"},
    {"xvid_tb16.m4v", "IPPPPPPPPP"},
    {"xvid_tb30000.m4v", "IPPPPPPPPP"},
    {"gmc_zoom_ip.m4v", "IPPPPSPPPPSSIPSS"},
    {"gmc_zoom_ipb.m4v", "IBBSBBSBBSBBIBP"},
    {"gmc_zoom_150x98_ipb.m4v", "IBPBPBPBSBSBIBP"},
    {"gmc_turn_ip_mv4_aq.m4v", "IPPPSSSSSPSS"},
    {"gmc_qpel_ipb.m4v", "IBPBSBSBSBP"},
    {"gmc_turn_ip_1point.m4v", "IPPPSSSSSPSS"},
    {"gmc_zoom_150x98_ipb_2points.m4v", "IBPBPBPBSBSBIBP"},
    {"gmc_zoom_ipb_0points.m4v", "IBBSBBSBBSBBIBP"},
};

TEST(CommittedStreams, PictureTypesInDisplayOrderMatchFfprobe) {
  for (const StreamFacts& facts : kFacts) {
    SCOPED_TRACE(facts.name);
    const Stream s = Load(facts.name);
    EXPECT_EQ(DisplayOrder(s.pictures), facts.types);
  }
}

TEST(CommittedStreams, FfmpegDefaultHeader) {
  const Stream s = Load("mpeg4_default.m4v");
  ASSERT_TRUE(s.layer.supported());
  const VideoObjectLayer& v = s.layer.layer;
  EXPECT_TRUE(v.complete);
  EXPECT_EQ(v.videoObjectTypeIndication, 1);  // simple
  EXPECT_EQ(v.videoObjectLayerVerid, 1);
  EXPECT_EQ(v.aspectRatioInfo, 1);
  EXPECT_TRUE(v.volControlParameters);
  EXPECT_TRUE(v.lowDelay);
  EXPECT_FALSE(v.vbvParameters);
  EXPECT_EQ(v.vopTimeIncrementResolution, 25);
  EXPECT_EQ(v.vopTimeIncrementBits, 5);
  EXPECT_FALSE(v.fixedVopRate);
  EXPECT_EQ(v.videoObjectLayerWidth, 176);
  EXPECT_EQ(v.videoObjectLayerHeight, 144);
  EXPECT_EQ(v.quantType, 0);
  EXPECT_FALSE(v.resyncMarkerDisable);  // ffmpeg leaves resynchronisation markers allowed
  EXPECT_TRUE(v.complexityEstimationDisable);
  ASSERT_EQ(s.pictures.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(s.pictures[i].moduloTimeBase, 0);
    EXPECT_EQ(s.pictures[i].vopTimeIncrement, i);
  }
  // ffmpeg alternates the rounding type from one P picture to the next.
  for (int i = 1; i < 10; ++i) EXPECT_EQ(s.pictures[i].vopRoundingType, i % 2) << i;
  EXPECT_EQ(s.pictures[0].vopQuant, 4);
}

TEST(CommittedStreams, XvidDefaultHeader) {
  const Stream s = Load("xvid_default.m4v");
  ASSERT_TRUE(s.layer.supported());
  const VideoObjectLayer& v = s.layer.layer;
  EXPECT_EQ(v.videoObjectTypeIndication, 1);
  EXPECT_EQ(v.videoObjectLayerVerid, 1);
  EXPECT_EQ(v.aspectRatioInfo, 15);  // explicit 1:1
  EXPECT_EQ(PixelAspectRatio(v).num, 1);
  EXPECT_EQ(PixelAspectRatio(v).den, 1);
  EXPECT_TRUE(v.fixedVopRate);
  EXPECT_EQ(v.fixedVopTimeIncrement, 1);
  EXPECT_EQ(FixedFrameRate(v).num, 25);
  EXPECT_EQ(FixedFrameRate(v).den, 1);
  EXPECT_TRUE(v.resyncMarkerDisable);
  EXPECT_EQ(v.videoObjectLayerWidth, 176);
  EXPECT_EQ(v.videoObjectLayerHeight, 144);
  // Xvid alternates the rounding type too, starting with 0.
  for (int i = 1; i < 10; ++i) EXPECT_EQ(s.pictures[i].vopRoundingType, (i + 1) % 2) << i;
}

TEST(CommittedStreams, TimeResolutions) {
  struct Case {
    const char* name;
    int resolution, bits, codedBits, fixedIncrement, secondPictureIncrement;
  };
  const Case cases[] = {
      {"mpeg4_tb30000.m4v", 30000, 15, 15, -1, 1001}, {"xvid_tb30000.m4v", 30000, 15, 15, 1001, 1001},
      {"mpeg4_tb1000.m4v", 1000, 10, 10, -1, 40},     {"mpeg4_tb16.m4v", 16, 5, 4, -1, 1},
      {"xvid_tb16.m4v", 16, 5, 4, 1, 1},              {"xvid_ipb_tb30000.m4v", 30000, 15, 15, 1001, 3003},
      {"mpeg4_ipb_tb30000.m4v", 30000, 15, 15, -1, 3003},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Stream s = Load(c.name);
    const VideoObjectLayer& v = s.layer.layer;
    EXPECT_EQ(v.vopTimeIncrementResolution, c.resolution);
    EXPECT_EQ(v.vopTimeIncrementBits, c.bits);
    EXPECT_EQ(v.codedTimeIncrementBits, c.codedBits);
    EXPECT_EQ(v.fixedVopRate, c.fixedIncrement >= 0);
    if (c.fixedIncrement >= 0) {
      EXPECT_EQ(v.fixedVopTimeIncrement, c.fixedIncrement);
    }
    EXPECT_EQ(s.layer.warnings.empty(), c.bits == c.codedBits);
    ASSERT_GE(s.pictures.size(), 2u);
    EXPECT_EQ(s.pictures[1].vopTimeIncrement, c.secondPictureIncrement);
  }
}

TEST(CommittedStreams, SizesNotMultipleOfSixteen) {
  for (const char* name : {"mpeg4_150x98.m4v", "xvid_150x98.m4v"}) {
    const Stream s = Load(name);
    EXPECT_EQ(s.layer.layer.videoObjectLayerWidth, 150) << name;
    EXPECT_EQ(s.layer.layer.videoObjectLayerHeight, 98) << name;
  }
  for (const char* name : {"mpeg4_intra_98x74.m4v", "xvid_intra_98x74.m4v"}) {
    const Stream s = Load(name);
    EXPECT_EQ(s.layer.layer.videoObjectLayerWidth, 98) << name;
    EXPECT_EQ(s.layer.layer.videoObjectLayerHeight, 74) << name;
  }
  const Stream cif = Load("mpeg4_ipb_cif.m4v");
  EXPECT_EQ(cif.layer.layer.videoObjectLayerWidth, 352);
  EXPECT_EQ(cif.layer.layer.videoObjectLayerHeight, 288);
}

// The custom matrices given to both encoders (raster order).
const std::array<uint8_t, 64> kCustomIntra = {
    8,  12, 14, 16, 18, 20, 22, 24, 12, 14, 16, 18, 20, 22, 24, 26, 14, 16, 18, 20, 22, 24,
    26, 28, 16, 18, 20, 22, 24, 26, 28, 30, 18, 20, 22, 24, 26, 28, 30, 32, 20, 22, 24, 26,
    28, 30, 32, 40, 22, 24, 26, 28, 30, 32, 40, 40, 24, 26, 28, 30, 32, 40, 40, 40};
std::array<uint8_t, 64> CustomInter() {
  std::array<uint8_t, 64> m;
  m.fill(20);
  m[0] = 16;
  m[63] = 24;
  return m;
}

TEST(CommittedStreams, MatrixQuantisation) {
  for (const char* name : {"mpeg4_mpegquant.m4v", "xvid_mpegquant.m4v", "mpeg4_intra_mpegquant.m4v",
                           "xvid_intra_mpegquant.m4v", "mpeg4_ipb_mpegquant.m4v"}) {
    SCOPED_TRACE(name);
    const Stream s = Load(name);
    EXPECT_EQ(s.layer.layer.quantType, 1);
    EXPECT_FALSE(s.layer.layer.loadIntraQuantMat);
    EXPECT_FALSE(s.layer.layer.loadNonintraQuantMat);
    EXPECT_EQ(s.layer.layer.intraQuantMat, kDefaultIntraQuantMatrix);
    EXPECT_EQ(s.layer.layer.nonintraQuantMat, kDefaultNonintraQuantMatrix);
  }
  // ffmpeg writes all 64 values; Xvid ends each list with a 0 once the
  // remaining values repeat, so its streams use the repeat rule.  Both read
  // back to the same matrices.
  for (const char* name : {"mpeg4_custom_matrix.m4v", "xvid_custom_matrix.m4v", "mpeg4_intra_custom_matrix.m4v",
                           "xvid_intra_custom_matrix.m4v", "xvid_ipb_custom_matrix.m4v"}) {
    SCOPED_TRACE(name);
    const Stream s = Load(name);
    EXPECT_EQ(s.layer.layer.quantType, 1);
    EXPECT_TRUE(s.layer.layer.loadIntraQuantMat);
    EXPECT_TRUE(s.layer.layer.loadNonintraQuantMat);
    EXPECT_EQ(s.layer.layer.intraQuantMat, kCustomIntra);
    EXPECT_EQ(s.layer.layer.nonintraQuantMat, CustomInter());
    EXPECT_TRUE(s.layer.layer.complete);
  }
  // The header sizes show the difference: ffmpeg 2 x 64 bytes of matrix,
  // Xvid fewer.
  EXPECT_EQ(Load("mpeg4_custom_matrix.m4v").split.headerSize, 154u);
  EXPECT_EQ(Load("xvid_custom_matrix.m4v").split.headerSize, 157u);  // with 33 bytes of user data
}

// ffmpeg marks layers with B pictures or quarter-sample motion as version 5
// (advanced simple object type 17), so they carry the version 2 fields.
TEST(CommittedStreams, FfmpegBPictureLayersAreVersionFive) {
  const Stream s = Load("mpeg4_ipb.m4v");
  EXPECT_EQ(s.layer.layer.videoObjectLayerVerid, 5);
  EXPECT_EQ(s.layer.layer.videoObjectTypeIndication, 17);
  EXPECT_FALSE(s.layer.layer.lowDelay);
  EXPECT_TRUE(s.layer.supported());
  EXPECT_TRUE(s.layer.layer.complete);
  const Stream x = Load("xvid_ipb.m4v");
  EXPECT_EQ(x.layer.layer.videoObjectLayerVerid, 1);
  EXPECT_EQ(x.layer.layer.videoObjectTypeIndication, 17);
  EXPECT_FALSE(x.layer.layer.lowDelay);
}

// B pictures right after a second boundary carry modulo_time_base 1.
TEST(CommittedStreams, LongStreamsCrossSecondBoundariesWithBPictures) {
  for (const char* name : {"mpeg4_ipb_long.m4v", "xvid_ipb_long.m4v"}) {
    SCOPED_TRACE(name);
    const Stream s = Load(name);
    int secondsB = 0, secondsAnchor = 0;
    for (const PictureHeader& p : s.pictures) {
      if (!p.vopCoded || p.moduloTimeBase == 0) continue;
      (p.vopCodingType == CodingType::kBidirectional ? secondsB : secondsAnchor) += 1;
    }
    EXPECT_GE(secondsAnchor, 3);
    EXPECT_GE(secondsB, 3);
  }
}

// Xvid packs B pictures: each group is followed by a placeholder with
// vop_coded 0 carrying the time of the anchor it follows.
TEST(CommittedStreams, XvidPlaceholderPictures) {
  const Stream s = Load("xvid_ipb.m4v");
  ASSERT_EQ(s.pictures.size(), 24u);
  const std::string decodeOrder = [&] {
    std::string text;
    for (const auto& p : s.pictures) text += p.vopCoded ? CodingTypeLetter(p.vopCodingType) : 'n';
    return text;
  }();
  EXPECT_EQ(decodeOrder, "IPBBnPBBnPBBnIBBnPBBnPBB");
  EXPECT_EQ(s.pictures[4].vopTimeIncrement, s.pictures[1].vopTimeIncrement);
}

TEST(CommittedStreams, RefusedStreams) {
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"mpeg4_obmc_header.m4v", "overlapped block motion compensation"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Stream s = Load(c.name);
    EXPECT_TRUE(s.layer.ok()) << s.layer.error;
    EXPECT_FALSE(s.layer.supported());
    EXPECT_EQ(s.layer.RefusalReason(), c.reason);
    EXPECT_TRUE(s.layer.layer.complete);
  }
}

// Interlaced streams are taken; their picture headers read in full,
// top_field_first and alternate_vertical_scan_flag included.
TEST(CommittedStreams, InterlacedStreams) {
  const struct {
    const char* name;
    bool topFieldFirst, alternateScan;
  } cases[] = {{"mpeg4_interlaced.m4v", false, false},
               {"interlaced_mpeg4_ipb_tff.m4v", true, false},
               {"interlaced_mpeg4_ipb_bff_alt.m4v", false, true},
               {"interlaced_xvid_ipb_tff.m4v", true, false},
               {"interlaced_xvid_ipb_bff_alt.m4v", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Stream s = Load(c.name);
    EXPECT_TRUE(s.layer.supported()) << s.layer.RefusalReason();
    EXPECT_TRUE(s.layer.layer.interlaced);
    ASSERT_FALSE(s.pictures.empty());
    for (const auto& p : s.pictures) {
      if (!p.vopCoded) continue;
      EXPECT_TRUE(p.detailsKnown);
      EXPECT_EQ(p.topFieldFirst, c.topFieldFirst);
      EXPECT_EQ(p.alternateVerticalScanFlag, c.alternateScan);
    }
  }
  EXPECT_EQ(Load("mpeg4_interlaced.m4v").pictures[0].vopQuant, 4);
}

// Xvid's S pictures: three warping points at 1/16 sample, the trajectory
// read and the header read to its end.
TEST(CommittedStreams, GlobalMotionPictures) {
  const Stream gmc = Load("xvid_gmc.m4v");
  ASSERT_TRUE(gmc.layer.supported()) << gmc.layer.RefusalReason();
  const VideoObjectLayer& v = gmc.layer.layer;
  EXPECT_EQ(v.videoObjectLayerVerid, 2);
  EXPECT_EQ(v.spriteEnable, SpriteMode::kGlobalMotionCompensation);
  EXPECT_EQ(v.noOfSpriteWarpingPoints, 3);
  EXPECT_EQ(v.spriteWarpingAccuracy, 3);
  EXPECT_FALSE(v.spriteBrightnessChange);
  ASSERT_EQ(gmc.pictures.size(), 5u);
  const PictureHeader& sprite = gmc.pictures[3];
  EXPECT_EQ(sprite.vopCodingType, CodingType::kSprite);
  ASSERT_TRUE(sprite.detailsKnown);
  EXPECT_EQ(sprite.warpingPoints, 3);
  // The differences Xvid wrote (in half samples; the decoder reads the same,
  // tests/unit/bitstream), positive and negative codes of several lengths.
  EXPECT_EQ(sprite.du[0], 29);
  EXPECT_EQ(sprite.dv[0], -8);
  EXPECT_EQ(sprite.du[1], -1);
  EXPECT_EQ(sprite.dv[1], -1);
  EXPECT_EQ(sprite.du[2], 0);
  EXPECT_EQ(sprite.dv[2], 1);
  EXPECT_GT(sprite.vopQuant, 0);
}

TEST(CommittedStreams, EveryStreamTheDecoderTakes) {
  for (const StreamFacts& facts : kFacts) {
    const std::string name = facts.name;
    const bool refused = name.find("obmc") != std::string::npos;
    const Stream s = Load(name);
    EXPECT_EQ(s.layer.supported(), !refused) << name << ": " << s.layer.RefusalReason();
    EXPECT_TRUE(s.layer.layer.complete) << name;
  }
}

// Full picture times: every coded picture of a stream at a constant rate
// lands on its own tick, across second boundaries and around B pictures.
TEST(PictureClock, CodedPicturesFallOnConsecutiveTicks) {
  // gapBeforeLast: the encoder wrapper dropped the B picture just before the
  // last anchor (ffmpeg 5.1 with Xvid and B pictures), so the last picture
  // is one tick later.
  const struct {
    const char* name;
    int shown;
    int step;
    bool gapBeforeLast;
  } cases[] = {
      {"mpeg4_ipb_long.m4v", 100, 1, false},    {"xvid_ipb_long.m4v", 99, 1, true},
      {"mpeg4_ip_long.m4v", 100, 1, false},     {"sample.m4v", 74, 1, true},
      {"xvid_ipb_tb30000.m4v", 19, 1001, false}, {"mpeg4_tb1000.m4v", 10, 40, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Stream s = Load(c.name);
    PictureClock clock(s.layer.layer.vopTimeIncrementResolution);
    std::vector<int64_t> times;
    for (const PictureHeader& p : s.pictures) {
      const int64_t t = clock.Next(p);
      if (p.vopCoded) times.push_back(t);
    }
    ASSERT_EQ(times.size(), static_cast<std::size_t>(c.shown));
    std::sort(times.begin(), times.end());
    for (int i = 0; i < c.shown; ++i) {
      const int tick = i + 1 == c.shown && c.gapBeforeLast ? i + 1 : i;
      EXPECT_EQ(times[static_cast<std::size_t>(i)], int64_t{tick} * c.step) << i;
    }
  }
}

TEST(PictureClock, BPicturesCountSecondsFromThePreviousAnchorInDisplayOrder) {
  // I at 0.20, P at 1.1 (next second), then B at 0.22 and 1.0 (seconds
  // counted from the I picture), at resolution 25.
  PictureClock clock(25);
  PictureHeader h;
  h.vopCodingType = CodingType::kIntra;
  h.vopTimeIncrement = 20;
  EXPECT_EQ(clock.Next(h), 20);
  h.vopCodingType = CodingType::kPredicted;
  h.moduloTimeBase = 1;
  h.vopTimeIncrement = 1;
  EXPECT_EQ(clock.Next(h), 26);
  h.vopCodingType = CodingType::kBidirectional;
  h.moduloTimeBase = 0;
  h.vopTimeIncrement = 22;
  EXPECT_EQ(clock.Next(h), 22);
  h.moduloTimeBase = 1;
  h.vopTimeIncrement = 0;
  EXPECT_EQ(clock.Next(h), 25);
  // The next P picture counts from the P picture at 1.1.
  h.vopCodingType = CodingType::kPredicted;
  h.moduloTimeBase = 0;
  h.vopTimeIncrement = 4;
  EXPECT_EQ(clock.Next(h), 29);
}

TEST(PictureClock, FrameRateFromTimes) {
  EXPECT_EQ(FrameRateFromTimes(25, {0, 1, 2, 3}).num, 25);
  EXPECT_EQ(FrameRateFromTimes(25, {0, 1, 2, 3}).den, 1);
  const Ratio ntsc = FrameRateFromTimes(30000, {0, 2002, 1001, 3003, 5005});
  EXPECT_EQ(ntsc.num, 30000);
  EXPECT_EQ(ntsc.den, 1001);
  const Ratio ms = FrameRateFromTimes(1000, {0, 40, 80, 120, 200});
  EXPECT_EQ(ms.num, 25);
  EXPECT_EQ(ms.den, 1);
  EXPECT_EQ(FrameRateFromTimes(25, {7}).num, 0);
  EXPECT_EQ(FrameRateFromTimes(25, {7, 7}).num, 0);
  // Streams without a fixed rate in their header.
  for (const char* name : {"mpeg4_default.m4v", "mpeg4_tb30000.m4v", "mpeg4_tb1000.m4v", "mpeg4_ipb.m4v"}) {
    SCOPED_TRACE(name);
    const Stream s = Load(name);
    EXPECT_FALSE(s.layer.layer.fixedVopRate);
    PictureClock clock(s.layer.layer.vopTimeIncrementResolution);
    std::vector<int64_t> times;
    for (const PictureHeader& p : s.pictures) times.push_back(clock.Next(p));
    const Ratio rate = FrameRateFromTimes(s.layer.layer.vopTimeIncrementResolution, times);
    const bool ntscRate = std::string(name) == "mpeg4_tb30000.m4v";
    EXPECT_EQ(rate.num, ntscRate ? 30000 : 25);
    EXPECT_EQ(rate.den, ntscRate ? 1001 : 1);
  }
}

}  // namespace
