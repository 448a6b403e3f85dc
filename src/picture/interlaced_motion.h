// Motion compensation of interlaced pictures: macroblocks predicted field by
// field, each field's 16x8 luma block and 8x4 chroma blocks from the
// selected field of a reference, and the field vectors' arithmetic.  A
// field is every other line of a picture: the predictions are the frame
// primitives' with twice the stride and the field's first line as origin
// (field_prediction.h).  Shared by the predicted and bidirectional picture
// decoders of both reconstruction paths.  Streams with quarter-sample
// vectors take the field arithmetic of quarter_sample_fields.h: the walks
// pass their motion policy (half_sample_motion.h) as Motion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/decoder_context.h"
#include "picture/quarter_sample_fields.h"
#include "primitives/blockcopy/field_routines.h"
#include "primitives/primitive_types.h"
#include "primitives/vectors/chroma_vector.h"

namespace tavrin {

// Half a sum of two components, rounded so that a half-sample result stays
// a half sample: (v >> 1) | (v & 1).
inline int16_t HalveToHalfSample(int32_t v) { return static_cast<int16_t>((v >> 1) | (v & 1)); }

// The vector a field-predicted macroblock shows its neighbours for vector
// prediction: the average of its two field vectors, the vertical one in
// frame lines (the sum of the two in field lines).
inline MotionVector FrameVectorOfFields(MotionVector top, MotionVector bottom) {
  return {HalveToHalfSample(int32_t{top.x} + bottom.x),
          static_cast<int16_t>(int32_t{top.y} + bottom.y)};
}

// The predictor of a field vector from the frame predictor: the vertical
// component halved to field lines, towards zero.
inline MotionVector FieldPredictor(MotionVector frame) {
  return {frame.x, static_cast<int16_t>(frame.y / 2)};
}

// The chroma vector of a field vector, in chroma field lines.
template <typename Motion>
inline MotionVector FieldChromaVector(MotionVector v) {
  if constexpr (Motion::kHalfSample) {
    return vectors::ChromaVectorOf(v);
  } else {
    return quarter_sample::FieldChromaVector(v);
  }
}

// Direct macroblocks with a field-predicted co-located macroblock scale
// each field vector by distances in field periods: twice the frame
// distances, adjusted by this for field `field` (0 top, 1 bottom) whose
// co-located field was predicted from reference field `source`.  A top
// field comes half a frame before the bottom field when top_field_first is
// 1, after it when 0.
inline int32_t FieldDistanceOffset(bool topFieldFirst, int32_t field, int32_t source) {
  if (field == 0) return topFieldFirst ? -source : source;
  return topFieldFirst ? 1 - source : source - 1;
}

// Clips a field vector of the field block of macroblock (x, y) to the padded
// reference as frame vectors are clipped (vector_storage.h): the block, 16
// samples wide and 8 field lines high, stays inside the macroblock-aligned
// field plus its border of 16 samples and 8 field lines.
inline int16_t ClipFieldComponent(int32_t v, int32_t position, int32_t low, int32_t high) {
  const int32_t at = v + 2 * position;
  if (at < 2 * low) return static_cast<int16_t>(2 * (low - position));
  if (at > 2 * high) return static_cast<int16_t>(2 * (high - position));
  return static_cast<int16_t>(v);
}
inline void ClipFieldVector(MotionVector& v, const FrameStore& f, int32_t x, int32_t y) {
  v.x = ClipFieldComponent(v.x, 16 * x, -16, 16 * f.mbWidth);
  v.y = ClipFieldComponent(v.y, 8 * y, -8, 8 * f.mbHeight);
}
template <typename Motion>
inline void ClipFieldVector(MotionVector& v, const FrameStore& f, int32_t x, int32_t y) {
  if constexpr (Motion::kHalfSample) {
    ClipFieldVector(v, f, x, y);
  } else {
    quarter_sample::ClipFieldVector(v, f.mbWidth, f.mbHeight, x, y);
  }
}

// How the luma of a field block is interpolated: one call per field block,
// and one that averages the blocks of two references.  Half-sample streams
// use the field routines, quarter-sample streams the quarter-sample ones.
struct FieldLumaInterpolation {
  PredictHalfSampleFn predict;
  PredictBidirectionalFn predictBoth;
};
template <typename Motion>
inline FieldLumaInterpolation FieldLumaOf(const DecoderContext&) {
  if constexpr (Motion::kHalfSample) {
    return {fieldRoutines.predictLuma16x8.get(), fieldRoutines.predictBidirectionalLuma16x8.get()};
  } else {
    return {quarter_sample::PredictField16x8, quarter_sample::PredictBidirectionalField16x8};
  }
}

// The first line of field `field` (0 top, 1 bottom) of macroblock (x, y).
inline ptrdiff_t FieldLumaOffset(const PictureBuffer& p, int32_t x, int32_t y, int32_t field) {
  return ptrdiff_t{16 * y + field} * p.strideY + 16 * x;
}
inline ptrdiff_t FieldChromaOffset(const PictureBuffer& p, int32_t x, int32_t y, int32_t field) {
  return ptrdiff_t{8 * y + field} * p.strideCb + 8 * x;
}

// Field `field` of macroblock (x, y) of cur predicted from field `source`
// of ref with field vector v: luma and both chroma blocks.
template <typename Motion>
inline void PredictField(const FieldLumaInterpolation& luma, const PictureBuffer& ref,
                         const PictureBuffer& cur, int32_t x, int32_t y, int32_t field,
                         int32_t source, MotionVector v, int32_t rounding) {
  const int32_t lumaStride = 2 * cur.strideY;
  luma.predict(ref.originY + FieldLumaOffset(ref, x, y, source), lumaStride,
               cur.originY + FieldLumaOffset(cur, x, y, field), lumaStride, &v, rounding);
  const MotionVector c = FieldChromaVector<Motion>(v);
  const int32_t chromaStride = 2 * cur.strideCb;  // the same for both chroma planes
  const ptrdiff_t from = FieldChromaOffset(ref, x, y, source);
  const ptrdiff_t to = FieldChromaOffset(cur, x, y, field);
  fieldRoutines.predictChroma8x4(ref.originCb + from, ref.originCr + from, chromaStride,
                                 cur.originCb + to, cur.originCr + to, chromaStride, &c, rounding);
}

// Field `field` of macroblock (x, y) predicted from field firstSource of
// first and field secondSource of second, each with its vector, and
// averaged.
template <typename Motion>
inline void PredictFieldFromBoth(const FieldLumaInterpolation& luma, const PictureBuffer& first,
                                 const PictureBuffer& second, const PictureBuffer& cur, int32_t x,
                                 int32_t y, int32_t field, int32_t firstSource,
                                 int32_t secondSource, MotionVector firstVector,
                                 MotionVector secondVector, int32_t rounding) {
  // The pictures of a stream share their strides.
  const int32_t lumaStride = 2 * cur.strideY;
  luma.predictBoth(first.originY + FieldLumaOffset(first, x, y, firstSource),
                   second.originY + FieldLumaOffset(second, x, y, secondSource), lumaStride,
                   cur.originY + FieldLumaOffset(cur, x, y, field), lumaStride, &firstVector,
                   &secondVector, rounding);
  const MotionVector firstChroma = FieldChromaVector<Motion>(firstVector);
  const MotionVector secondChroma = FieldChromaVector<Motion>(secondVector);
  const int32_t chromaStride = 2 * cur.strideCb;
  const ptrdiff_t a = FieldChromaOffset(first, x, y, firstSource);
  const ptrdiff_t b = FieldChromaOffset(second, x, y, secondSource);
  const ptrdiff_t to = FieldChromaOffset(cur, x, y, field);
  fieldRoutines.predictBidirectionalChroma8x4(
      first.originCb + a, first.originCr + a, second.originCb + b, second.originCr + b,
      chromaStride, cur.originCb + to, cur.originCr + to, chromaStride, &firstChroma,
      &secondChroma, rounding);
}

}  // namespace tavrin
