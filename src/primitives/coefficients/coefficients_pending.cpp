// Placeholder bodies until this family is built: every primitive refuses
// its input.  Nothing here decodes.
#include "primitives/coefficients/coefficients.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace tavrin::reference {
PrimitiveStatus DecodeIntraCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                                        int32_t scan, int32_t selector) { return TypeError; }

PrimitiveStatus DecodeIntraCoefficientsNoDc(BytePointer* bytePos, int32_t* bitPos,
                                            int16_t* block, int32_t scan) { return TypeError; }

PrimitiveStatus DecodeInterCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block) { return TypeError; }

PrimitiveStatus DecodeIntraDc(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                              int32_t selector) { return TypeError; }

}  // namespace tavrin::reference
