// Predicted pictures on the first path: skipped, inter (one or four
// vectors, optional residual) and intra macroblocks.  Leaves the skip flags
// and vectors the following B pictures read in mbStateMap and mvStore.
#include "picture/diagnostics.h"
#include "picture/picture_decoders.h"
#include "picture/predicted_picture_walk.h"
#include "primitives/blockcopy/motion_routines.h"

namespace tavrin {
namespace {

constexpr const char* kInterBlockMessage = "Error when decode coefficents of Inter block\n";

// Blocks rebuilt by the fused reconstruction primitives.
struct FirstPathTexture {
  DecoderContext& c;
  const PictureBuffer& ref;
  const PictureBuffer& cur;
  const uint8_t* intraMatrix;
  const uint8_t* interMatrix;
  const int32_t rounding;
  alignas(16) int16_t residual[64];

  int32_t Intra(const IntraMacroblock& mb) { return ReconstructIntraMacroblock(c, mb, intraMatrix); }

  // One 8x8 block predicted with a vector, plus its residual when coded.
  int32_t PredictBlock(const InterMacroblock& mb, int32_t block, const MotionVector& v, bool coded) {
    const InterBlockCoding coding{c.reader, mb.quant, interMatrix, rounding, residual};
    const int32_t status = PredictInterBlock(coding, ref, cur, mb.x, mb.y, block, v, coded);
    if (status != 0) diagnosticSink(kInterBlockMessage);
    return status;
  }

  // The residual of a coded block added to what the picture holds there.
  int32_t AddResidual(const InterMacroblock& mb, int32_t block) {
    const int32_t status = primitives.ReconstructInter(&c.reader.bytePos, &c.reader.bitPos,
                                                       residual, mb.quant, interMatrix);
    if (status != 0) {
      diagnosticSink(kInterBlockMessage);
      return status;
    }
    primitives.AddResidual8x8(BlockOrigin(cur, mb.x, mb.y, block), residual, cur.strideY);
    return 0;
  }

  int32_t Inter(const InterMacroblock& mb) {
    int32_t status;
    if (mb.mbType != MbInter4v) {
      // One vector: the luma predicted as one 16x16 block, which costs half
      // the work of four 8x8 ones, then the coded blocks' residuals.
      primitives.PredictHalfSample16x16(BlockOrigin(ref, mb.x, mb.y, 0), cur.strideY,
                                        BlockOrigin(cur, mb.x, mb.y, 0), cur.strideY, &mb.luma[0],
                                        rounding);
      for (int32_t b = 0; b < 4; ++b)
        if (((mb.cbpy >> (3 - b)) & 1) && (status = AddResidual(mb, b)) != 0) return status;
    } else {
      for (int32_t b = 0; b < 4; ++b)
        if ((status = PredictBlock(mb, b, mb.luma[b], (mb.cbpy >> (3 - b)) & 1)) != 0) return status;
    }
    if (mb.cbpc == 0) {
      motionRoutines.predictChroma(BlockOrigin(ref, mb.x, mb.y, 4), BlockOrigin(ref, mb.x, mb.y, 5),
                                   cur.strideCb, BlockOrigin(cur, mb.x, mb.y, 4),
                                   BlockOrigin(cur, mb.x, mb.y, 5), cur.strideCb, &mb.chroma,
                                   rounding);
      return 0;
    }
    if ((status = PredictBlock(mb, 4, mb.chroma, (mb.cbpc >> 1) & 1)) != 0) return status;
    return PredictBlock(mb, 5, mb.chroma, mb.cbpc & 1);
  }
};

}  // namespace

int32_t DecodePredictedPicture(DecoderContext& c) {
  const bool matrices = c.sequence.quantType != 0;
  FirstPathTexture texture{c,
                           c.store.forwardReference,
                           c.store.currentPicture,
                           matrices ? c.sequence.intraQuantMat : nullptr,
                           matrices ? c.sequence.nonintraQuantMat : nullptr,
                           c.picture.vopRoundingType,
                           {}};
  return WalkPredictedPicture(c, texture);
}

}  // namespace tavrin
