// Copy of a rectangle of samples into the post-filter's buffer.
#include <cstddef>
#include <cstring>

#include "primitives/postfilter/postfilter.h"

namespace tavrin::reference {

PrimitiveStatus CopyPlane(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                          int32_t destinationStride, int32_t width, int32_t height) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  if (width <= 0 || height <= 0) return SizeError;
  if (sourceStride <= 0 || destinationStride <= 0) return StepError;
  const size_t w = static_cast<size_t>(width);
  if (sourceStride == width && destinationStride == width) {
    std::memcpy(destination, source, w * static_cast<size_t>(height));
    return Ok;
  }
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(destination, source, w);
    source += sourceStride;
    destination += destinationStride;
  }
  return Ok;
}

}  // namespace tavrin::reference
