// Bidirectional pictures of interlaced layers (both reconstruction paths):
// the macroblock types of progressive B pictures, each either frame or
// field predicted, with field DCT and the alternate vertical scan.
//
// Vector prediction keeps four predictors: top and bottom field, forward
// and backward.  A frame vector is predicted from the top field's predictor
// of its direction and becomes both; a field vector from its own field's,
// the vertical component halved to field lines, and is kept doubled.  All
// four start at zero on every macroblock row, the top field's also at
// every video packet.
//
// A direct macroblock whose co-located macroblock (in the later anchor) was
// field predicted is predicted field by field: each field forward from the
// reference field the co-located field used, backward from the same field
// of the later anchor, with the co-located field vector scaled by distances
// in field periods; those depend on which field comes first in time and on
// the reference field.
//
// Motion: the motion policy of the stream (half_sample_motion.h): frame
// vectors and field vectors count half or quarter samples.  With quarter
// samples a direct macroblock with a frame-predicted co-located macroblock
// is always predicted block by block, as in progressive pictures.
#include <algorithm>
#include <climits>

#include "picture/band_prefetch.h"
#include "picture/half_sample_motion.h"
#include "picture/interlaced_motion.h"
#include "picture/interlaced_pictures.h"
#include "picture/interlaced_residuals.h"
#include "picture/macroblock_walk.h"
#include "picture/motion_compensation.h"
#include "picture/picture_decoders.h"
#include "picture/quarter_sample_motion.h"
#include "picture/vector_storage.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/vectors/chroma_vector.h"
#include "primitives/vectors/direct_vector.h"
#include "primitives/vectors/vector_bits.h"

namespace tavrin {
namespace {

enum BidirType : int32_t { BDirect, BInterpolate, BBackward, BForward };

int32_t ToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// A time in whole frame periods, rounded to the nearest.
int64_t FramesOf(int64_t time, int64_t period) { return (time + period / 2) / period; }

// What the macroblock header says beside its type.
struct BidirHeader {
  int32_t type;
  uint32_t cbpb;
  bool fieldDct;
  bool fieldPrediction;
  int32_t forwardSource[2];   // reference field of each field, forward
  int32_t backwardSource[2];  // and backward
};

template <typename Motion>
struct InterlacedBidirectionalPicture {
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
  // Field-period distances from the earlier anchor to this picture and to
  // the later anchor.
  const int32_t fieldTrb;
  const int32_t fieldTrd;
  const bool topFieldFirst;
  const bool alternateScan;
  const FieldLumaInterpolation fieldLuma;
  int32_t quant;
  // Predictors: [0] top field, [1] bottom field; field vertical components
  // doubled (frame lines).
  MotionVector forwardPredictor[2]{};
  MotionVector backwardPredictor[2]{};
  BandPrefetch pastBand{past, 1};
  BandPrefetch futureBand{future, 1};
  BandPrefetch currentBand{cur};

  static constexpr int32_t kRounding = 0;

  bool ReadsBits(int32_t index) const { return f.mbStateMap[index] == 0; }
  void ResetPredictors() {
    forwardPredictor[0] = forwardPredictor[1] = backwardPredictor[0] = backwardPredictor[1] =
        MotionVector{0, 0};
  }
  void StartRow(int32_t) { ResetPredictors(); }
  void EndRow() {}
  // A video packet starts the top field's predictors (those of frame
  // vectors) afresh and leaves the bottom field's as they were: ffmpeg's
  // encoder predicts so, and its streams decode only so.
  void StartPacket(int32_t packetQuant) {
    forwardPredictor[0] = backwardPredictor[0] = MotionVector{0, 0};
    quant = packetQuant;
  }

  int32_t AddResiduals(int32_t x, int32_t y, uint32_t cbpb, bool fieldDct) {
    const InterlacedResidual r{x, y, cbpb, quant, fieldDct, alternateScan};
    return AddInterlacedResiduals(reader, cur, r, matrix);
  }

  // A frame vector of one direction: predicted from the top field's
  // predictor, and then the predictor of both fields.
  int32_t DecodeFrameVector(int32_t x, int32_t y, MotionVector* predictor, int32_t fcode,
                            bool forward, MotionVector& v) {
    v = predictor[0];
    const auto& decode = forward ? primitives.DecodeForwardVector : primitives.DecodeBackwardVector;
    const int32_t status = decode(&reader.bytePos, &reader.bitPos, &v, fcode);
    if (status != 0) return status;
    Motion::Clip(v, clip, BlockX(x, -1), BlockY(y, -1), 16);
    predictor[0] = predictor[1] = v;
    return 0;
  }

  // The two field vectors of one direction.
  int32_t DecodeFieldVectors(int32_t x, int32_t y, MotionVector* predictor, int32_t fcode,
                             bool forward, MotionVector* v) {
    const auto& decode = forward ? primitives.DecodeForwardVector : primitives.DecodeBackwardVector;
    for (int32_t i = 0; i < 2; ++i) {
      v[i] = FieldPredictor(predictor[i]);
      const int32_t status = decode(&reader.bytePos, &reader.bitPos, &v[i], fcode);
      if (status != 0) return status;
      ClipFieldVector<Motion>(v[i], f, x, y);
      predictor[i] = MotionVector{v[i].x, static_cast<int16_t>(2 * v[i].y)};
    }
    return 0;
  }

