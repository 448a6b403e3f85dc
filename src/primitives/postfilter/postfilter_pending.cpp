// Placeholder bodies until this family is built: every primitive refuses
// its input.  Nothing here decodes.
#include "primitives/postfilter/postfilter.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace tavrin::reference {
PrimitiveStatus DeblockHorizontalEdge(uint8_t* pixels, int32_t stride, int32_t quant,
                                      int32_t thr1, int32_t thr2) { return TypeError; }

PrimitiveStatus DeblockVerticalEdge(uint8_t* pixels, int32_t stride, int32_t quant, int32_t thr1,
                                    int32_t thr2) { return TypeError; }

PrimitiveStatus DeringThreshold(const uint8_t* pixels, int32_t stride, int32_t* threshold,
                                int32_t* range) { return TypeError; }

PrimitiveStatus DeringSmooth(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride, int32_t threshold, int32_t quant) { return TypeError; }

PrimitiveStatus CopyPlane(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                          int32_t destinationStride, int32_t width, int32_t height) { return TypeError; }

}  // namespace tavrin::reference
