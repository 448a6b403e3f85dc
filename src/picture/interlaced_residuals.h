// The residual blocks of an inter macroblock of an interlaced picture, added
// onto its prediction: with field DCT the luma blocks lie on alternate lines
// (interlaced_blocks.h), and the coefficients may come in the alternate
// vertical scan.  One routine per reconstruction path.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decoder/picture_buffer.h"

namespace tavrin {

struct InterlacedResidual {
  int32_t x, y;
  uint32_t cbp;  // bit 5 block 0 ... bit 0 block 5
  int32_t quant;
  bool fieldDct;
  bool alternateScan;
};

// The first path (and B pictures): each coded block decoded and added in
// one step.  0, or the status of the first block that fails to decode.
int32_t AddInterlacedResiduals(BitReader& reader, const PictureBuffer& cur,
                               const InterlacedResidual& r, const uint8_t* matrix);

// The second path: each block's coefficients decoded, dequantised and
// transformed in separate steps into `scratch` (64 values, 16-byte
// aligned), then added.  Damage in a block does not stop the picture, as
// for progressive pictures of that path; a quantiser outside 1..31 does.
int32_t AddInterlacedResidualsSecondPath(BitReader& reader, const PictureBuffer& cur,
                                         const InterlacedResidual& r, const uint8_t* matrix,
                                         int16_t* scratch);

}  // namespace tavrin
