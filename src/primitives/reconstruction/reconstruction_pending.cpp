// Placeholder bodies until this family is built: every primitive refuses
// its input.  Nothing here decodes.
#include "primitives/reconstruction/reconstruction.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace tavrin::reference {
PrimitiveStatus ReconstructIntraCoded(BytePointer* bytePos, int32_t* bitPos, uint8_t* destination,
                                      int32_t stride, int16_t* predRow, int16_t* predCol,
                                      int32_t quant, const uint8_t* qpNeighbours,
                                      const uint8_t* matrix, int32_t blockIndex,
                                      int32_t useIntraDcVlc, int32_t acPrediction) { return TypeError; }

PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix) { return TypeError; }

PrimitiveStatus ReconstructIntraUncoded(BytePointer* bytePos, int32_t* bitPos,
                                        uint8_t* destination, int32_t stride, int16_t* predRow,
                                        int16_t* predCol, int32_t quant,
                                        const uint8_t* qpNeighbours, const uint8_t* matrix,
                                        int32_t blockIndex, int32_t useIntraDcVlc,
                                        int32_t acPrediction) { return TypeError; }

PrimitiveStatus InverseDct8x8(int16_t* block) { return TypeError; }

}  // namespace tavrin::reference
