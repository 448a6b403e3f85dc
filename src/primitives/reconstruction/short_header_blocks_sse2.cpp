// The short-header block routines with the SSE2 transforms: the shared
// bodies (short_header_blocks.cpp, inter_reconstruction.cpp) with the SSE2
// store and add.
#if defined(__SSE2__)

#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/reconstruction/short_header_blocks.h"

namespace tavrin::sse2 {

PrimitiveStatus ReconstructShortHeaderIntra(BytePointer* bytePos, int32_t* bitPos, int32_t coded,
                                            int32_t quant, uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructShortHeaderIntra(reconstruction::sse2::InverseDctStore,
                                                     bytePos, bitPos, coded, quant, destination,
                                                     stride);
}

PrimitiveStatus ReconstructShortHeaderInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                               uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructShortHeaderInterAdd(reconstruction::sse2::InverseDctAdd,
                                                        reconstruction::sse2::AddFlat, bytePos,
                                                        bitPos, quant, destination, stride);
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
