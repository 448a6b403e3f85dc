// Edge padding primitive (table slot 10): fills the border around a plane's
// visible area from its edge samples.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::padding {
// The argument checks every form of PadPlane makes, in its order: Ok, or
// the status to return.
inline PrimitiveStatus CheckPadArguments(const uint8_t* base, int32_t width, int32_t height,
                                         int32_t border, int32_t stride) {
  if (base == nullptr) return NullPointer;
  if (width < 8) return PadWidthError;
  if (height <= 0) return PadHeightError;
  if (border < 8) return PadBorderError;
  if (stride < 8) return Step8Error;
  // Summed in 64 bits: a huge width or border must be refused, not wrapped.
  const int64_t paddedWidth = static_cast<int64_t>(width) + 2 * static_cast<int64_t>(border);
  if (stride < paddedWidth) return PadStepError;
  return Ok;
}
}  // namespace tavrin::padding

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
