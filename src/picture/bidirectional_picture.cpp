// Bidirectional pictures: forward, backward, interpolated and direct
// macroblocks predicted from the two anchors around the picture.  Nothing
// here is a reference for later pictures.
#include <algorithm>

#include "picture/inter_block.h"
#include "picture/intra_macroblock.h"
#include "picture/macroblock_walk.h"
#include "picture/motion.h"
#include "picture/picture_decoders.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/dispatch/primitive_table.h"

namespace tavrin {
namespace {

enum BidirType : int32_t { BDirect = 6, BInterpolate = 7, BBackward = 8, BForward = 9 };

bool SameFour(const MotionVector* v) {
  return v[1].x == v[0].x && v[1].y == v[0].y && v[2].x == v[0].x && v[2].y == v[0].y &&
         v[3].x == v[0].x && v[3].y == v[0].y;
}

int32_t ToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

struct BidirectionalPicture {
  DecoderContext& c;
  FrameStore& f;
  BitReader& reader;
  const PictureBuffer& past;    // forwardReference: the earlier anchor
  const PictureBuffer& future;  // backwardReference: the later anchor
  const PictureBuffer& cur;
  const uint8_t* matrix;
  const ClipRect clip;
  const int32_t trb;
  const int32_t trd;
  int32_t quant;
  MotionVector forwardPredictor{0, 0};
  MotionVector backwardPredictor{0, 0};
  alignas(16) int16_t residual[64];

  // Every picture that carries no rounding bit, B pictures among them,
  // interpolates with rounding control 0.
  static constexpr int32_t kRounding = 0;

  // A macroblock whose co-located one was skipped takes nothing from the
  // stream.
  bool ReadsBits(int32_t index) const { return f.mbStateMap[index] == 0; }
  void StartRow(int32_t) { forwardPredictor = backwardPredictor = MotionVector{0, 0}; }
  void EndRow() {}
  void StartPacket(int32_t packetQuant) {
    forwardPredictor = backwardPredictor = MotionVector{0, 0};
    quant = packetQuant;
  }


  int32_t AddResidual(int32_t x, int32_t y, int32_t block) {
    const int32_t status =
        primitives.ReconstructInter(&reader.bytePos, &reader.bitPos, residual, quant, matrix);
    if (status != 0) return status;
    primitives.AddResidual8x8(BlockOrigin(cur, x, y, block), residual, BlockStride(cur, block));
    return 0;
  }

  // One-directional macroblock from ref with one vector.
  int32_t OneDirection(int32_t x, int32_t y, const PictureBuffer& ref, const MotionVector& v,
                       int32_t cbpb) {
    int32_t status;
    if ((cbpb & 0x3C) == 0) {
      primitives.PredictHalfSample16x16(BlockOrigin(ref, x, y, 0), cur.strideY,
                                        BlockOrigin(cur, x, y, 0), cur.strideY, &v, kRounding);
    } else {
      for (int32_t b = 0; b < 4; ++b)
        if ((status = Block(x, y, b, ref, v, (cbpb >> (5 - b)) & 1)) != 0) return status;
    }
    MotionVector chroma;
    primitives.DeriveChromaVector(&v, &chroma);
    if ((cbpb & 3) == 0) {
      motionRoutines.predictChroma(BlockOrigin(ref, x, y, 4), BlockOrigin(ref, x, y, 5),
                                   cur.strideCb, BlockOrigin(cur, x, y, 4),
                                   BlockOrigin(cur, x, y, 5), cur.strideCb, &chroma, kRounding);
      return 0;
    }
    if ((status = Block(x, y, 4, ref, chroma, (cbpb >> 1) & 1)) != 0) return status;
    return Block(x, y, 5, ref, chroma, cbpb & 1);
  }

  int32_t Block(int32_t x, int32_t y, int32_t block, const PictureBuffer& ref,
                const MotionVector& v, bool coded) {
    const InterBlockCoding coding{reader, quant, matrix, kRounding, residual};
    return PredictInterBlock(coding, ref, cur, x, y, block, v, coded);
  }

