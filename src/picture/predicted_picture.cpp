// Predicted pictures on the first path: skipped, inter (one or four
// vectors, optional residual) and intra macroblocks; S pictures' globally
// predicted ones.  Leaves the skip flags
// and vectors the following B pictures read in mbStateMap and mvStore.
#include "picture/diagnostics.h"
#include "picture/half_sample_motion.h"
#include "picture/interlaced_predicted_walk.h"
#include "picture/picture_decoders.h"
#include "picture/predicted_picture_walk.h"
#include "picture/quarter_sample_motion.h"

namespace tavrin {
namespace {

constexpr const char* kInterBlockMessage = "Error when decode coefficents of Inter block\n";

// Blocks rebuilt by the fused reconstruction primitives, predicted with
// the motion policy of the stream.
template <typename MotionPolicy>
struct FirstPathTexture {
  using Motion = MotionPolicy;
  DecoderContext& c;
  const PictureBuffer& ref;
  const PictureBuffer& cur;
  const uint8_t* intraMatrix;
  const uint8_t* interMatrix;
  const int32_t rounding;

  int32_t Intra(const IntraMacroblock& mb) { return ReconstructIntraMacroblock(c, mb, intraMatrix); }

  int32_t Inter(const InterMacroblock& mb) {
    if (mb.mbType != MbInter4v) {
      // One vector: the luma predicted as one 16x16 block, which costs half
      // the work of four 8x8 ones.
      Motion::PredictLuma(ref, cur, mb.x, mb.y, mb.luma[0], rounding);
    } else {
      for (int32_t b = 0; b < 4; ++b)
        Motion::PredictLumaBlock(ref, cur, mb.x, mb.y, b, mb.luma[b], rounding);
    }
    PredictChroma(ref, cur, mb.x, mb.y, mb.chroma, rounding);
    // The coded blocks' residuals go onto the prediction.
    const InterBlockCoding coding{c.reader, mb.quant, interMatrix};
    const int32_t status = AddCodedResiduals(coding, cur, mb.x, mb.y, (mb.cbpy << 2) | mb.cbpc);
    if (status != 0) diagnosticSink(kInterBlockMessage);
    return status;
  }

  // Predicted through the global motion, then the coded blocks' residuals.
  int32_t Global(const InterMacroblock& mb, const GlobalMotion& global) {
    PredictGlobalMotion(global, ref, cur, mb.x, mb.y);
    const InterBlockCoding coding{c.reader, mb.quant, interMatrix};
    const int32_t status = AddCodedResiduals(coding, cur, mb.x, mb.y, (mb.cbpy << 2) | mb.cbpc);
    if (status != 0) diagnosticSink(kInterBlockMessage);
    return status;
  }

  // Interlaced pictures: the residuals of a predicted macroblock.
  int32_t Residuals(const InterlacedResidual& r) {
    const int32_t status = AddInterlacedResiduals(c.reader, cur, r, interMatrix);
    if (status != 0) diagnosticSink(kInterBlockMessage);
    return status;
  }
};

template <typename Motion>
int32_t Decode(DecoderContext& c) {
  const bool matrices = c.sequence.quantType != 0;
  FirstPathTexture<Motion> texture{c,
                                   c.store.forwardReference,
                                   c.store.currentPicture,
                                   matrices ? c.sequence.intraQuantMat : nullptr,
                                   matrices ? c.sequence.nonintraQuantMat : nullptr,
                                   c.picture.vopRoundingType};
  if (c.sequence.interlaced) return WalkInterlacedPredictedPicture(c, texture);
  return WalkPredictedPicture(c, texture);
}

}  // namespace

int32_t DecodePredictedPicture(DecoderContext& c) {
  return c.sequence.quarterSample ? Decode<QuarterSampleMotion>(c) : Decode<HalfSampleMotion>(c);
}

}  // namespace tavrin
