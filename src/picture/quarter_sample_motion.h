// The motion policy of quarter-sample streams (half_sample_motion.h tells
// what a policy supplies).  Vectors count quarter samples.
//
// Clipping keeps a block inside the padded picture as for half samples, in
// quarter samples: a block may start anywhere from the rectangle's first
// sample to a quarter sample short of the last position where it still
// fits, so that the one column and row more that interpolation reads stay
// inside too.
//
// Chroma: each luma vector is first halved (towards zero) to half samples,
// then the chroma vector is derived as for half-sample vectors: from one
// vector, or from the sum of the four halved vectors of a macroblock.
//
// Luma: the quarter-sample interpolation of a 16x16 block for macroblocks
// with one vector, of 8x8 blocks otherwise; a 16x16 prediction differs from
// its four 8x8 ones (the filter mirrors at the block's edges), so B
// pictures' direct macroblocks, which have a vector per 8x8 block, are
// always predicted block by block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/picture_buffer.h"
#include "picture/intra_macroblock.h"
#include "picture/vector_storage.h"
#include "primitives/blockcopy/quarter_sample_routines.h"
#include "primitives/primitive_types.h"
#include "primitives/vectors/chroma_vector.h"

namespace tavrin {

namespace quarter_sample {

// One component of the block at full-sample position `position`: the
// block must start between origin and origin + extent - size (exclusive),
// in quarter samples.  The clipped value lies between the vector and the
// bound, so it fits 16 bits whenever the vector does.
inline int16_t ClipComponent(int16_t v, int32_t position, int32_t origin, int32_t extent,
                             int32_t size) {
  const int64_t p = 4 * int64_t{position};
  const int64_t lo = 4 * int64_t{origin};
  const int64_t hi = 4 * (int64_t{origin} + extent - size);
  const int64_t at = v + p;
  if (at < lo) return static_cast<int16_t>(lo - p);
  if (at >= hi) return static_cast<int16_t>(hi - p);
  return v;
}

inline bool KeepsInside(MotionVector v, const ClipRect& clip, int32_t blockX, int32_t blockY,
                        int32_t size) {
  const int64_t x = v.x + 4 * int64_t{blockX};
  const int64_t y = v.y + 4 * int64_t{blockY};
  return x >= 4 * int64_t{clip.x} && x < 4 * (int64_t{clip.x} + clip.width - size) &&
         y >= 4 * int64_t{clip.y} && y < 4 * (int64_t{clip.y} + clip.height - size);
}

// A luma component in half samples: halved towards zero.
[[gnu::always_inline]] inline int16_t Halved(int16_t v) { return static_cast<int16_t>(v / 2); }

// Luma block b (0..3) of macroblock (x, y), or the macroblock for b < 0, and
// the same place in the reference.
inline void Predict(PredictQuarterSampleFn predict, const PictureBuffer& ref,
                    const PictureBuffer& cur, int32_t x, int32_t y, int32_t b,
                    const MotionVector& v, int32_t rounding) {
  const ptrdiff_t offset = BlockOrigin(cur, x, y, b < 0 ? 0 : b) - cur.originY;
  predict(ref.originY + offset, cur.strideY, cur.originY + offset, cur.strideY, &v, rounding);
}

}  // namespace quarter_sample

struct QuarterSampleMotion {
  // Whether vectors count half samples (field vectors too: interlaced_motion.h).
  static constexpr bool kHalfSample = false;
  static constexpr bool kSeparableBlocks = false;

  static bool KeepsInside(MotionVector v, const ClipRect& clip, int32_t blockX, int32_t blockY,
                          int32_t size) {
    return quarter_sample::KeepsInside(v, clip, blockX, blockY, size);
  }
  static void Clip(MotionVector& v, const ClipRect& clip, int32_t blockX, int32_t blockY,
                   int32_t size) {
    if (KeepsInside(v, clip, blockX, blockY, size)) return;
    v.x = quarter_sample::ClipComponent(v.x, blockX, clip.x, clip.width, size);
    v.y = quarter_sample::ClipComponent(v.y, blockY, clip.y, clip.height, size);
  }
  static void ClipFour(MotionVector* v, const ClipRect& clip, int32_t x, int32_t y) {
    for (int32_t b = 0; b < 4; ++b) Clip(v[b], clip, BlockX(x, b), BlockY(y, b), 8);
  }

  static MotionVector ChromaOf(MotionVector v) {
    return vectors::ChromaVectorOf(
        MotionVector{quarter_sample::Halved(v.x), quarter_sample::Halved(v.y)});
  }
  static MotionVector ChromaOfFour(const MotionVector* v) {
    using quarter_sample::Halved;
    return MotionVector{
        vectors::ChromaOfSumOfFour(int32_t{Halved(v[0].x)} + Halved(v[1].x) + Halved(v[2].x) +
                                   Halved(v[3].x)),
        vectors::ChromaOfSumOfFour(int32_t{Halved(v[0].y)} + Halved(v[1].y) + Halved(v[2].y) +
                                   Halved(v[3].y))};
  }

  static void PredictLuma(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x, int32_t y,
                          const MotionVector& v, int32_t rounding) {
    quarter_sample::Predict(quarterSampleRoutines.predict16x16.get(), ref, cur, x, y, -1, v,
                            rounding);
  }
  static void PredictLumaBlock(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x,
                               int32_t y, int32_t b, const MotionVector& v, int32_t rounding) {
    quarter_sample::Predict(quarterSampleRoutines.predict8x8.get(), ref, cur, x, y, b, v,
                            rounding);
  }
  static void AverageLumaBlock(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x,
                               int32_t y, int32_t b, const MotionVector& v, int32_t rounding) {
    quarter_sample::Predict(quarterSampleRoutines.predictAverage8x8.get(), ref, cur, x, y, b, v,
                            rounding);
  }
  static void PredictLumaFromBoth(const PictureBuffer& first, const PictureBuffer& second,
                                  const PictureBuffer& cur, int32_t x, int32_t y,
                                  const MotionVector& firstVector,
                                  const MotionVector& secondVector, int32_t rounding) {
    quarter_sample::Predict(quarterSampleRoutines.predict16x16.get(), first, cur, x, y, -1,
                            firstVector, rounding);
    quarter_sample::Predict(quarterSampleRoutines.predictAverage16x16.get(), second, cur, x, y,
                            -1, secondVector, rounding);
  }
};

}  // namespace tavrin
