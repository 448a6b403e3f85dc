// Intra pictures on the first path: every macroblock intra coded, each
// block reconstructed by one fused primitive.
#include "picture/intra_macroblock.h"
#include "picture/intra_neighbours.h"
#include "picture/intra_picture_walk.h"
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"
#include "picture/picture_decoders.h"
#include "primitives/dispatch/primitive_table.h"

namespace tavrin {

void ClearMotionStores(FrameStore& f) {
  const int32_t mbs = f.mbWidth * f.mbHeight;
  primitives.ZeroBytes(f.mbStateMap, mbs);
  primitives.ZeroBytes(f.mvStore, mbs * 16);
  ClearInterlacedState(f.interlaced, mbs);
}

int32_t DecodeIntraPicture(DecoderContext& c) {
  ClearMotionStores(c.store);
  const uint8_t* matrix = c.sequence.quantType ? c.sequence.intraQuantMat : nullptr;
  return WalkIntraPicture(
      c, [&](const IntraMacroblock& mb) { return ReconstructIntraMacroblock(c, mb, matrix); });
}

}  // namespace tavrin
