// Table slot 34 (ReconstructInter) with the SSE2 inverse DCT: the shared
// inter body (inter_reconstruction.cpp) with the SSE2 transform.
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

}  // namespace tavrin::sse2

#endif  // __SSE2__
