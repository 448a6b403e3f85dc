// Overlapped block motion compensation of one 8x8 luma block: the block's
// own prediction blended with predictions made with its four neighbours'
// vectors.  Nothing in the decoder calls it; it completes the table.
#include <algorithm>

#include "primitives/blockcopy/blockcopy.h"
#include "primitives/blockcopy/half_sample.h"
#include "primitives/blockcopy/obmc_weights.h"

namespace tavrin::reference {

using blockcopy_internal::PredictHalfSampleBlock;

// All five vectors are required: a missing one is refused like a missing
// block rather than read through.
PrimitiveStatus PredictOverlapped8x8(const uint8_t* reference, int32_t referenceStride,
                                     uint8_t* destination, int32_t destinationStride,
                                     const MotionVector* current, const MotionVector* left,
                                     const MotionVector* right, const MotionVector* above,
                                     const MotionVector* below, int32_t rounding) {
  if (reference == nullptr || destination == nullptr) return NullPointer;
  if (current == nullptr || left == nullptr || right == nullptr || above == nullptr ||
      below == nullptr) {
    return NullPointer;
  }
  const ptrdiff_t rs = referenceStride;

  // The own prediction covers the block; each neighbour's prediction covers
  // only the half next to that neighbour, at the same position.
  uint8_t own[64];
  uint8_t horizontal[64];
  uint8_t vertical[64];
  PredictHalfSampleBlock(reference, rs, *current, rounding, 8, 8, own, 8);
  PredictHalfSampleBlock(reference, rs, *left, rounding, 4, 8, horizontal, 8);
  PredictHalfSampleBlock(reference + 4, rs, *right, rounding, 4, 8, horizontal + 4, 8);
  PredictHalfSampleBlock(reference, rs, *above, rounding, 8, 4, vertical, 8);
  PredictHalfSampleBlock(reference + 4 * rs, rs, *below, rounding, 8, 4, vertical + 32, 8);

  using blockcopy_internal::kObmcCurrentWeights;
  using blockcopy_internal::kObmcHorizontalWeights;
  using blockcopy_internal::kObmcVerticalWeights;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int i = 8 * y + x;
      const int sum = kObmcCurrentWeights[i] * own[i] + kObmcVerticalWeights[i] * vertical[i] +
                      kObmcHorizontalWeights[i] * horizontal[i] + 4;
      destination[x] = static_cast<uint8_t>(std::clamp(sum >> 3, 0, 255));
    }
    destination += destinationStride;
  }
  return Ok;
}

}  // namespace tavrin::reference