  // An 8x8 block averaged from both anchors, plus its residual when coded.
  int32_t AveragedBlock(int32_t x, int32_t y, int32_t block, const MotionVector& forward,
                        const MotionVector& backward, bool coded) {
    const int32_t stride = BlockStride(cur, block);
    uint8_t* to = BlockOrigin(cur, x, y, block);
    primitives.PredictHalfSample8x8(BlockOrigin(past, x, y, block), stride, to, stride, &forward,
                                    kRounding);
    motionRoutines.predictAverage8x8(BlockOrigin(future, x, y, block), stride, to, stride,
                                     &backward, kRounding);
    return coded ? AddResidual(x, y, block) : 0;
  }

  // The luma of a macroblock averaged from both anchors with one vector
  // each, plus the residuals of its coded blocks.
  int32_t AveragedLuma(int32_t x, int32_t y, const MotionVector& forward,
                       const MotionVector& backward, int32_t cbpb) {
    uint8_t* to = BlockOrigin(cur, x, y, 0);
    primitives.PredictHalfSample16x16(BlockOrigin(past, x, y, 0), cur.strideY, to, cur.strideY,
                                      &forward, kRounding);
    motionRoutines.predictAverage16x16(BlockOrigin(future, x, y, 0), cur.strideY, to,
                                       cur.strideY, &backward, kRounding);
    int32_t status;
    for (int32_t b = 0; b < 4; ++b)
      if (((cbpb >> (5 - b)) & 1) && (status = AddResidual(x, y, b)) != 0) return status;
    return 0;
  }

  // Both chroma blocks averaged from both anchors, then their residuals.
  int32_t AveragedChroma(int32_t x, int32_t y, const MotionVector& forward,
                         const MotionVector& backward, int32_t cbpb) {
    const int32_t stride = cur.strideCb;
    uint8_t* cb = BlockOrigin(cur, x, y, 4);
    uint8_t* cr = BlockOrigin(cur, x, y, 5);
    motionRoutines.predictChroma(BlockOrigin(past, x, y, 4), BlockOrigin(past, x, y, 5), stride,
                                 cb, cr, stride, &forward, kRounding);
    motionRoutines.predictAverageChroma(BlockOrigin(future, x, y, 4), BlockOrigin(future, x, y, 5),
                                        stride, cb, cr, stride, &backward, kRounding);
    int32_t status;
    if (((cbpb >> 1) & 1) && (status = AddResidual(x, y, 4)) != 0) return status;
    return (cbpb & 1) ? AddResidual(x, y, 5) : 0;
  }

