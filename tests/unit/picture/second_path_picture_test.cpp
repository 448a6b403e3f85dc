// Intra and predicted pictures of the second path, built macroblock by
// macroblock: DC prediction across whole pictures (against a model of the
// gradient rule, with skipped and inter macroblocks as missing
// neighbours), skipped and inter macroblocks, residuals, a damaged inter
// block, and the refusal of a picture quantiser of 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "bitstream/sequence_header.h"
#include "decoder/stream_setup.h"
#include "picture/picture_decoders.h"
#include "primitives/primitive_types.h"
#include "primitives/reconstruction/second_path_block_routines.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace tavrin {
namespace {

using coeftest::BitWriter;
using coeftest::PutDcDifferential;
using testing::ContextHolder;

constexpr int32_t kMbWidth = 3;
constexpr int32_t kMbHeight = 2;
constexpr uint8_t kUnwritten = 77;

// Block levels of a picture whose blocks carry only a DC, at quantiser 4
// (DC scaler 8): a block's DC is 8 * level and its pixels all equal level.
// -1 marks a block that is no intra block of the picture.
struct DcPicture {
  std::vector<int32_t> luma = std::vector<int32_t>(4 * kMbWidth * kMbHeight, -1);
  std::vector<int32_t> cb = std::vector<int32_t>(kMbWidth * kMbHeight, -1);
  std::vector<int32_t> cr = cb;

  std::vector<int32_t>& Plane(int32_t b) { return b < 4 ? luma : b == 4 ? cb : cr; }

  // The DC level the decoder predicts for block b of macroblock (x, y):
  // from the block above when |left - aboveLeft| < |aboveLeft - above|,
  // else from the left one, missing DCs counting as 1024.
  int32_t PredictedLevel(int32_t x, int32_t y, int32_t b) {
    const int32_t width = b < 4 ? 2 * kMbWidth : kMbWidth;
    const int32_t col = b < 4 ? 2 * x + (b & 1) : x;
    const int32_t row = b < 4 ? 2 * y + (b >> 1) : y;
    auto dc = [&](int32_t c, int32_t r) {
      if (c < 0 || r < 0) return 1024;
      const int32_t level = Plane(b)[r * width + c];
      return level < 0 ? 1024 : 8 * level;
    };
    const int32_t a = dc(col - 1, row), bb = dc(col - 1, row - 1), c = dc(col, row - 1);
    const int32_t p = std::abs(a - bb) < std::abs(bb - c) ? c : a;
    return (p + 4) / 8;
  }

  void Set(int32_t x, int32_t y, int32_t b, int32_t level) {
    const int32_t width = b < 4 ? 2 * kMbWidth : kMbWidth;
    const int32_t col = b < 4 ? 2 * x + (b & 1) : x;
    const int32_t row = b < 4 ? 2 * y + (b >> 1) : y;
    Plane(b)[row * width + col] = level;
  }
};

class SecondPathPictureTest : public ::testing::Test {
 protected:
  SecondPathPictureTest() {
    holder.Load(testsupport::MakeLayerHeader({.width = 16 * kMbWidth, .height = 16 * kMbHeight}));
    EXPECT_TRUE(OpenStream(*holder, 16 * kMbWidth, 16 * kMbHeight));
    PictureHeader& h = holder->picture;
    h.vopQuant = 4;
    h.intraDcVlcThr = 0;
    h.vopFcodeForward = 1;
    h.vopRoundingType = 0;
  }

  FrameStore& Store() { return holder->store; }

  // Six DC-only blocks of an intra macroblock at (x, y) with random levels;
  // the header bits must have been written.
  void PutIntraBlocks(BitWriter& w, DcPicture& model, int32_t x, int32_t y) {
    for (int32_t b = 0; b < 6; ++b) {
      const auto level = static_cast<int32_t>(16 + rng() % 225);
      PutDcDifferential(w, level - model.PredictedLevel(x, y, b), b >= 4);
      model.Set(x, y, b, level);
    }
  }

