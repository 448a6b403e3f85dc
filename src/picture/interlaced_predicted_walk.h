// The macroblock layer of a predicted picture of an interlaced layer, shared
// by both reconstruction paths: the progressive walk's rows, packets,
// vectors and neighbour bookkeeping (predicted_picture_walk.h), plus what
// interlaced macroblocks carry after their header: dct_type (field DCT) and,
// for one-vector inter macroblocks, field_prediction with a reference field
// and a vector for each field.  A field-predicted macroblock predicts each
// field from the chosen field of the reference; its neighbours see the
// average of its field vectors.  The walk keeps each macroblock's field
// mode and vectors for the direct macroblocks of the B pictures after it.
//
// Texture supplies, beside the progressive walk's Intra and its motion
// policy (Texture::Motion: half or quarter samples, for frame and field
// vectors alike):
//   int32_t Residuals(const InterlacedResidual&)
// which adds an inter macroblock's coded blocks onto its prediction.
//
// S pictures walk with kGlobal: skipped macroblocks and those whose mcsel
// is 1 are predicted through the warp of the whole frame (global_motion.h),
// never field by field (they carry no field_prediction), and their coded
// blocks may still be field DCT blocks; the others decode as in P
// pictures.
#pragma once

#include <cstdint>

#include "picture/interlaced_motion.h"
#include "picture/interlaced_residuals.h"
#include "picture/predicted_picture_walk.h"

namespace tavrin {

template <typename Texture, bool kGlobal = false>
struct InterlacedPredictedWalk : PredictedPictureWalk<Texture, kGlobal> {
  using Motion = typename Texture::Motion;
  const FieldLumaInterpolation fieldLuma;
  const PictureBuffer& ref;
  const PictureBuffer& cur;
  const int32_t rounding;
  const bool alternateScan;

  int32_t Macroblock(int32_t x, int32_t y) {
    const int32_t status = MacroblockData(x, y);
    if (status != 0) return status;
    // The macroblock is now a neighbour for vector prediction.
    uint8_t* flags = BlockFlagEntry(this->f, x + 1);
    for (int32_t b = 0; b < 4; ++b) flags[b] = kAllBlocksPresent[b];
    this->f.qpRow[x + 1] = static_cast<uint8_t>(this->quant);
    return 0;
  }

  // Both field vectors from the one frame predictor of the macroblock.
  int32_t DecodeFieldVectors(int32_t x, MotionVector* field) {
    const int32_t fcode = this->c.picture.vopFcodeForward;
    if (!vectors::IsValidFcode(fcode)) return RangeCodeError;
    const MotionVector predictor = FieldPredictor(
        vectors::PredictBlockVector<0>(this->Neighbours(x), nullptr, kAllBlocksPresent));
    BitReader& r = this->reader;
    for (int32_t i = 0; i < 2; ++i) {
      field[i] = predictor;
      const int32_t status =
          vectors::DecodeMotionDifference(&r.bytePos, &r.bitPos, &field[i], fcode);
      if (status != 0) return status;
    }
    return 0;
  }

  int32_t Inter(int32_t x, int32_t y, int32_t index, const PredictedMacroblockHeader& header) {
    FrameStore& f = this->f;
    BitReader& r = this->reader;
    const int32_t type = header.mcbpc.mbType;
    const uint32_t cbp = static_cast<uint32_t>((header.cbpy << 2) | header.mcbpc.cbpc);
    const bool fieldDct = cbp != 0 && r.GetBit() != 0;
    const bool fieldPrediction = type != MbInter4v && r.GetBit() != 0;
    MotionVector v[4];
    int32_t status;
    if (fieldPrediction) {
      const int32_t topSource = r.GetBit();
      const int32_t bottomSource = r.GetBit();
      MotionVector field[2];
      if ((status = DecodeFieldVectors(x, field)) != 0) return status;
      ClipFieldVector<Motion>(field[0], f, x, y);
      ClipFieldVector<Motion>(field[1], f, x, y);
      PredictField<Motion>(fieldLuma, ref, cur, x, y, 0, topSource, field[0], rounding);
      PredictField<Motion>(fieldLuma, ref, cur, x, y, 1, bottomSource, field[1], rounding);
      SetFourVectors(v, FrameVectorOfFields(field[0], field[1]));
      f.interlaced.fieldModes[index] = FieldMode(topSource, bottomSource);
      f.interlaced.fieldVectors[2 * index] = field[0];
      f.interlaced.fieldVectors[2 * index + 1] = field[1];
    } else if (type == MbInter4v) {
      if ((status = this->DecodeFourVectors(x, v)) != 0) return status;
      for (int32_t b = 0; b < 4; ++b) {
        Motion::Clip(v[b], this->clip, BlockX(x, b), BlockY(y, b), 8);
        Motion::PredictLumaBlock(ref, cur, x, y, b, v[b], rounding);
      }
      PredictChroma(ref, cur, x, y, Motion::ChromaOfFour(v), rounding);
    } else {
      if ((status = this->DecodeOneVector(x, v[0])) != 0) return status;
      Motion::Clip(v[0], this->clip, BlockX(x, -1), BlockY(y, -1), 16);
      SetFourVectors(v, v[0]);
      Motion::PredictLuma(ref, cur, x, y, v[0], rounding);
      PredictChroma(ref, cur, x, y, Motion::ChromaOf(v[0]), rounding);
    }
    const InterlacedResidual residual{x, y, cbp, this->quant, fieldDct, alternateScan};
    if ((status = this->texture.Residuals(residual)) != 0) return status;
    this->StoreVectors(x, index, v);
    MarkNotIntra(f, x);
    return 0;
  }

