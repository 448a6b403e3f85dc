// Intra DC/AC prediction and inverse quantisation primitives of the second
// reconstruction path (table slots 26 to 28).
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus PredictIntraDcAc(int16_t* block, int16_t* aboveGroup, int16_t* leftGroup,
                                 int32_t blockQuant, int32_t predictorQuant, int32_t direction,
                                 int32_t acPrediction, int32_t selector);
PrimitiveStatus DequantIntra(int16_t* block, int32_t quant, const uint8_t* matrix,
                             int32_t selector);
PrimitiveStatus DequantInter(int16_t* block, int32_t quant, const uint8_t* matrix);
}  // namespace tavrin::reference