  void Fill(const PictureBuffer& p, uint8_t value) {
    for (int32_t r = 0; r < 16 * kMbHeight; ++r)
      std::fill_n(p.originY + r * p.strideY, 16 * kMbWidth, value);
    for (int32_t r = 0; r < 8 * kMbHeight; ++r) {
      std::fill_n(p.originCb + r * p.strideCb, 8 * kMbWidth, value);
      std::fill_n(p.originCr + r * p.strideCr, 8 * kMbWidth, value);
    }
  }

  // Sample (col, row) of plane 0 (Y), 1 (Cb) or 2 (Cr).
  static uint8_t Sample(const PictureBuffer& p, int32_t plane, int32_t col, int32_t row) {
    if (plane == 0) return p.originY[row * p.strideY + col];
    if (plane == 1) return p.originCb[row * p.strideCb + col];
    return p.originCr[row * p.strideCr + col];
  }

  // Every sample of macroblock (x, y): from the model where it has a level,
  // else from `other`.
  void ExpectMacroblock(DcPicture& model, const PictureBuffer& other, int32_t x, int32_t y) {
    const PictureBuffer& cur = Store().currentPicture;
    for (int32_t b = 0; b < 6; ++b) {
      const int32_t width = b < 4 ? 2 * kMbWidth : kMbWidth;
      const int32_t col = b < 4 ? 2 * x + (b & 1) : x;
      const int32_t row = b < 4 ? 2 * y + (b >> 1) : y;
      const int32_t level = model.Plane(b)[row * width + col];
      const int32_t plane = b < 4 ? 0 : b - 3;
      for (int32_t r = 0; r < 8; ++r)
        for (int32_t c = 0; c < 8; ++c) {
          const uint8_t want = level >= 0 ? static_cast<uint8_t>(level)
                                          : Sample(other, plane, 8 * col + c, 8 * row + r);
          ASSERT_EQ(Sample(cur, plane, 8 * col + c, 8 * row + r), want)
              << "macroblock " << x << "," << y << " block " << b << " at " << c << "," << r;
        }
    }
  }

  int32_t DecodeIntra(const BitWriter& w) {
    holder.Load(w.Bytes());
    return DecodeIntraPictureSecondPath(*holder);
  }

  // Makes the current picture the reference of the next P picture, and
  // marks the new current picture as not written.
  void UseAsReference() {
    std::swap(Store().currentPicture, Store().forwardReference);
    Fill(Store().currentPicture, kUnwritten);
  }

  int32_t DecodePredicted(const BitWriter& w) {
    holder.Load(w.Bytes());
    return DecodePredictedPictureSecondPath(*holder);
  }

  // A random intra picture, its model in `model`.
  void DecodeRandomIntraPicture(DcPicture& model) {
    BitWriter w;
    for (int32_t y = 0; y < kMbHeight; ++y)
      for (int32_t x = 0; x < kMbWidth; ++x) {
        if (rng() % 3 == 0) w.PutCode("0000 0000 1");  // stuffing
        w.PutCode("1");                                 // intra, cbpc 0
        w.Put(rng() & 1, 1);                            // ac_pred_flag
        w.PutCode("0011");                              // cbpy 0
        PutIntraBlocks(w, model, x, y);
      }
    ASSERT_EQ(DecodeIntra(w), 0);
  }

