// Placeholder bodies until this family is built: every primitive refuses
// its input.  Nothing here decodes.
#include "primitives/padding/padding.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace tavrin::reference {
PrimitiveStatus PadPlane(uint8_t* base, int32_t width, int32_t height, int32_t border,
                         int32_t stride) { return TypeError; }

}  // namespace tavrin::reference
