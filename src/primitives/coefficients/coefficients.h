// Coefficient decoding primitives of the second reconstruction path (table
// slots 29 to 32): coefficients into raster-order blocks, and the intra DC.
// The shared variable-length decoding they build on is in coefficient_codes.h.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus DecodeIntraCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                                        int32_t scan, int32_t selector);
PrimitiveStatus DecodeIntraCoefficientsNoDc(BytePointer* bytePos, int32_t* bitPos,
                                            int16_t* block, int32_t scan);
PrimitiveStatus DecodeInterCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block);
PrimitiveStatus DecodeIntraDc(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                              int32_t selector);
}  // namespace tavrin::reference
