// Placeholder bodies until this family is built: every primitive refuses
// its input.  Nothing here decodes.
#include "primitives/dequant/dequant.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace tavrin::reference {
PrimitiveStatus PredictIntraDcAc(int16_t* block, int16_t* aboveGroup, int16_t* leftGroup,
                                 int32_t blockQuant, int32_t predictorQuant, int32_t direction,
                                 int32_t acPrediction, int32_t selector) { return TypeError; }

PrimitiveStatus DequantIntra(int16_t* block, int32_t quant, const uint8_t* matrix,
                             int32_t selector) { return TypeError; }

PrimitiveStatus DequantInter(int16_t* block, int32_t quant, const uint8_t* matrix) { return TypeError; }

}  // namespace tavrin::reference
