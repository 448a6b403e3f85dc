// Edge padding primitive (table slot 10): fills the border around a plane's
// visible area from its edge samples.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus PadPlane(uint8_t* base, int32_t width, int32_t height, int32_t border,
                         int32_t stride);
}  // namespace tavrin::reference

#if defined(__SSE2__)
// The same with SSE2 (variants 1 to 3 of its row on x86).
namespace tavrin::sse2 {
PrimitiveStatus PadPlane(uint8_t* base, int32_t width, int32_t height, int32_t border,
                         int32_t stride);
}  // namespace tavrin::sse2
#endif
