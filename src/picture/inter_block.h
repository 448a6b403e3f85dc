// Motion-compensated 8x8 blocks and whole-macroblock copies, shared by the
// predicted and bidirectional picture decoders of the first path.
#pragma once

#include <cstdint>

#include "api/decoder_context.h"
#include "primitives/primitive_types.h"

namespace tavrin {

struct InterBlockCoding {
  BitReader& reader;
  int32_t quant;
  const uint8_t* matrix;  // non-intra matrix, or null
  int32_t rounding;
  int16_t* residual;      // 64 values, 16-byte aligned
};

// Block 0..5 of macroblock (x, y) predicted from ref at vector v into cur;
// when coded, its residual is decoded and added.  0, or the status of the
// residual's decoding.
int32_t PredictInterBlock(const InterBlockCoding& coding, const PictureBuffer& ref,
                          const PictureBuffer& cur, int32_t x, int32_t y, int32_t block,
                          const MotionVector& v, bool coded);

// Copies macroblock (x, y), luma and both chroma blocks, from one picture to
// another.
void CopyMacroblock(const PictureBuffer& from, const PictureBuffer& to, int32_t x, int32_t y);

}  // namespace tavrin
