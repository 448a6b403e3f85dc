// Post-filter primitives (table slots 36 to 39 and 41): deblocking of 8x8
// block edges, deringing, and the plane copy the filter works on.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus DeblockHorizontalEdge(uint8_t* pixels, int32_t stride, int32_t quant,
                                      int32_t thr1, int32_t thr2);
PrimitiveStatus DeblockVerticalEdge(uint8_t* pixels, int32_t stride, int32_t quant, int32_t thr1,
                                    int32_t thr2);
PrimitiveStatus DeringThreshold(const uint8_t* pixels, int32_t stride, int32_t* threshold,
                                int32_t* range);
PrimitiveStatus DeringSmooth(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride, int32_t threshold, int32_t quant);
PrimitiveStatus CopyPlane(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                          int32_t destinationStride, int32_t width, int32_t height);
}  // namespace tavrin::reference

#if defined(__SSE2__)
// Deblocking with SSE2 (variants 1 to 3 of its rows on x86).  Deringing
// keeps the portable code, and so does the plane copy, whose row copies are
// the C library's, already as wide as the processor allows.
namespace tavrin::sse2 {
PrimitiveStatus DeblockHorizontalEdge(uint8_t* pixels, int32_t stride, int32_t quant,
                                      int32_t thr1, int32_t thr2);
PrimitiveStatus DeblockVerticalEdge(uint8_t* pixels, int32_t stride, int32_t quant, int32_t thr1,
                                    int32_t thr2);
}  // namespace tavrin::sse2
#endif
