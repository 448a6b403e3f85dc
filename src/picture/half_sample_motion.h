// How the picture decoders of the first path and of B pictures turn vectors
// into predictions: a motion policy, chosen per picture.  This one is for
// vectors in half samples; quarter_sample_motion.h holds the one for
// quarter-sample streams.  A policy supplies, as static members:
//   kSeparableBlocks  whether a 16x16 prediction equals its four 8x8
//                     predictions with the same vector (so that four equal
//                     vectors may be predicted as one block, and a residual
//                     may be added block by block as each is predicted)
//   KeepsInside, Clip, ClipFour   vector clipping to the padded picture
//   ChromaOf, ChromaOfFour        the chroma vector of one or four vectors
//   PredictLuma, PredictLumaBlock, AverageLumaBlock, PredictLumaFromBoth
//                     luma prediction of a macroblock or of one 8x8 block
#pragma once

#include <cstdint>

#include "decoder/picture_buffer.h"
#include "picture/intra_macroblock.h"
#include "picture/motion_compensation.h"
#include "picture/vector_storage.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/vectors/chroma_vector.h"

namespace tavrin {

struct HalfSampleMotion {
  // Whether vectors count half samples (field vectors too: interlaced_motion.h).
  static constexpr bool kHalfSample = true;
  static constexpr bool kSeparableBlocks = true;

  static bool KeepsInside(MotionVector v, const ClipRect& clip, int32_t blockX, int32_t blockY,
                          int32_t size) {
    return KeepsBlockInside(v, clip, blockX, blockY, size);
  }
  static void Clip(MotionVector& v, const ClipRect& clip, int32_t blockX, int32_t blockY,
                   int32_t size) {
    ClipBlockVector(v, clip, blockX, blockY, size);
  }
  static void ClipFour(MotionVector* v, const ClipRect& clip, int32_t x, int32_t y) {
    ClipFourVectors(v, clip, x, y);
  }
  static MotionVector ChromaOf(MotionVector v) { return vectors::ChromaVectorOf(v); }
  static MotionVector ChromaOfFour(const MotionVector* v) { return vectors::ChromaVectorOfFour(v); }

  // Macroblock (x, y) of cur, luma, from ref with one vector.
  static void PredictLuma(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x, int32_t y,
                          const MotionVector& v, int32_t rounding) {
    tavrin::PredictLuma(ref, cur, x, y, v, rounding);
  }
  // Luma block b (0..3) of macroblock (x, y) with its own vector, written
  // or averaged into what cur holds there.
  static void PredictLumaBlock(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x,
                               int32_t y, int32_t b, const MotionVector& v, int32_t rounding) {
    tavrin::PredictLumaBlock(ref, cur, x, y, b, v, rounding);
  }
  static void AverageLumaBlock(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x,
                               int32_t y, int32_t b, const MotionVector& v, int32_t rounding) {
    motionRoutines.predictAverage8x8(BlockOrigin(ref, x, y, b), cur.strideY,
                                     BlockOrigin(cur, x, y, b), cur.strideY, &v, rounding);
  }
  // Macroblock (x, y), luma, from two anchors with a vector each, averaged.
  static void PredictLumaFromBoth(const PictureBuffer& first, const PictureBuffer& second,
                                  const PictureBuffer& cur, int32_t x, int32_t y,
                                  const MotionVector& firstVector,
                                  const MotionVector& secondVector, int32_t rounding) {
    tavrin::PredictLumaFromBoth(first, second, cur, x, y, firstVector, secondVector, rounding);
  }
};

}  // namespace tavrin