  // An S picture's macroblock with mcsel 1: the warp, then its residual.
  int32_t GlobalInter(int32_t x, int32_t y, int32_t index,
                      const PredictedMacroblockHeader& header) {
    const uint32_t cbp = static_cast<uint32_t>((header.cbpy << 2) | header.mcbpc.cbpc);
    const bool fieldDct = cbp != 0 && this->reader.GetBit() != 0;
    PredictGlobalMotion(*this->global, ref, cur, x, y);
    const InterlacedResidual residual{x, y, cbp, this->quant, fieldDct, alternateScan};
    if (const int32_t status = this->texture.Residuals(residual); status != 0) return status;
    const MotionVector v = GlobalVector(*this->global, x, y);
    const MotionVector four[4] = {v, v, v, v};
    this->StoreVectors(x, index, four);
    MarkNotIntra(this->f, x);
    return 0;
  }

  int32_t MacroblockData(int32_t x, int32_t y) {
    FrameStore& f = this->f;
    BitReader& r = this->reader;
    const int32_t index = y * f.mbWidth + x;
    this->referenceBand.Ahead(x, y);
    this->currentBand.Ahead(x, y);
    const int32_t notCoded = r.GetBit();
    f.mbStateMap[index] = static_cast<uint8_t>(kGlobal ? 0 : notCoded);
    f.interlaced.fieldModes[index] = 0;
    const MotionVector zero[4] = {};
    if (notCoded) {
      if constexpr (kGlobal) return this->Global(x, y, index, nullptr);
      CopyMacroblock(f.forwardReference, f.currentPicture, x, y, index);
      this->StoreVectors(x, index, zero);
      MarkNotIntra(f, x);
      return 0;
    }
    MarkMacroblockWritten(f, index);
    PredictedMacroblockHeader header;
    int32_t status = ReadPredictedMacroblockHeader(r, false, this->quant, header, kGlobal);
    if (status != 0) return status;
    if constexpr (kGlobal) {
      if (header.mcsel) return GlobalInter(x, y, index, header);
    }
    if (!header.intra) return Inter(x, y, index, header);
    IntraMacroblock mb{x, y, header.cbpy, header.mcbpc.cbpc, header.acPred, this->quant,
                       UseIntraDcVlc(this->quant, this->c.picture.intraDcVlcThr) ? 1 : 0};
    mb.fieldDct = r.GetBit();
    mb.alternateScan = alternateScan ? 1 : 0;
    if ((status = this->texture.Intra(mb)) != 0) return status;
    this->StoreVectors(x, index, zero);
    return 0;
  }
};

template <bool kGlobal, typename Texture>
int32_t WalkInterlaced(DecoderContext& c, Texture& texture, const GlobalMotion* global) {
  FrameStore& f = c.store;
  InterlacedPredictedWalk<Texture, kGlobal> walk{
      {c, f, c.reader, PictureClipRect(c), c.picture.vopQuant, texture, global},
      FieldLumaOf<typename Texture::Motion>(c),
      f.forwardReference,
      f.currentPicture,
      c.picture.vopRoundingType,
      c.picture.alternateVerticalScanFlag != 0};
  ResetPredictionRows(f);
  primitives.ZeroBytes(f.blockFlagRow, 4 * f.mbWidth + 8);
  return WalkMacroblocks(c, walk);
}

// P pictures, and S pictures with global motion.
template <typename Texture>
int32_t WalkInterlacedPredictedPicture(DecoderContext& c, Texture& texture) {
  if (c.picture.vopCodingType == 3) {
    GlobalMotion global;
    if (!SetUpGlobalMotion(c, global)) return kInvalidMacroblockCode;
    return WalkInterlaced<true>(c, texture, &global);
  }
  return WalkInterlaced<false>(c, texture, nullptr);
}

}  // namespace tavrin
