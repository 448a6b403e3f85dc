// Predicted pictures on the second path: the macroblock syntax, vectors and
// prediction of the first path; residuals decoded, dequantised and
// inverse-transformed in separate steps with the second path's transform, intra
// macroblocks rebuilt as in intra pictures of this path.
#include "picture/picture_decoders.h"
#include "picture/predicted_picture_walk.h"
#include "picture/second_path_intra_block.h"
#include "primitives/reconstruction/second_path_block_routines.h"

namespace tavrin {
namespace {

// Residuals decoded, dequantised and transformed in separate steps.
struct SecondPathTexture {
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
      primitives.PredictHalfSample16x16(BlockOrigin(ref, mb.x, mb.y, 0), cur.strideY,
                                        BlockOrigin(cur, mb.x, mb.y, 0), cur.strideY, &mb.luma[0],
                                        rounding);
      return 0;
    }
    for (int32_t b = 0; b < 4; ++b) {
      if ((mb.cbpy >> (3 - b)) & 1)
        PredictWithResidual(mb.x, mb.y, b, mb.luma[b], residual[b]);
      else
        PredictOnly(mb.x, mb.y, b, mb.luma[b]);
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
};

}  // namespace

int32_t DecodePredictedPictureSecondPath(DecoderContext& c) {
  const bool matrices = c.sequence.quantType != 0;
  SecondPathTexture texture{c,
                            c.store.forwardReference,
                            c.store.currentPicture,
                            matrices ? c.sequence.intraQuantMat : nullptr,
                            matrices ? c.sequence.nonintraQuantMat : nullptr,
                            c.picture.vopRoundingType,
                            {}};
  return WalkPredictedPicture(c, texture);
}

}  // namespace tavrin
