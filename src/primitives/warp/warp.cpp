// Portable global motion prediction: the reference every other form is
// checked against, and the routine set's selection.
#include <cstddef>

#include "primitives/warp/warp.h"
#include "primitives/warp/warp_sample.h"

namespace tavrin {

namespace reference {

void Warp(const uint8_t* origin, int32_t stride, uint8_t* destination, int32_t destinationStride,
          int32_t size, const WarpBlock* block) {
  warp_detail::WarpPart(origin, stride, destination, destinationStride, 0, size, 0, size, *block);
}

void Translate(const uint8_t* source, int32_t stride, uint8_t* destination,
               int32_t destinationStride, int32_t size, int32_t fx, int32_t fy,
               int32_t accuracyBits, int32_t rounding) {
  for (int32_t j = 0; j < size; ++j) {
    const uint8_t* r0 = source + ptrdiff_t{j} * stride;
    const uint8_t* r1 = r0 + stride;
    uint8_t* out = destination + ptrdiff_t{j} * destinationStride;
    for (int32_t i = 0; i < size; ++i) {
      out[i] = static_cast<uint8_t>(warp_detail::Bilinear(r0[i], r0[i + 1], r1[i], r1[i + 1], fx,
                                                          fy, accuracyBits, rounding));
    }
  }
}

}  // namespace reference

#if defined(__SSE2__)
WarpRoutineSet warpRoutines{AtomicSlot<WarpFn>{sse2::Warp},
                            AtomicSlot<TranslateFn>{sse2::Translate}};
#else
WarpRoutineSet warpRoutines{AtomicSlot<WarpFn>{reference::Warp},
                            AtomicSlot<TranslateFn>{reference::Translate}};
#endif

}  // namespace tavrin
