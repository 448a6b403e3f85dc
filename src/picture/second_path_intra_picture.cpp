// Intra pictures on the second path: the macroblock syntax of the first
// path, each block rebuilt step by step with the second path's inverse transform.
#include "picture/intra_neighbours.h"
#include "picture/intra_picture_walk.h"
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"
#include "picture/picture_decoders.h"
#include "picture/second_path_intra_block.h"

namespace tavrin {

int32_t DecodeIntraPictureSecondPath(DecoderContext& c) {
  ClearMotionStores(c.store);
  const uint8_t* matrix = c.sequence.quantType ? c.sequence.intraQuantMat : nullptr;
  alignas(16) int16_t coefficients[64];
  return WalkIntraPicture(c, [&](const IntraMacroblock& mb) {
    return ReconstructIntraMacroblockSecondPath(c, mb, matrix, coefficients);
  });
}

}  // namespace tavrin
