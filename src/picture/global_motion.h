// Global motion compensation of S pictures: the warp the picture header's
// warping points describe, the prediction of a macroblock through it, and
// the vector a globally predicted macroblock counts with for its
// neighbours' vector prediction and for the direct mode of B pictures.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"
#include "primitives/primitive_types.h"

namespace tavrin {

// One coordinate of the warp: the position, in 1/s sample units, of the
// sample at (i, j) (luma samples, or chroma samples for the chroma axes)
// is (base + di * i + dj * j) >> shift, rounded down.
struct WarpAxis {
  int64_t base;
  int64_t di, dj;
  int32_t shift;
};

struct WarpAxes {
  WarpAxis lumaX, lumaY, chromaX, chromaY;
};

// The warp of warping points (differences du, dv in half samples, as the
// picture header carries them) on a width x height picture at accuracy
// 1/s (accuracy 0 to 3: s = 2 to 16).  Exact, in 64 bits.
WarpAxes DeriveWarp(int32_t points, const int32_t* du, const int32_t* dv, int32_t accuracy,
                    int32_t width, int32_t height);

// Everything the macroblocks of one S picture need.
struct GlobalMotion {
  WarpAxes axes;          // shifts reduced as far as the steps allow
  int32_t accuracyBits;   // log2 s
  int32_t rounding;       // vop_rounding_type
  int32_t lumaMaxX, lumaMaxY, chromaMaxX, chromaMaxY;  // the padded planes' last samples
  int32_t vectorRange;    // vectors lie in [-vectorRange, vectorRange - 1]
  int32_t vectorShift;    // 0 half-sample vectors, 1 quarter-sample vectors
  // A warp that moves every sample by the same amount: the displacement in
  // 1/s units (luma, chroma) and the vector of every macroblock.
  bool translation;
  int32_t lumaDx, lumaDy, chromaDx, chromaDy;
  MotionVector translationVector;
};

// Sets up the warp of the S picture the context's headers describe: false
// when its steps are beyond what the prediction computes in 32 bits (no
// real stream comes near), and the picture is then not decoded.
bool SetUpGlobalMotion(const DecoderContext& c, GlobalMotion& g);

// The vector of macroblock (x, y): the warp's displacement averaged over
// its luma samples, in half (or quarter) samples, rounded to the nearest
// (halves away from zero) and clipped to the picture's vector range.
MotionVector GlobalVector(const GlobalMotion& g, int32_t x, int32_t y);

// Macroblock (x, y) of cur, luma and both chroma blocks, predicted from
// ref through the warp.
void PredictGlobalMotion(const GlobalMotion& g, const PictureBuffer& ref, const PictureBuffer& cur,
                         int32_t x, int32_t y);

}  // namespace tavrin
