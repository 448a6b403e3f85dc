// Bidirectional pictures: forward, backward, interpolated and direct
// macroblocks predicted from the two anchors around the picture.  Nothing
// here is a reference for later pictures.
#include <algorithm>

#include "picture/band_prefetch.h"
#include "picture/half_sample_motion.h"
#include "picture/interlaced_pictures.h"
#include "picture/intra_macroblock.h"
#include "picture/macroblock_walk.h"
#include "picture/motion_compensation.h"
#include "picture/picture_decoders.h"
#include "picture/quarter_sample_motion.h"
#include "picture/vector_storage.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/vectors/chroma_vector.h"
#include "primitives/vectors/direct_vector.h"

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

// Motion: the motion policy of the stream (half_sample_motion.h).
template <typename Motion>
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
  BandPrefetch pastBand{past, 1};
  BandPrefetch futureBand{future, 1};
  BandPrefetch currentBand{cur};

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


  int32_t AddResiduals(int32_t x, int32_t y, int32_t cbpb) {
    const InterBlockCoding coding{reader, quant, matrix};
    return AddCodedResiduals(coding, cur, x, y, cbpb);
  }

  // One-directional macroblock from ref with one vector.
  int32_t OneDirection(int32_t x, int32_t y, const PictureBuffer& ref, const MotionVector& v,
                       int32_t cbpb) {
    const MotionVector chroma = Motion::ChromaOf(v);
    Motion::PredictLuma(ref, cur, x, y, v, kRounding);
    PredictChroma(ref, cur, x, y, chroma, kRounding);
    return AddResiduals(x, y, cbpb);
  }

  // A macroblock averaged from both anchors with one vector each way (and
  // its chroma vectors), then its residuals.
  int32_t Averaged(int32_t x, int32_t y, const MotionVector& forward, const MotionVector& backward,
                   const MotionVector& chromaForward, const MotionVector& chromaBackward,
                   int32_t cbpb) {
    Motion::PredictLumaFromBoth(past, future, cur, x, y, forward, backward, kRounding);
    PredictChromaFromBoth(past, future, cur, x, y, chromaForward, chromaBackward, kRounding);
    return AddResiduals(x, y, cbpb);
  }

  int32_t Interpolate(int32_t x, int32_t y, int32_t cbpb) {
    int32_t status = primitives.DecodeBidirVectors(
        &reader.bytePos, &reader.bitPos, &forwardPredictor, &backwardPredictor,
        c.picture.vopFcodeForward, c.picture.vopFcodeBackward);
    if (status != 0) return status;
    Motion::Clip(forwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
    Motion::Clip(backwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
    return Averaged(x, y, forwardPredictor, backwardPredictor, Motion::ChromaOf(forwardPredictor),
                    Motion::ChromaOf(backwardPredictor), cbpb);
  }

  int32_t Direct(int32_t x, int32_t y, int32_t index, bool withDelta, int32_t cbpb) {
    const MotionVector* colocated = MvStoreEntry(f, index);
    // The common case inline: no delta and a co-located macroblock with one
    // vector give one vector each way, and when both keep the macroblock
    // inside, the derivation and clipping below would leave them so.  (Not
    // for a policy whose 8x8 predictions differ from a 16x16 one.)
    if (Motion::kSeparableBlocks && !withDelta && trb > 0 && trd > 0 &&
        vectors::FourAreOne(colocated)) {
      MotionVector forward, backward;
      vectors::DirectPair(colocated[0], MotionVector{0, 0}, trb, trd, forward, backward);
      if (Motion::KeepsInside(forward, clip, BlockX(x, -1), BlockY(y, -1), 16) &&
          Motion::KeepsInside(backward, clip, BlockX(x, -1), BlockY(y, -1), 16)) {
        return Averaged(x, y, forward, backward, Motion::ChromaOf(forward),
                        Motion::ChromaOf(backward), cbpb);
      }
    }
    MotionVector forward[4], backward[4];
    const int32_t status =
        withDelta ? primitives.DecodeDirectVectors(&reader.bytePos, &reader.bitPos, colocated,
                                                   forward, backward, kAllBlocksPresent, trb, trd)
                  : primitives.DeriveDirectVectors(colocated, forward, backward,
                                                   kAllBlocksPresent, trb, trd);
    if (status != 0) return status;
    Motion::ClipFour(forward, clip, x, y);
    Motion::ClipFour(backward, clip, x, y);
    // Four equal vectors each way (a co-located macroblock with one vector,
    // unless clipping parted them) predict the luma as one 16x16 block where
    // the policy allows, and the chroma vector of four equal vectors is that
    // of one of them.
    if (Motion::kSeparableBlocks && SameFour(forward) && SameFour(backward)) {
      return Averaged(x, y, forward[0], backward[0], Motion::ChromaOf(forward[0]),
                      Motion::ChromaOf(backward[0]), cbpb);
    }
    for (int32_t b = 0; b < 4; ++b) {
      Motion::PredictLumaBlock(past, cur, x, y, b, forward[b], kRounding);
      Motion::AverageLumaBlock(future, cur, x, y, b, backward[b], kRounding);
    }
    PredictChromaFromBoth(past, future, cur, x, y, Motion::ChromaOfFour(forward),
                          Motion::ChromaOfFour(backward), kRounding);
    return AddResiduals(x, y, cbpb);
  }

  int32_t Macroblock(int32_t x, int32_t y) {
    const int32_t index = y * f.mbWidth + x;
    pastBand.Ahead(x, y);
    futureBand.Ahead(x, y);
    currentBand.Ahead(x, y);
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
        Motion::Clip(backwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
        return OneDirection(x, y, future, backwardPredictor, cbpb);
      default:
        status = primitives.DecodeForwardVector(&reader.bytePos, &reader.bitPos,
                                                &forwardPredictor, c.picture.vopFcodeForward);
        if (status != 0) return status;
        Motion::Clip(forwardPredictor, clip, BlockX(x, -1), BlockY(y, -1), 16);
        return OneDirection(x, y, past, forwardPredictor, cbpb);
    }
  }
};

template <typename Motion>
int32_t Decode(DecoderContext& c) {
  FrameStore& f = c.store;
  BidirectionalPicture<Motion> p{c,
                                 f,
                                 c.reader,
                                 f.forwardReference,
                                 f.backwardReference,
                                 f.currentPicture,
                                 c.sequence.quantType ? c.sequence.nonintraQuantMat : nullptr,
                                 PictureClipRect(c),
                                 ToInt32(c.picture.vopTime - f.pastAnchorTime),
                                 ToInt32(f.futureAnchorTime - f.pastAnchorTime),
                                 c.picture.vopQuant};
  return WalkMacroblocks(c, p);
}

}  // namespace

int32_t DecodeBidirectionalPicture(DecoderContext& c) {
  if (c.sequence.interlaced) return DecodeInterlacedBidirectionalPicture(c);
  return c.sequence.quarterSample ? Decode<QuarterSampleMotion>(c) : Decode<HalfSampleMotion>(c);
}

}  // namespace tavrin