  int32_t Predicted(int32_t x, int32_t y, const BidirHeader& h) {
    const int32_t fcodeForward = c.picture.vopFcodeForward;
    const int32_t fcodeBackward = c.picture.vopFcodeBackward;
    const bool useForward = h.type != BBackward;
    const bool useBackward = h.type != BForward;
    int32_t status = 0;
    if (!h.fieldPrediction) {
      MotionVector forward{}, backward{};
      if (useForward) {
        status = DecodeFrameVector(x, y, forwardPredictor, fcodeForward, true, forward);
        if (status != 0) return status;
      }
      if (useBackward) {
        status = DecodeFrameVector(x, y, backwardPredictor, fcodeBackward, false, backward);
        if (status != 0) return status;
      }
      if (useForward && useBackward) {
        Motion::PredictLumaFromBoth(past, future, cur, x, y, forward, backward, kRounding);
        PredictChromaFromBoth(past, future, cur, x, y, Motion::ChromaOf(forward),
                              Motion::ChromaOf(backward), kRounding);
      } else {
        const PictureBuffer& ref = useForward ? past : future;
        const MotionVector v = useForward ? forward : backward;
        Motion::PredictLuma(ref, cur, x, y, v, kRounding);
        PredictChroma(ref, cur, x, y, Motion::ChromaOf(v), kRounding);
      }
      return AddResiduals(x, y, h.cbpb, h.fieldDct);
    }
    MotionVector forward[2]{}, backward[2]{};
    if (useForward) {
      status = DecodeFieldVectors(x, y, forwardPredictor, fcodeForward, true, forward);
      if (status != 0) return status;
    }
    if (useBackward) {
      status = DecodeFieldVectors(x, y, backwardPredictor, fcodeBackward, false, backward);
      if (status != 0) return status;
    }
    for (int32_t field = 0; field < 2; ++field) {
      if (useForward && useBackward) {
        PredictFieldFromBoth<Motion>(fieldLuma, past, future, cur, x, y, field,
                                     h.forwardSource[field], h.backwardSource[field],
                                     forward[field], backward[field], kRounding);
      } else if (useForward) {
        PredictField<Motion>(fieldLuma, past, cur, x, y, field, h.forwardSource[field],
                             forward[field], kRounding);
      } else {
        PredictField<Motion>(fieldLuma, future, cur, x, y, field, h.backwardSource[field],
                             backward[field], kRounding);
      }
    }
    return AddResiduals(x, y, h.cbpb, h.fieldDct);
  }

  // Direct with a frame-predicted (or intra, or skipped) co-located
  // macroblock: as in progressive pictures.
  int32_t FrameDirect(int32_t x, int32_t y, int32_t index, bool withDelta, uint32_t cbpb,
                      bool fieldDct) {
    const MotionVector* colocated = MvStoreEntry(f, index);
    MotionVector forward[4], backward[4];
    const int32_t status =
        withDelta ? primitives.DecodeDirectVectors(&reader.bytePos, &reader.bitPos, colocated,
                                                   forward, backward, kAllBlocksPresent, trb, trd)
                  : primitives.DeriveDirectVectors(colocated, forward, backward,
                                                   kAllBlocksPresent, trb, trd);
    if (status != 0) return status;
    Motion::ClipFour(forward, clip, x, y);
    Motion::ClipFour(backward, clip, x, y);
    if (Motion::kSeparableBlocks && vectors::FourAreOne(forward) &&
        vectors::FourAreOne(backward)) {
      Motion::PredictLumaFromBoth(past, future, cur, x, y, forward[0], backward[0], kRounding);
      PredictChromaFromBoth(past, future, cur, x, y, Motion::ChromaOf(forward[0]),
                            Motion::ChromaOf(backward[0]), kRounding);
      return AddResiduals(x, y, cbpb, fieldDct);
    }
    for (int32_t b = 0; b < 4; ++b) {
      Motion::PredictLumaBlock(past, cur, x, y, b, forward[b], kRounding);
      Motion::AverageLumaBlock(future, cur, x, y, b, backward[b], kRounding);
    }
    PredictChromaFromBoth(past, future, cur, x, y, Motion::ChromaOfFour(forward),
                          Motion::ChromaOfFour(backward), kRounding);
    return AddResiduals(x, y, cbpb, fieldDct);
  }

