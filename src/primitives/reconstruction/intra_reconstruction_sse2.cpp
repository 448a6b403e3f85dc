// Table slots 33 and 35 with the SSE2 inverse DCT: the shared intra body
// (intra_reconstruction.cpp) with the SSE2 transform-and-store.
#if defined(__SSE2__)

#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"

namespace tavrin::sse2 {

PrimitiveStatus ReconstructIntraCoded(BytePointer* bytePos, int32_t* bitPos, uint8_t* destination,
                                      int32_t stride, int16_t* predRow, int16_t* predCol,
                                      int32_t quant, const uint8_t* qpNeighbours,
                                      const uint8_t* matrix, int32_t blockIndex,
                                      int32_t useIntraDcVlc, int32_t acPrediction) {
  return reconstruction::ReconstructIntra(reconstruction::sse2::InverseDctStore, true, bytePos,
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
  return reconstruction::ReconstructIntra(reconstruction::sse2::InverseDctStore, false, bytePos,
                                          bitPos, destination, stride, predRow, predCol, quant,
                                          qpNeighbours, matrix, blockIndex, useIntraDcVlc,
                                          acPrediction);
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
