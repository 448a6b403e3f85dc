// Table slots 33, 34, 35 and 40, the reconstruct-and-add routines and the
// short-header block routines with
// the AVX2 inverse DCT: the shared bodies (reconstruction_bodies.h) with the
// AVX2 transforms.  This file itself is compiled for the baseline; only the
// transforms it passes on use AVX2, and the selection installs these forms
// only where the processor reports it.
#include "platform/avx2_forms.h"

#if defined(TAVRIN_AVX2_FORMS)

#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/reconstruction/short_header_blocks.h"

namespace tavrin::avx2 {

PrimitiveStatus ReconstructIntraCoded(BytePointer* bytePos, int32_t* bitPos, uint8_t* destination,
                                      int32_t stride, int16_t* predRow, int16_t* predCol,
                                      int32_t quant, const uint8_t* qpNeighbours,
                                      const uint8_t* matrix, int32_t blockIndex,
                                      int32_t useIntraDcVlc, int32_t acPrediction) {
  return reconstruction::ReconstructIntra(reconstruction::avx2::InverseDctStore, true, bytePos,
                                          bitPos, destination, stride, predRow, predCol, quant,
                                          qpNeighbours, matrix, blockIndex, useIntraDcVlc,
                                          acPrediction);
}

PrimitiveStatus ReconstructIntraUncoded(BytePointer* bytePos, int32_t* bitPos,
                                        uint8_t* destination, int32_t stride, int16_t* predRow,
                                        int16_t* predCol, int32_t quant,
                                        const uint8_t* qpNeighbours, const uint8_t* matrix,
                                        int32_t blockIndex, int32_t useIntraDcVlc,
                                        int32_t acPrediction) {
  return reconstruction::ReconstructIntra(reconstruction::avx2::InverseDctStore, false, bytePos,
                                          bitPos, destination, stride, predRow, predCol, quant,
                                          qpNeighbours, matrix, blockIndex, useIntraDcVlc,
                                          acPrediction);
}

PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix) {
  return reconstruction::ReconstructInter(reconstruction::avx2::InverseDctRows, bytePos, bitPos,
                                          residual, quant, matrix);
}

PrimitiveStatus InverseDct8x8(int16_t* block) {
  if (block == nullptr) return NullPointer;
  reconstruction::avx2::InverseDct(block, block);
  return Ok;
}

PrimitiveStatus ReconstructInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructInterAdd(reconstruction::avx2::InverseDctAdd,
                                             reconstruction::sse2::AddFlat, bytePos, bitPos, quant,
                                             matrix, destination, stride);
}

PrimitiveStatus ReconstructInterAddAlternate(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride) {
  return reconstruction::ReconstructInterAddAlternate(reconstruction::avx2::InverseDctAdd,
                                                      reconstruction::sse2::AddFlat, bytePos,
                                                      bitPos, quant, matrix, destination, stride);
}

PrimitiveStatus ReconstructShortHeaderIntra(BytePointer* bytePos, int32_t* bitPos, int32_t coded,
                                            int32_t quant, uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructShortHeaderIntra(reconstruction::avx2::InverseDctStore,
                                                     bytePos, bitPos, coded, quant, destination,
                                                     stride);
}

PrimitiveStatus ReconstructShortHeaderInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                               uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructShortHeaderInterAdd(reconstruction::avx2::InverseDctAdd,
                                                        reconstruction::sse2::AddFlat, bytePos,
                                                        bitPos, quant, destination, stride);
}

}  // namespace tavrin::avx2

#endif  // TAVRIN_AVX2_FORMS
