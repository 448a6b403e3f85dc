// Putting a macroblock of a data-partitioned packet back together: its
// codes, gathered from the packet's parts (as the packet's record says
// where they lie), written in the order a packet without partitions has
// them, so that the picture decoders of both reconstruction paths decode
// it as they decode any other macroblock.  Residuals in the reversible
// codes are written as escaped events of the ordinary codes, which give the
// same coefficients.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

// Writes macroblock record m of the current (I or P) picture into `out`
// (`capacity` bytes, then kInputPadding more, which it clears after the
// bits): every code, or with `withResiduals`
// false none of its residuals (an inter macroblock is then predicted
// only; an intra one keeps its DCs).  The bits written, or -1 when they
// would not fit (a record that cannot be right).
int32_t RemuxMacroblock(const DecoderContext& c, const PartitionRecord& m, bool withResiduals,
                        uint8_t* out, int32_t capacity);

}  // namespace tavrin
