// The six blocks of an intra macroblock on the first path, each handed
// whole to the fused reconstruction primitives.  Used by intra and
// predicted pictures.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

struct IntraMacroblock {
  int32_t x, y;        // macroblock column and row
  int32_t cbpy;        // bit 3 block 0 ... bit 0 block 3
  int32_t cbpc;        // bit 1 Cb, bit 0 Cr
  int32_t acPred;
  int32_t quant;
  int32_t useIntraDcVlc;
  // Interlaced pictures: the luma blocks hold the two fields
  // (interlaced_blocks.h), and every block is in the alternate vertical scan.
  int32_t fieldDct = 0;
  int32_t alternateScan = 0;
};

// Reconstructs blocks 0 to 5 into currentPicture: 0, or the first nonzero
// status of a block primitive.
int32_t ReconstructIntraMacroblock(DecoderContext& c, const IntraMacroblock& mb,
                                   const uint8_t* intraMatrix);

// Top-left sample of block 0..5 of a macroblock in a picture.
inline uint8_t* BlockOrigin(const PictureBuffer& p, int32_t x, int32_t y, int32_t block) {
  if (block < 4)
    return p.originY + (16 * y + 8 * (block >> 1)) * p.strideY + 16 * x + 8 * (block & 1);
  if (block == 4) return p.originCb + 8 * y * p.strideCb + 8 * x;
  return p.originCr + 8 * y * p.strideCr + 8 * x;
}

inline int32_t BlockStride(const PictureBuffer& p, int32_t block) {
  return block < 4 ? p.strideY : block == 4 ? p.strideCb : p.strideCr;
}

}  // namespace tavrin
