// The macroblock layer of short-header pictures, I and P, on both
// reconstruction paths.  The macroblock syntax is the one the MPEG-4
// walks read (with no AC prediction flag), the groups of blocks take the
// place of video packets; what differs is the blocks: an intra block's DC
// is a fixed-length code and nothing is predicted from its neighbours,
// and the coefficients of every block use the inter table and the escape
// of fixed length.  Four-vector macroblocks (advanced prediction) are
// refused as damage is: the picture goes on at the next group header.
#include <bit>

#include "picture/half_sample_motion.h"
#include "picture/intra_picture_walk.h"
#include "picture/motion_compensation.h"
#include "picture/picture_decoders.h"
#include "picture/predicted_picture_walk.h"
#include "picture/short_header_groups.h"
#include "primitives/coefficients/short_header_coefficients.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/reconstruction/second_path_block_routines.h"

namespace tavrin {
namespace {

// Blocks in block order with bit 5 for block 0 ... bit 0 for block 5.
inline int32_t CodedBlocks(int32_t cbpy, int32_t cbpc) { return (cbpy << 2) | cbpc; }
inline bool IsCoded(int32_t coded, int32_t block) { return ((coded >> (5 - block)) & 1) != 0; }

// ---- First path: one fused routine per block ----

int32_t IntraMacroblockFirstPath(DecoderContext& c, const IntraMacroblock& mb) {
  const PictureBuffer& picture = c.store.currentPicture;
  const int32_t coded = CodedBlocks(mb.cbpy, mb.cbpc);
  for (int32_t block = 0; block < 6; ++block) {
    const int32_t status = reconstructionRoutines.reconstructShortHeaderIntra(
        &c.reader.bytePos, &c.reader.bitPos, IsCoded(coded, block) ? 1 : 0, mb.quant,
        BlockOrigin(picture, mb.x, mb.y, block), BlockStride(picture, block));
    if (status != 0) return status;
  }
  return 0;
}

struct FirstPathTexture {
  using Motion = HalfSampleMotion;  // H.263 vectors are in half samples
  DecoderContext& c;
  const PictureBuffer& ref;
  const PictureBuffer& cur;

  int32_t Intra(const IntraMacroblock& mb) { return IntraMacroblockFirstPath(c, mb); }

  int32_t Inter(const InterMacroblock& mb) {
    if (mb.mbType == MbInter4v) return kInvalidMacroblockCode;
    PredictLuma(ref, cur, mb.x, mb.y, mb.luma[0], 0);
    PredictChroma(ref, cur, mb.x, mb.y, mb.chroma, 0);
    // The coded blocks' residuals onto the prediction, in block order.
    uint32_t coded = static_cast<uint32_t>(CodedBlocks(mb.cbpy, mb.cbpc)) & 63;
    while (coded != 0) {
      const int32_t high = 31 - std::countl_zero(coded);
      coded ^= 1u << high;
      const int32_t block = 5 - high;
      const int32_t status = reconstructionRoutines.reconstructShortHeaderInterAdd(
          &c.reader.bytePos, &c.reader.bitPos, mb.quant, BlockOrigin(cur, mb.x, mb.y, block),
          BlockStride(cur, block));
      if (status != 0) return status;
    }
    return 0;
  }
};

// ---- Second path: decoded, dequantised and transformed step by step ----

struct SecondPathTexture {
  using Motion = HalfSampleMotion;
  DecoderContext& c;
  const PictureBuffer& ref;
  const PictureBuffer& cur;
  alignas(16) int16_t block[64];

  // The levels of one block from scan index firstIndex, dequantised.
  int32_t ReadLevels(int32_t firstIndex, int32_t quant) {
    if (coefficients::DecodeShortHeaderCoefficients(&c.reader.bytePos, &c.reader.bitPos, block,
                                                    firstIndex) != Ok)
      return kInvalidMacroblockCode;
    primitives.DequantInter(block, quant, nullptr);
    return 0;
  }

