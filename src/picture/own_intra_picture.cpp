// Intra pictures on the second path: the macroblock syntax of the first
// path, each block rebuilt step by step with the own inverse transform.
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"
#include "picture/neighbours.h"
#include "picture/intra_picture_walk.h"
#include "picture/own_intra_block.h"
#include "picture/picture_decoders.h"

namespace tavrin {

int32_t DecodeIntraPictureOwn(DecoderContext& c) {
  ClearMotionStores(c.store);
  const uint8_t* matrix = c.sequence.quantType ? c.sequence.intraQuantMat : nullptr;
  alignas(16) int16_t coefficients[64];
  return WalkIntraPicture(c, [&](const IntraMacroblock& mb) {
    return ReconstructIntraMacroblockOwn(c, mb, matrix, coefficients);
  });
}

}  // namespace tavrin
