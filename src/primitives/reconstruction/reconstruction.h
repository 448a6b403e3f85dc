// Block reconstruction primitives (table slots 33, 34, 35 and 40): one call
// turns the coded data of an 8x8 block into pixels or a residual.
#pragma once

#include "platform/avx2_forms.h"
#include "primitives/primitive_types.h"

namespace tavrin {
// A bit of the intra primitives' acPrediction argument, beside the
// ac_pred_flag in bit 0: the block's coefficients come in the alternate
// vertical scan whatever the prediction direction (interlaced pictures with
// alternate_vertical_scan_flag 1).
inline constexpr int32_t kIntraAlternateVerticalScan = 2;
}  // namespace tavrin

namespace tavrin::reference {
PrimitiveStatus ReconstructIntraCoded(BytePointer* bytePos, int32_t* bitPos, uint8_t* destination,
                                      int32_t stride, int16_t* predRow, int16_t* predCol,
                                      int32_t quant, const uint8_t* qpNeighbours,
                                      const uint8_t* matrix, int32_t blockIndex,
                                      int32_t useIntraDcVlc, int32_t acPrediction);
PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix);
PrimitiveStatus ReconstructIntraUncoded(BytePointer* bytePos, int32_t* bitPos,
                                        uint8_t* destination, int32_t stride, int16_t* predRow,
                                        int16_t* predCol, int32_t quant,
                                        const uint8_t* qpNeighbours, const uint8_t* matrix,
                                        int32_t blockIndex, int32_t useIntraDcVlc,
                                        int32_t acPrediction);
PrimitiveStatus InverseDct8x8(int16_t* block);
// ReconstructInter into a residual, then AddResidual8x8 of it at destination
// (the reconstruct-and-add routine, reconstruction_routines.h).
PrimitiveStatus ReconstructInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride);
// ReconstructInterAdd with the coefficients in the alternate vertical scan
// (the alternate-scan routine, alternate_scan_routines.h).
PrimitiveStatus ReconstructInterAddAlternate(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride);
}  // namespace tavrin::reference

#if defined(__SSE2__)
// Variants with the SSE2 inverse DCT (variants 1 to 3 of their rows on x86).
namespace tavrin::sse2 {
PrimitiveStatus ReconstructIntraCoded(BytePointer* bytePos, int32_t* bitPos, uint8_t* destination,
                                      int32_t stride, int16_t* predRow, int16_t* predCol,
                                      int32_t quant, const uint8_t* qpNeighbours,
                                      const uint8_t* matrix, int32_t blockIndex,
                                      int32_t useIntraDcVlc, int32_t acPrediction);
PrimitiveStatus ReconstructIntraUncoded(BytePointer* bytePos, int32_t* bitPos,
                                        uint8_t* destination, int32_t stride, int16_t* predRow,
                                        int16_t* predCol, int32_t quant,
                                        const uint8_t* qpNeighbours, const uint8_t* matrix,
                                        int32_t blockIndex, int32_t useIntraDcVlc,
                                        int32_t acPrediction);
PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix);
PrimitiveStatus InverseDct8x8(int16_t* block);
PrimitiveStatus ReconstructInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride);
PrimitiveStatus ReconstructInterAddAlternate(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride);
}  // namespace tavrin::sse2
#endif

#if defined(TAVRIN_AVX2_FORMS)
// The same with the AVX2 inverse DCT, installed in place of the SSE2 forms
// when the processor reports AVX2 (SelectAvx2Forms).
namespace tavrin::avx2 {
PrimitiveStatus ReconstructIntraCoded(BytePointer* bytePos, int32_t* bitPos, uint8_t* destination,
                                      int32_t stride, int16_t* predRow, int16_t* predCol,
                                      int32_t quant, const uint8_t* qpNeighbours,
                                      const uint8_t* matrix, int32_t blockIndex,
                                      int32_t useIntraDcVlc, int32_t acPrediction);
PrimitiveStatus ReconstructIntraUncoded(BytePointer* bytePos, int32_t* bitPos,
                                        uint8_t* destination, int32_t stride, int16_t* predRow,
                                        int16_t* predCol, int32_t quant,
                                        const uint8_t* qpNeighbours, const uint8_t* matrix,
                                        int32_t blockIndex, int32_t useIntraDcVlc,
                                        int32_t acPrediction);
PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix);
PrimitiveStatus InverseDct8x8(int16_t* block);
PrimitiveStatus ReconstructInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride);
PrimitiveStatus ReconstructInterAddAlternate(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride);
}  // namespace tavrin::avx2
#endif