  int32_t FieldDirect(int32_t x, int32_t y, int32_t index, uint8_t mode, bool withDelta,
                      uint32_t cbpb, bool fieldDct) {
    MotionVector delta{0, 0};
    if (withDelta) {
      // The delta is read as with fcode 1 and is not wrapped.
      vectors::BitCursor cursor{reader.bytePos, reader.bitPos};
      int32_t dx = 0, dy = 0;
      if (!vectors::ReadVectorDifference(cursor, 0, &dx, &dy)) return VectorCodeError;
      reader.bytePos = cursor.byte;
      reader.bitPos = cursor.bit;
      delta = MotionVector{static_cast<int16_t>(dx), static_cast<int16_t>(dy)};
    }
    for (int32_t field = 0; field < 2; ++field) {
      const uint8_t fromBottom = field == 0 ? kTopFromBottom : kBottomFromBottom;
      const int32_t source = (mode & fromBottom) != 0 ? 1 : 0;
      const MotionVector colocated = f.interlaced.fieldVectors[2 * index + field];
      const int32_t offset = FieldDistanceOffset(topFieldFirst, field, source);
      const int32_t distanceB = fieldTrb + offset;
      const int32_t distanceD = fieldTrd + offset;
      MotionVector forward = delta, backward = delta;
      if (distanceD > 0) {
        vectors::DirectPair(colocated, delta, distanceB, distanceD, forward, backward);
      }
      ClipFieldVector<Motion>(forward, f, x, y);
      ClipFieldVector<Motion>(backward, f, x, y);
      PredictFieldFromBoth<Motion>(fieldLuma, past, future, cur, x, y, field, source, field,
                                   forward, backward, kRounding);
    }
    return AddResiduals(x, y, cbpb, fieldDct);
  }

  int32_t Direct(int32_t x, int32_t y, int32_t index, bool withDelta, uint32_t cbpb,
                 bool fieldDct) {
    const uint8_t mode = f.interlaced.fieldModes[index];
    if ((mode & kFieldPredicted) != 0) {
      return FieldDirect(x, y, index, mode, withDelta, cbpb, fieldDct);
    }
    return FrameDirect(x, y, index, withDelta, cbpb, fieldDct);
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
    if (reader.GetBit()) return Direct(x, y, index, false, 0, false);
    const int32_t noCbpb = reader.GetBit();
    const uint32_t t = reader.ShowBits(4);
    BidirHeader h{};
    if (t >= 8) {
      h.type = BDirect;
      reader.SkipBits(1);
    } else if (t >= 4) {
      h.type = BInterpolate;
      reader.SkipBits(2);
    } else if (t >= 2) {
      h.type = BBackward;
      reader.SkipBits(3);
    } else if (t == 1) {
      h.type = BForward;
      reader.SkipBits(4);
    } else {
      return kInvalidMacroblockCode;
    }
    h.cbpb = noCbpb ? 0 : reader.GetBits(6);
    if (h.type != BDirect && h.cbpb != 0 && reader.GetBit()) {
      quant += reader.GetBit() ? 2 : -2;
      quant = std::clamp(quant, 1, 31);
    }
    h.fieldDct = h.cbpb != 0 && reader.GetBit() != 0;
    if (h.type == BDirect) return Direct(x, y, index, true, h.cbpb, h.fieldDct);
    h.fieldPrediction = reader.GetBit() != 0;
    if (h.fieldPrediction) {
      if (h.type != BBackward) {
        h.forwardSource[0] = reader.GetBit();
        h.forwardSource[1] = reader.GetBit();
      }
      if (h.type != BForward) {
        h.backwardSource[0] = reader.GetBit();
        h.backwardSource[1] = reader.GetBit();
      }
    }
    return Predicted(x, y, h);
  }
};

template <typename Motion>
int32_t Decode(DecoderContext& c) {
  FrameStore& f = c.store;
  InterlacedState& state = f.interlaced;
  const int64_t trb = c.picture.vopTime - f.pastAnchorTime;
  const int64_t trd = f.futureAnchorTime - f.pastAnchorTime;
  // Field distances count frame periods: the fixed increment of the layer,
  // or else the distance of the first B picture from its earlier anchor
  // (one frame period when B pictures follow their anchors one a frame).
  if (state.framePeriod <= 0) {
    if (c.sequence.fixedVopRate && c.sequence.fixedVopTimeIncrement > 0) {
      state.framePeriod = c.sequence.fixedVopTimeIncrement;
    } else if (trb > 0) {
      state.framePeriod = trb;
    }
  }
  const int64_t period = state.framePeriod > 0 ? state.framePeriod : 1;
  const int64_t pastFrames = FramesOf(f.pastAnchorTime, period);
  InterlacedBidirectionalPicture<Motion> p{
      c,
      f,
      c.reader,
      f.forwardReference,
      f.backwardReference,
      f.currentPicture,
      c.sequence.quantType ? c.sequence.nonintraQuantMat : nullptr,
      PictureClipRect(c),
      ToInt32(trb),
      ToInt32(trd),
      ToInt32(2 * (FramesOf(c.picture.vopTime, period) - pastFrames)),
      ToInt32(2 * (FramesOf(f.futureAnchorTime, period) - pastFrames)),
      c.picture.topFieldFirst != 0,
      c.picture.alternateVerticalScanFlag != 0,
      FieldLumaOf<Motion>(c),
      c.picture.vopQuant};
  return WalkMacroblocks(c, p);
}

}  // namespace

int32_t DecodeInterlacedBidirectionalPicture(DecoderContext& c) {
  return c.sequence.quarterSample ? Decode<QuarterSampleMotion>(c) : Decode<HalfSampleMotion>(c);
}

}  // namespace tavrin
