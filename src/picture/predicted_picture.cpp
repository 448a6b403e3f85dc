// Predicted pictures on the first path: skipped, inter (one or four
// vectors, optional residual) and intra macroblocks.  Leaves the skip flags
// and vectors the following B pictures read in mbStateMap and mvStore.
#include "picture/diagnostics.h"
#include "picture/picture_decoders.h"
#include "picture/predicted_picture_walk.h"

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

  int32_t Inter(const InterMacroblock& mb) {
    const InterBlockCoding coding{c.reader, mb.quant, interMatrix, rounding, residual};
    int32_t cbp = (mb.cbpy << 2) | mb.cbpc;  // bit 5 block 0 ... bit 0 block 5
    int32_t status = 0;
    if (mb.mbType != MbInter4v) {
      // One vector: the luma predicted as one 16x16 block, which costs half
      // the work of four 8x8 ones; the coded blocks' residuals come after.
      PredictLuma(ref, cur, mb.x, mb.y, mb.luma[0], rounding);
    } else {
      for (int32_t b = 0; b < 4 && status == 0; ++b)
        status = PredictInterBlock(coding, ref, cur, mb.x, mb.y, b, mb.luma[b], (cbp >> (5 - b)) & 1);
      cbp &= 3;  // the luma residuals are in
    }
    if (status == 0) {
      PredictChroma(ref, cur, mb.x, mb.y, mb.chroma, rounding);
      status = AddCodedResiduals(coding, cur, mb.x, mb.y, cbp);
    }
    if (status != 0) diagnosticSink(kInterBlockMessage);
    return status;
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
