// Table slot 34 (ReconstructInter) and the reconstruct-and-add routine with
// the SSE2 inverse DCT: the shared inter bodies (inter_reconstruction.cpp)
// with the SSE2 transform.
#if defined(__SSE2__)

#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_bodies.h"

namespace tavrin::sse2 {

PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix) {
  return reconstruction::ReconstructInter(reconstruction::sse2::InverseDctRows, bytePos, bitPos,
                                          residual, quant, matrix);
}

PrimitiveStatus ReconstructInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructInterAdd(reconstruction::sse2::InverseDctAdd,
                                             reconstruction::sse2::AddFlat, bytePos, bitPos, quant,
                                             matrix, destination, stride);
}

PrimitiveStatus ReconstructInterAddAlternate(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride) {
  return reconstruction::ReconstructInterAddAlternate(reconstruction::sse2::InverseDctAdd,
                                                      reconstruction::sse2::AddFlat, bytePos,
                                                      bitPos, quant, matrix, destination, stride);
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