  int32_t Interpolate(int32_t x, int32_t y, int32_t cbpb) {
    int32_t status = primitives.DecodeBidirVectors(
        &reader.bytePos, &reader.bitPos, &forwardPredictor, &backwardPredictor,
        c.picture.vopFcodeForward, c.picture.vopFcodeBackward);
    if (status != 0) return status;
    ClipBlockVector(forwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
    ClipBlockVector(backwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
    if ((status = AveragedLuma(x, y, forwardPredictor, backwardPredictor, cbpb)) != 0) return status;
    MotionVector forward, backward;
    primitives.DeriveChromaVector(&forwardPredictor, &forward);
    primitives.DeriveChromaVector(&backwardPredictor, &backward);
    return AveragedChroma(x, y, forward, backward, cbpb);
  }

  int32_t Direct(int32_t x, int32_t y, int32_t index, bool withDelta, int32_t cbpb) {
    const MotionVector* colocated = MvStoreEntry(f, index);
    MotionVector forward[4], backward[4];
    const int32_t status =
        withDelta ? primitives.DecodeDirectVectors(&reader.bytePos, &reader.bitPos, colocated,
                                                   forward, backward, kAllBlocksPresent, trb, trd)
                  : primitives.DeriveDirectVectors(colocated, forward, backward,
                                                   kAllBlocksPresent, trb, trd);
    if (status != 0) return status;
    ClipFourVectors(forward, clip, x, y);
    ClipFourVectors(backward, clip, x, y);
    // Four equal vectors each way (a co-located macroblock with one vector,
    // unless clipping parted them) predict the luma as one 16x16 block, and
    // the chroma vector of four equal vectors is that of one of them.
    if (SameFour(forward) && SameFour(backward)) {
      const int32_t s = AveragedLuma(x, y, forward[0], backward[0], cbpb);
      if (s != 0) return s;
      MotionVector chromaForward, chromaBackward;
      primitives.DeriveChromaVector(&forward[0], &chromaForward);
      primitives.DeriveChromaVector(&backward[0], &chromaBackward);
      return AveragedChroma(x, y, chromaForward, chromaBackward, cbpb);
    } else {
      for (int32_t b = 0; b < 4; ++b) {
        const int32_t s = AveragedBlock(x, y, b, forward[b], backward[b], (cbpb >> (5 - b)) & 1);
        if (s != 0) return s;
      }
    }
    MotionVector chromaForward, chromaBackward;
    primitives.DeriveChromaVector4(forward, &chromaForward, kAllBlocksPresent);
    primitives.DeriveChromaVector4(backward, &chromaBackward, kAllBlocksPresent);
    return AveragedChroma(x, y, chromaForward, chromaBackward, cbpb);
  }

  int32_t Macroblock(int32_t x, int32_t y) {
    const int32_t index = y * f.mbWidth + x;
    PrefetchAhead(past, x, y);
    PrefetchAhead(future, x, y);
    PrefetchAhead(cur, x, y);
    if (f.mbStateMap[index] != 0) {
      CopyMacroblock(past, cur, x, y, index);
      return 0;
    }
    MarkMacroblockWritten(f, index);
    if (reader.GetBit()) return Direct(x, y, index, false, 0);
    const int32_t noCbpb = reader.GetBit();
    const uint32_t t = reader.ShowBits(4);
    int32_t type;
    if (t >= 8) {
      type = BDirect;
      reader.SkipBits(1);
    } else if (t >= 4) {
      type = BInterpolate;
      reader.SkipBits(2);
    } else if (t >= 2) {
      type = BBackward;
      reader.SkipBits(3);
    } else if (t == 1) {
      type = BForward;
      reader.SkipBits(4);
    } else {
      return kInvalidMacroblockCode;
    }
    const int32_t cbpb = noCbpb ? 0 : static_cast<int32_t>(reader.GetBits(6));
    if (type != BDirect && cbpb != 0 && reader.GetBit()) {
      quant += reader.GetBit() ? 2 : -2;
      quant = std::clamp(quant, 1, 31);
    }
    int32_t status;
    switch (type) {
      case BDirect:
        return Direct(x, y, index, true, cbpb);
      case BInterpolate:
        return Interpolate(x, y, cbpb);
      case BBackward:
        status = primitives.DecodeBackwardVector(&reader.bytePos, &reader.bitPos,
                                                 &backwardPredictor, c.picture.vopFcodeBackward);
        if (status != 0) return status;
        ClipBlockVector(backwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
        return OneDirection(x, y, future, backwardPredictor, cbpb);
      default:
        status = primitives.DecodeForwardVector(&reader.bytePos, &reader.bitPos,
                                                &forwardPredictor, c.picture.vopFcodeForward);
        if (status != 0) return status;
        ClipBlockVector(forwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
        return OneDirection(x, y, past, forwardPredictor, cbpb);
    }
  }
};

}  // namespace

int32_t DecodeBidirectionalPicture(DecoderContext& c) {
  FrameStore& f = c.store;
  BidirectionalPicture p{c,
                         f,
                         c.reader,
                         f.forwardReference,
                         f.backwardReference,
                         f.currentPicture,
                         c.sequence.quantType ? c.sequence.nonintraQuantMat : nullptr,
                         PictureClipRect(c),
                         ToInt32(c.picture.vopTime - f.pastAnchorTime),
                         ToInt32(f.futureAnchorTime - f.pastAnchorTime),
                         c.picture.vopQuant,
                         {},
                         {},
                         {}};
  return WalkMacroblocks(c, p);
}

}  // namespace tavrin
