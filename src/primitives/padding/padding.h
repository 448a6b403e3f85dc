// Edge padding primitive (table slot 10): fills the border around a plane's
// visible area from its edge samples.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus PadPlane(uint8_t* base, int32_t width, int32_t height, int32_t border,
                         int32_t stride);
}  // namespace tavrin::reference
