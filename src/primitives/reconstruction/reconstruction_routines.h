// The reconstruction routine the decode loop uses beside the primitive
// table: an inter block's codes decoded and added straight onto the
// prediction in the picture, where the table's pair (ReconstructInter into
// a residual, then AddResidual8x8) stores the residual and reads it back.
// The slot holds the fastest form this build has; the portable form, which
// is that pair, is the reference the equivalence checks compare with.
#pragma once

#include "primitives/dispatch/atomic_slot.h"
#include "primitives/primitive_types.h"
#include "primitives/reconstruction/short_header_blocks.h"

namespace tavrin {

// Decodes one inter block's codes (as ReconstructInter) and adds the
// residual to the 8x8 samples at destination (as AddResidual8x8, which
// checks destination and stride once the codes are read).  Ok, or the first
// failing status; nothing is added unless the result is Ok.
using ReconstructInterAddFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                  int32_t quant, const uint8_t* matrix,
                                                  uint8_t* destination, int32_t stride);

struct ReconstructionRoutineSet {
  AtomicSlot<ReconstructInterAddFn> reconstructInterAdd;
  // The blocks of short-header pictures (short_header_blocks.h).
  AtomicSlot<ReconstructShortHeaderIntraFn> reconstructShortHeaderIntra;
  AtomicSlot<ReconstructShortHeaderInterAddFn> reconstructShortHeaderInterAdd;
};

extern ReconstructionRoutineSet reconstructionRoutines;

}  // namespace tavrin
