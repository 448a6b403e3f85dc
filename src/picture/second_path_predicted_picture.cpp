// Predicted pictures on the second path: the macroblock syntax, vectors and
// prediction of the first path; residuals decoded, dequantised and
// inverse-transformed in separate steps with the second path's transform, intra
// macroblocks rebuilt as in intra pictures of this path.
#include "picture/half_sample_motion.h"
#include "picture/interlaced_predicted_walk.h"
#include "picture/picture_decoders.h"
#include "picture/predicted_picture_walk.h"
#include "picture/quarter_sample_motion.h"
#include "picture/second_path_intra_block.h"
#include "primitives/reconstruction/second_path_block_routines.h"

namespace tavrin {
namespace {

// Residuals decoded, dequantised and transformed in separate steps;
// predicted with the motion policy of the stream.
template <typename MotionPolicy>
struct SecondPathTexture {
  using Motion = MotionPolicy;
  DecoderContext& c;
  const PictureBuffer& ref;
  const PictureBuffer& cur;
  const uint8_t* intraMatrix;
  const uint8_t* interMatrix;
  const int32_t rounding;
  // One residual per luma block; the chroma blocks reuse the first.
  alignas(16) int16_t residual[4][64];

  int32_t Intra(const IntraMacroblock& mb) {
    return ReconstructIntraMacroblockSecondPath(c, mb, intraMatrix, residual[0]);
  }

  // Reads and dequantises one residual: 0, kInvalidMacroblockCode when
  // its codes cannot be right, or QuantiserError (before anything is read)
  // for a quantiser the dequantisation refuses, as on the first path.
  int32_t ReadResidual(int16_t* block, int32_t quant) {
    if (quant < 1 || quant > 31) return QuantiserError;
    if (primitives.DecodeInterCoefficients(&c.reader.bytePos, &c.reader.bitPos, block) != Ok)
      return kInvalidMacroblockCode;
    primitives.DequantInter(block, quant, interMatrix);
    return 0;
  }

  void PredictWithResidual(int32_t x, int32_t y, int32_t block, const MotionVector& v,
                           int16_t* residualBlock) {
    const int32_t stride = BlockStride(cur, block);
    blockRoutines.inverseTransform(residualBlock);
    primitives.PredictAddResidual8x8(BlockOrigin(ref, x, y, block), stride, residualBlock,
                                     BlockOrigin(cur, x, y, block), stride, &v, rounding);
  }

  void PredictOnly(int32_t x, int32_t y, int32_t block, const MotionVector& v) {
    const int32_t stride = BlockStride(cur, block);
    primitives.PredictHalfSample8x8(BlockOrigin(ref, x, y, block), stride,
                                    BlockOrigin(cur, x, y, block), stride, &v, rounding);
  }

  int32_t Luma(const InterMacroblock& mb) {
    for (int32_t b = 0; b < 4; ++b) {
      if (!((mb.cbpy >> (3 - b)) & 1)) continue;
      if (const int32_t status = ReadResidual(residual[b], mb.quant); status != 0) return status;
    }
    if (mb.cbpy == 0 && mb.mbType != MbInter4v) {
      Motion::PredictLuma(ref, cur, mb.x, mb.y, mb.luma[0], rounding);
      return 0;
    }
    if constexpr (!Motion::kSeparableBlocks) return PredictThenAdd(mb);
    for (int32_t b = 0; b < 4; ++b) {
      if ((mb.cbpy >> (3 - b)) & 1)
        PredictWithResidual(mb.x, mb.y, b, mb.luma[b], residual[b]);
      else
        PredictOnly(mb.x, mb.y, b, mb.luma[b]);
    }
    return 0;
  }

  // A prediction that cannot be formed block by block: the whole luma
  // first, then each coded block's residual added onto it.
  int32_t PredictThenAdd(const InterMacroblock& mb) {
    if (mb.mbType != MbInter4v) {
      Motion::PredictLuma(ref, cur, mb.x, mb.y, mb.luma[0], rounding);
    } else {
      for (int32_t b = 0; b < 4; ++b)
        Motion::PredictLumaBlock(ref, cur, mb.x, mb.y, b, mb.luma[b], rounding);
    }
    for (int32_t b = 0; b < 4; ++b) {
      if (!((mb.cbpy >> (3 - b)) & 1)) continue;
      blockRoutines.inverseTransform(residual[b]);
      primitives.AddResidual8x8(BlockOrigin(cur, mb.x, mb.y, b), residual[b], cur.strideY);
    }
    return 0;
  }

  int32_t Inter(const InterMacroblock& mb) {
    int32_t status;
    // Overlapped prediction is not done: with it enabled the luma is left
    // out (the layer header refuses such streams).
    if (c.sequence.obmcDisable && (status = Luma(mb)) != 0) return status;
    for (int32_t block = 4; block < 6; ++block) {
      if ((mb.cbpc >> (5 - block)) & 1) {
        if ((status = ReadResidual(residual[0], mb.quant)) != 0) return status;
        PredictWithResidual(mb.x, mb.y, block, mb.chroma, residual[0]);
      } else {
        PredictOnly(mb.x, mb.y, block, mb.chroma);
      }
    }
    return 0;
  }

  // Predicted through the global motion; each coded block's residual is
  // transformed and added onto the prediction.
  int32_t Global(const InterMacroblock& mb, const GlobalMotion& global) {
    PredictGlobalMotion(global, ref, cur, mb.x, mb.y);
    const int32_t cbp = (mb.cbpy << 2) | mb.cbpc;
    for (int32_t block = 0; block < 6; ++block) {
      if (!((cbp >> (5 - block)) & 1)) continue;
      if (const int32_t status = ReadResidual(residual[0], mb.quant); status != 0) return status;
      blockRoutines.inverseTransform(residual[0]);
      primitives.AddResidual8x8(BlockOrigin(cur, mb.x, mb.y, block), residual[0],
                                BlockStride(cur, block));
    }
    return 0;
  }

  // Interlaced pictures: the residuals of a predicted macroblock, onto the
  // prediction already in place.
  int32_t Residuals(const InterlacedResidual& r) {
    return AddInterlacedResidualsSecondPath(c.reader, cur, r, interMatrix, residual[0]);
  }
};

template <typename Motion>
int32_t Decode(DecoderContext& c) {
  const bool matrices = c.sequence.quantType != 0;
  SecondPathTexture<Motion> texture{c,
                                    c.store.forwardReference,
                                    c.store.currentPicture,
                                    matrices ? c.sequence.intraQuantMat : nullptr,
                                    matrices ? c.sequence.nonintraQuantMat : nullptr,
                                    c.picture.vopRoundingType,
                                    {}};
  if (c.sequence.interlaced) return WalkInterlacedPredictedPicture(c, texture);
  return WalkPredictedPicture(c, texture);
}

}  // namespace

int32_t DecodePredictedPictureSecondPath(DecoderContext& c) {
  return c.sequence.quarterSample ? Decode<QuarterSampleMotion>(c) : Decode<HalfSampleMotion>(c);
}

}  // namespace tavrin
