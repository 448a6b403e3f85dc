// Where the blocks of a macroblock lie in an interlaced picture.  With
// field DCT (dct_type 1) the four luma blocks hold the two fields of the
// macroblock: blocks 0 and 1 the top field (lines 0, 2, ... 14), blocks 2
// and 3 the bottom field (lines 1, 3, ... 15).  Each then starts on the
// macroblock's first or second line and steps two lines, so the same
// strided block routines store or add it.  Chroma blocks are always frame
// blocks.
#pragma once

#include <cstdint>

#include "decoder/picture_buffer.h"
#include "picture/intra_macroblock.h"

namespace tavrin {

inline uint8_t* TextureBlockOrigin(const PictureBuffer& p, int32_t x, int32_t y, int32_t block,
                                   bool fieldDct) {
  if (!fieldDct || block >= 4) return BlockOrigin(p, x, y, block);
  return p.originY + (16 * y + (block >> 1)) * p.strideY + 16 * x + 8 * (block & 1);
}

inline int32_t TextureBlockStride(const PictureBuffer& p, int32_t block, bool fieldDct) {
  const int32_t stride = BlockStride(p, block);
  return fieldDct && block < 4 ? 2 * stride : stride;
}

}  // namespace tavrin
