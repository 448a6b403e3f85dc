// Field prediction with vectors in quarter samples (interlaced layers with
// quarter-sample motion): what interlaced_motion.h takes for such streams
// in place of its half-sample field arithmetic.
//
// Luma: a field block, 16 samples by 8 field lines, is interpolated as two
// 8x8 blocks side by side, each with the filter mirrored at its own edges,
// as the encoders that write these streams (and ffmpeg's decoder) form it:
// the 8x8 quarter-sample routine with twice the picture's stride from the
// field's first line.
//
// Chroma: the field vector is first halved to half samples, the horizontal
// component towards zero and the vertical one downwards (towards minus
// infinity), then the chroma vector is derived as for half-sample vectors.
//
// Clipping: as frame vectors in quarter samples are clipped
// (quarter_sample_motion.h), in field lines: the block may start from 16
// samples and 8 field lines outside the macroblock-aligned field to a
// quarter sample short of the last position that keeps it inside the
// border, so that the one column and field line more the interpolation
// reads stay inside too.
#pragma once

#include <cstdint>

#include "primitives/blockcopy/quarter_sample_routines.h"
#include "primitives/primitive_types.h"
#include "primitives/vectors/chroma_vector.h"

namespace tavrin::quarter_sample {

// The luma field block, plain (the signature of the half-sample field
// routine it stands in for).
inline PrimitiveStatus PredictField16x8(const uint8_t* reference, int32_t referenceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        const MotionVector* vector, int32_t rounding) {
  const PredictQuarterSampleFn predict = quarterSampleRoutines.predict8x8.get();
  predict(reference, referenceStride, destination, destinationStride, vector, rounding);
  return predict(reference + 8, referenceStride, destination + 8, destinationStride, vector,
                 rounding);
}

// From two references, the second averaged onto the first.
inline PrimitiveStatus PredictBidirectionalField16x8(const uint8_t* first, const uint8_t* second,
                                                     int32_t referenceStride, uint8_t* destination,
                                                     int32_t destinationStride,
                                                     const MotionVector* firstVector,
                                                     const MotionVector* secondVector,
                                                     int32_t rounding) {
  PredictField16x8(first, referenceStride, destination, destinationStride, firstVector, rounding);
  const PredictQuarterSampleFn average = quarterSampleRoutines.predictAverage8x8.get();
  average(second, referenceStride, destination, destinationStride, secondVector, rounding);
  return average(second + 8, referenceStride, destination + 8, destinationStride, secondVector,
                 rounding);
}

inline MotionVector FieldChromaVector(MotionVector v) {
  return vectors::ChromaVectorOf(
      MotionVector{static_cast<int16_t>(v.x / 2), static_cast<int16_t>(v.y >> 1)});
}

// One component of a field block at `position` (samples or field lines)
// whose plane spans `extent` from `origin`, for a block `size` long.
inline int16_t ClipFieldComponent(int16_t v, int32_t position, int32_t origin, int32_t extent,
                                  int32_t size) {
  const int64_t p = 4 * int64_t{position};
  const int64_t low = 4 * int64_t{origin};
  const int64_t high = 4 * (int64_t{origin} + extent - size);
  const int64_t at = v + p;
  if (at < low) return static_cast<int16_t>(low - p);
  if (at >= high) return static_cast<int16_t>(high - p);
  return v;
}

// The field vector of macroblock (x, y) of a picture mbWidth x mbHeight
// macroblocks large.
inline void ClipFieldVector(MotionVector& v, int32_t mbWidth, int32_t mbHeight, int32_t x,
                            int32_t y) {
  v.x = ClipFieldComponent(v.x, 16 * x, -16, 16 * mbWidth + 32, 16);
  v.y = ClipFieldComponent(v.y, 8 * y, -8, 8 * mbHeight + 16, 8);
}

}  // namespace tavrin::quarter_sample
