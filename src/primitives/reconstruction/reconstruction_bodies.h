// The bodies of the block reconstruction primitives (slots 33, 34 and 35),
// shared by their variants, which differ only in the inverse DCT.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reconstruction {

// The two forms of the transform (inverse_dct.h).
using InverseDctFn = void (*)(const int16_t* input, int16_t* output);
// The transform told which input rows may be nonzero (inverse_dct.h).
using InverseDctRowsFn = void (*)(const int16_t* input, int16_t* output, uint32_t rows);
using InverseDctStoreFn = void (*)(const int16_t* block, uint32_t rows, uint8_t* destination,
                                   int32_t stride);
using InverseDctAddFn = void (*)(const int16_t* input, uint32_t rows, uint8_t* destination,
                                 int32_t stride);
using AddFlatFn = void (*)(int16_t value, uint8_t* destination, int32_t stride);

// One intra block, coded (slot 33) or DC-only (slot 35), with `store` as the
// transform; arguments and results as the primitives'.
PrimitiveStatus ReconstructIntra(InverseDctStoreFn store, bool coded, BytePointer* bytePos,
                                 int32_t* bitPos, uint8_t* destination, int32_t stride,
                                 int16_t* predRow, int16_t* predCol, int32_t quant,
                                 const uint8_t* qpNeighbours, const uint8_t* matrix,
                                 int32_t blockIndex, int32_t useIntraDcVlc, int32_t acPrediction);

// One inter block (slot 34) with `transform`.
PrimitiveStatus ReconstructInter(InverseDctRowsFn transform, BytePointer* bytePos, int32_t* bitPos,
                                 int16_t* residual, int32_t quant, const uint8_t* matrix);
// One inter block decoded and added onto the prediction at destination,
// with `transformAdd` and `addFlat`; arguments and results as the
// reconstruct-and-add routine's (reconstruction_routines.h).
PrimitiveStatus ReconstructInterAdd(InverseDctAddFn transformAdd, AddFlatFn addFlat,
                                    BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride);

// The same for a short-header inter block (H.263 quantisation, the escape
// of fixed length).
PrimitiveStatus ReconstructShortHeaderInterAdd(InverseDctAddFn transformAdd, AddFlatFn addFlat,
                                               BytePointer* bytePos, int32_t* bitPos,
                                               int32_t quant, uint8_t* destination,
                                               int32_t stride);

// A short-header intra block with `store` as the transform; arguments and
// results as the short-header intra routine's (short_header_blocks.h).
PrimitiveStatus ReconstructShortHeaderIntra(InverseDctStoreFn store, BytePointer* bytePos,
                                            int32_t* bitPos, int32_t coded, int32_t quant,
                                            uint8_t* destination, int32_t stride);

// As the two above, the coefficients in the alternate vertical scan rather
// than the zigzag scan (interlaced pictures with alternate_vertical_scan_flag
// 1).
PrimitiveStatus ReconstructInterAlternate(InverseDctRowsFn transform, BytePointer* bytePos,
                                          int32_t* bitPos, int16_t* residual, int32_t quant,
                                          const uint8_t* matrix);
PrimitiveStatus ReconstructInterAddAlternate(InverseDctAddFn transformAdd, AddFlatFn addFlat,
                                             BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride);

}  // namespace tavrin::reconstruction