  int32_t Intra(const IntraMacroblock& mb) {
    const int32_t coded = CodedBlocks(mb.cbpy, mb.cbpc);
    for (int32_t b = 0; b < 6; ++b) {
      primitives.ZeroBytes(block, sizeof block);
      const int32_t dcCode = static_cast<int32_t>(c.reader.GetBits(8));
      if (IsCoded(coded, b)) {
        if (const int32_t status = ReadLevels(1, mb.quant); status != 0) return status;
      }
      block[0] = static_cast<int16_t>(8 * (dcCode == 255 ? 128 : dcCode));
      blockRoutines.transformAndStore(BlockOrigin(cur, mb.x, mb.y, b), block, BlockStride(cur, b));
    }
    return 0;
  }

  // Block b predicted with vector v, its residual added when it is coded.
  int32_t InterBlock(const InterMacroblock& mb, int32_t b, bool coded, const MotionVector& v) {
    const int32_t stride = BlockStride(cur, b);
    const uint8_t* from = BlockOrigin(ref, mb.x, mb.y, b);
    uint8_t* to = BlockOrigin(cur, mb.x, mb.y, b);
    if (!coded) {
      primitives.PredictHalfSample8x8(from, stride, to, stride, &v, 0);
      return 0;
    }
    primitives.ZeroBytes(block, sizeof block);
    if (const int32_t status = ReadLevels(0, mb.quant); status != 0) return status;
    blockRoutines.inverseTransform(block);
    primitives.PredictAddResidual8x8(from, stride, block, to, stride, &v, 0);
    return 0;
  }

  int32_t Inter(const InterMacroblock& mb) {
    if (mb.mbType == MbInter4v) return kInvalidMacroblockCode;
    const int32_t coded = CodedBlocks(mb.cbpy, mb.cbpc);
    int32_t first = 0;
    if (mb.cbpy == 0) {
      primitives.PredictHalfSample16x16(BlockOrigin(ref, mb.x, mb.y, 0), cur.strideY,
                                        BlockOrigin(cur, mb.x, mb.y, 0), cur.strideY, &mb.luma[0], 0);
      first = 4;
    }
    for (int32_t b = first; b < 6; ++b) {
      const int32_t status = InterBlock(mb, b, IsCoded(coded, b), b < 4 ? mb.luma[0] : mb.chroma);
      if (status != 0) return status;
    }
    return 0;
  }
};

int32_t DecodeIntra(DecoderContext& c, int32_t videoQuality) {
  ClearMotionStores(c.store);
  if (videoQuality == 1) {
    SecondPathTexture texture{c, c.store.forwardReference, c.store.currentPicture, {}};
    return WalkIntraPicture<GroupsOfBlocks>(
        c, [&](const IntraMacroblock& mb) { return texture.Intra(mb); });
  }
  return WalkIntraPicture<GroupsOfBlocks>(
      c, [&](const IntraMacroblock& mb) { return IntraMacroblockFirstPath(c, mb); });
}

int32_t DecodePredicted(DecoderContext& c, int32_t videoQuality) {
  if (videoQuality == 1) {
    SecondPathTexture texture{c, c.store.forwardReference, c.store.currentPicture, {}};
    return WalkPredictedPicture<GroupsOfBlocks>(c, texture);
  }
  FirstPathTexture texture{c, c.store.forwardReference, c.store.currentPicture};
  return WalkPredictedPicture<GroupsOfBlocks>(c, texture);
}

}  // namespace

int32_t DecodeShortHeaderPicture(DecoderContext& c, int32_t videoQuality) {
  const int32_t status = c.picture.vopCodingType == 0 ? DecodeIntra(c, videoQuality)
                                                      : DecodePredicted(c, videoQuality);
  if (videoQuality == 1) blockRoutines.endSimdState();
  return status;
}

}  // namespace tavrin
