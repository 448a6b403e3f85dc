// Block reconstruction of short-header (baseline H.263) pictures on the
// first path: an intra block (a DC of fixed length, no prediction, the AC
// levels of the inter table dequantised by the H.263 method) stored into
// the picture, and an inter block's residual added onto its prediction.
// Both read their codes with the escape of fixed length.  The portable
// forms are the references the SSE2 ones (which differ only in the
// transform) and the AVX2 ones are checked against.
#pragma once

#include "platform/avx2_forms.h"
#include "primitives/primitive_types.h"

namespace tavrin {

// One intra block: INTRADC (8 bits; 255 stands for 128, 0 is no DC), then
// with `coded` its AC codes; the levels dequantised with quant (1..31), the
// DC scaled by 8, transformed and stored clamped at destination (stride at
// least 8).  Ok with the position past the block; CoefficientCodeError
// (position unchanged, nothing stored) for a DC of 0 or codes that make no
// block; NullPointer, BitOffsetError, QuantiserError or Step8Error for bad
// arguments.
using ReconstructShortHeaderIntraFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                          int32_t coded, int32_t quant,
                                                          uint8_t* destination, int32_t stride);
// One inter block's codes, dequantised and transformed, added onto the 8x8
// prediction at destination; results as the reconstruct-and-add routine's.
using ReconstructShortHeaderInterAddFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                             int32_t quant, uint8_t* destination,
                                                             int32_t stride);

namespace reference {
PrimitiveStatus ReconstructShortHeaderIntra(BytePointer* bytePos, int32_t* bitPos, int32_t coded,
                                            int32_t quant, uint8_t* destination, int32_t stride);
PrimitiveStatus ReconstructShortHeaderInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                               uint8_t* destination, int32_t stride);
}  // namespace reference

#if defined(__SSE2__)
namespace sse2 {
PrimitiveStatus ReconstructShortHeaderIntra(BytePointer* bytePos, int32_t* bitPos, int32_t coded,
                                            int32_t quant, uint8_t* destination, int32_t stride);
PrimitiveStatus ReconstructShortHeaderInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                               uint8_t* destination, int32_t stride);
}  // namespace sse2
#endif

#if defined(TAVRIN_AVX2_FORMS)
// The same bodies with the AVX2 transforms, installed where the processor
// has AVX2.
namespace avx2 {
PrimitiveStatus ReconstructShortHeaderIntra(BytePointer* bytePos, int32_t* bitPos, int32_t coded,
                                            int32_t quant, uint8_t* destination, int32_t stride);
PrimitiveStatus ReconstructShortHeaderInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                               uint8_t* destination, int32_t stride);
}  // namespace avx2
#endif

}  // namespace tavrin
