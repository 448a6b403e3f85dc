// Placeholder bodies until the second path's transforms are built: the
// transforms leave the block as it is.  Nothing here decodes.
#include "picture/block_routines.h"

namespace tavrin {

constinit BlockRoutineSet blockRoutines;

namespace blockroutines {

void InverseTransformNewer(int16_t*) {}
void InverseTransformOlder(int16_t*) {}

void StoreClamped(uint8_t* destination, const int16_t* block, int32_t stride) {
  for (int r = 0; r < 8; ++r) {
    for (int k = 0; k < 8; ++k) {
      int v = block[8 * r + k];
      destination[r * stride + k] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
}

void TransformAndStore(uint8_t* destination, int16_t* block, int32_t stride) {
  blockRoutines.inverseTransform(block);
  blockRoutines.storeClamped(destination, block, stride);
}

// On x86-64 and every other target we build for, the SIMD registers share no
// state with floating point, so there is nothing to end.
void EndSimdState() {}

}  // namespace blockroutines
}  // namespace tavrin
