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

// Whether an intra block's reconstructed DC (scaled by `scaler` and
// clamped) is one no encoder writes: the DC of 8x8 samples of 0 to 255 lies
// in 0..8 * 255, and the quantised one within half a step of it (a step
// more where the clamp hides how far past it went).  Damaged data that
// still reads as valid codes shows here first: a DC off by a few levels
// carries into every block predicted from it.
inline bool ImpossibleIntraDc(int32_t dc, int32_t scaler) {
  if (dc < 0) return true;
  if (dc < 2047) return false;
  // The least multiple of the scaler the clamp leaves at 2047.
  const int32_t clamped = (2047 + scaler - 1) / scaler * scaler;
  return clamped > 2042 + scaler / 2;
}

// Whether a picture's intra DCs are checked so: in intra pictures, where
// every macroblock predicts its DCs from the ones before, so that a wrong
// DC spoils what follows it (the packet walk decides what a stream's first
// picture makes of it).  In other pictures inter macroblocks end such
// chains.  Data-partitioned pictures read their DCs in a partition of
// their own, and short-header ones predict none.
inline bool IntraDcChecked(const DecoderContext& c) {
  return c.picture.vopCodingType == 0 && !c.sequence.dataPartitioned && !c.sequence.shortVideoHeader;
}

// Reconstructs blocks 0 to 5 into currentPicture: 0, or the first nonzero
// status of a block primitive, or, once all six are read,
// kImpossibleIntraDc when a DC could not be (in the pictures
// IntraDcChecked names).
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