  ContextHolder holder;
  std::mt19937 rng{11};
};

TEST_F(SecondPathPictureTest, IntraPictureDcsFollowTheGradientRule) {
  for (int picture = 0; picture < 8; ++picture) {
    Fill(Store().currentPicture, kUnwritten);
    Store().mbStateMap[1] = 1;
    Store().mvStore[5] = 9;
    DcPicture model;
    DecodeRandomIntraPicture(model);
    for (int32_t y = 0; y < kMbHeight; ++y)
      for (int32_t x = 0; x < kMbWidth; ++x)
        ExpectMacroblock(model, Store().forwardReference, x, y);
    EXPECT_EQ(Store().mbStateMap[1], 0);
    EXPECT_EQ(Store().mvStore[5], 0);
  }
}

// Macroblocks of a P picture: skipped, inter with a zero vector and no
// residual (both copies of the reference, neither a neighbour for DC
// prediction), and intra.
TEST_F(SecondPathPictureTest, PredictedPictureIntraMacroblocksSeeOnlyIntraNeighbours) {
  for (int picture = 0; picture < 12; ++picture) {
    DcPicture reference;
    DecodeRandomIntraPicture(reference);
    UseAsReference();
    DcPicture model;
    BitWriter w;
    std::vector<int> kinds;
    for (int32_t y = 0; y < kMbHeight; ++y)
      for (int32_t x = 0; x < kMbWidth; ++x) {
        const int kind = static_cast<int>(rng() % 3);
        kinds.push_back(kind);
        if (kind == 0) {
          w.PutCode("1");  // not coded
          continue;
        }
        w.PutCode("0");
        if (rng() % 3 == 0) w.PutCode("0000 0000 1");  // stuffing
        if (kind == 1) {
          w.PutCode("1 11 1 1");  // inter, cbpc 0; cbpy 0; vector (0, 0)
        } else {
          w.PutCode("00011");  // intra, cbpc 0
          w.Put(rng() & 1, 1);
          w.PutCode("0011");
          PutIntraBlocks(w, model, x, y);
        }
      }
    ASSERT_EQ(DecodePredicted(w), 0);
    for (int32_t y = 0; y < kMbHeight; ++y)
      for (int32_t x = 0; x < kMbWidth; ++x) {
        ExpectMacroblock(model, Store().forwardReference, x, y);
        EXPECT_EQ(Store().mbStateMap[y * kMbWidth + x], kinds[y * kMbWidth + x] == 0 ? 1 : 0);
      }
    for (int32_t i = 0; i < kMbWidth * kMbHeight * 8; ++i) ASSERT_EQ(Store().mvStore[i], 0);
  }
}

TEST_F(SecondPathPictureTest, InterResidualIsDequantisedTransformedAndAdded) {
  DcPicture reference;
  DecodeRandomIntraPicture(reference);
  UseAsReference();
  BitWriter w;
  // Macroblock 0: inter, cbpc 0, cbpy 15 - 7 = 8 (block 0 only), vector
  // (0, 0), then one inter coefficient: last 1, run 0, level +1.
  w.PutCode("0 1 1011 1 1");
  w.PutCode("0111");
  w.Put(0, 1);
  for (int32_t i = 1; i < kMbWidth * kMbHeight; ++i) w.PutCode("1");
  ASSERT_EQ(DecodePredicted(w), 0);

  // Level 1 at quantiser 4: 2 * 4 + 3 = 11.
  alignas(16) int16_t residual[64] = {11};
  blockRoutines.inverseTransform(residual);
  const PictureBuffer& cur = Store().currentPicture;
  const PictureBuffer& ref = Store().forwardReference;
  for (int32_t r = 0; r < 16; ++r)
    for (int32_t c = 0; c < 16; ++c) {
      int32_t want = ref.originY[r * ref.strideY + c];
      if (r < 8 && c < 8) want = std::clamp(want + residual[8 * r + c], 0, 255);
      ASSERT_EQ(cur.originY[r * cur.strideY + c], want) << c << "," << r;
    }
  DcPicture none;
  for (int32_t x = 1; x < kMbWidth; ++x) ExpectMacroblock(none, ref, x, 0);
}

TEST_F(SecondPathPictureTest, ADamagedInterBlockStopsThePicture) {
  DcPicture reference;
  DecodeRandomIntraPicture(reference);
  UseAsReference();
  BitWriter w;
  // Macroblock 0 says block 0 is coded, but the bits that follow start with
  // nine zeros, which no coefficient code does: the picture stops there,
  // and every macroblock from it on is lost (for the concealment to mend).
  w.PutCode("0 1 1011 1 1");
  w.PutCode("0 0000 0000 1 1 11 1 1");
  for (int32_t i = 2; i < kMbWidth * kMbHeight; ++i) w.PutCode("1");
  EXPECT_EQ(DecodePredicted(w), kInvalidMacroblockCode);
  const ResilienceState& r = Store().resilience;
  EXPECT_EQ(r.lostCount, kMbWidth * kMbHeight);
  for (int32_t i = 0; i < kMbWidth * kMbHeight; ++i) EXPECT_EQ(r.status[i] & kMacroblockLost, kMacroblockLost);
}

// A DC that no block of 8-bit samples has (below 0, or above 8 * 255 by
// more than the scaler's rounding) is damage that reads as valid codes, on
// both paths.  Where the codes after it read right to the picture's end,
// only its macroblock is lost; where they fail later, everything from it
// on.  The extremes that can be (0 and 255 at scaler 8) decode.
TEST_F(SecondPathPictureTest, IntraDcsNoBlockCanHaveAreDamage) {
  Store().resilience.anchorsDecoded = 1;  // a picture before to mend from
  for (const auto decode : {DecodeIntraPicture, DecodeIntraPictureSecondPath}) {
    for (const bool failsLater : {false, true}) {
      for (const int32_t level : {-1, 0, 255, 300}) {
        SCOPED_TRACE(::testing::Message() << "level " << level << (failsLater ? ", a bad code later" : ""));
        Fill(Store().currentPicture, kUnwritten);
        BitWriter w;
        for (int32_t i = 0; i < kMbWidth * kMbHeight; ++i) {
          if (failsLater && i == 4) {
            w.PutCode("0000 0000 0000");  // no macroblock type starts so
            break;
          }
          w.PutCode("1 0 0011");  // intra, cbpc 0, no AC prediction, cbpy 0
          // Block 0 of the first macroblock is predicted from 1024 (level
          // 128); the others repeat what they are predicted from.
          for (int32_t b = 0; b < 6; ++b) PutDcDifferential(w, i == 0 && b == 0 ? level - 128 : 0, b >= 4);
        }
        holder.Load(w.Bytes());
        const bool possible = level >= 0 && level <= 255;
        const int32_t status = decode(*holder);
        const ResilienceState& r = Store().resilience;
        if (failsLater) {
          // Macroblock 0 began within the bits distrusted before the bad
          // code either way.
          EXPECT_EQ(status, kInvalidMacroblockCode);
          EXPECT_EQ(r.lostCount, kMbWidth * kMbHeight);
        } else {
          EXPECT_EQ(status, possible ? 0 : kInvalidMacroblockCode);
          EXPECT_EQ(r.status[0] & kMacroblockLost, possible ? 0 : kMacroblockLost);
          if (level == -1) EXPECT_EQ(r.lostCount, 1);  // its DC reads as none to the next blocks
        }
      }
    }
  }
}

// A picture quantiser of 0 (no dquant raising it) is refused at the first
// block that would be dequantised, as on the first path: the picture stops
// there with QuantiserError and the block's bits are not read.
TEST_F(SecondPathPictureTest, IntraPictureWithQuantiserZeroStopsAtItsFirstBlock) {
  holder->picture.vopQuant = 0;
  Fill(Store().currentPicture, kUnwritten);
  BitWriter w;
  w.PutCode("1 0 0011");
  PutDcDifferential(w, 3, false);
  EXPECT_EQ(DecodeIntra(w), QuantiserError);
  const BitReader& r = holder->reader;
  EXPECT_EQ((r.bytePos - r.bufferStart) * 8 + r.bitPos, 6);
  EXPECT_EQ(Store().currentPicture.originY[0], kUnwritten);
}

TEST_F(SecondPathPictureTest, PredictedPictureWithQuantiserZeroStopsAtItsFirstResidual) {
  DcPicture reference;
  DecodeRandomIntraPicture(reference);
  UseAsReference();
  holder->picture.vopQuant = 0;
  BitWriter w;
  w.PutCode("1");            // skipped
  w.PutCode("0 1 11 1 1");   // inter without residual
  w.PutCode("0 1 1011 1 1");  // inter with block 0 coded
  w.PutCode("0111");
  w.Put(0, 1);
  EXPECT_EQ(DecodePredicted(w), QuantiserError);
  DcPicture none;
  ExpectMacroblock(none, Store().forwardReference, 0, 0);
  ExpectMacroblock(none, Store().forwardReference, 1, 0);
  EXPECT_EQ(Store().currentPicture.originY[32], kUnwritten);
}

}  // namespace
}  // namespace tavrin
