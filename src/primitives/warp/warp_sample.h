// The warp's arithmetic for one sample, shared by every form of the warp.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "primitives/warp/warp.h"

namespace tavrin::warp_detail {

inline int32_t Bilinear(int32_t p00, int32_t p01, int32_t p10, int32_t p11, int32_t fx,
                        int32_t fy, int32_t accuracyBits, int32_t rounding) {
  const int32_t s = 1 << accuracyBits;
  const int32_t sum = (s - fy) * ((s - fx) * p00 + fx * p01) + fy * ((s - fx) * p10 + fx * p11);
  return (sum + (1 << (2 * accuracyBits - 1)) - rounding) >> (2 * accuracyBits);
}

// Samples (i, j) with i0 <= i < i1, j0 <= j < j1 of the block, each at its
// own position, clamped to the bounds.
inline void WarpPart(const uint8_t* origin, int32_t stride, uint8_t* destination,
                     int32_t destinationStride, int32_t i0, int32_t i1, int32_t j0, int32_t j1,
                     const WarpBlock& b) {
  const int32_t a = b.accuracyBits;
  const int32_t mask = (1 << a) - 1;
  for (int32_t j = j0; j < j1; ++j) {
    for (int32_t i = i0; i < i1; ++i) {
      const int32_t x = b.baseX + ((b.remX + b.xi * i + b.xj * j) >> b.shiftX);
      const int32_t y = b.baseY + ((b.remY + b.yi * i + b.yj * j) >> b.shiftY);
      const int32_t x0 = std::clamp(x >> a, b.minX, b.maxX);
      const int32_t x1 = std::clamp((x >> a) + 1, b.minX, b.maxX);
      const int32_t y0 = std::clamp(y >> a, b.minY, b.maxY);
      const int32_t y1 = std::clamp((y >> a) + 1, b.minY, b.maxY);
      const uint8_t* r0 = origin + ptrdiff_t{y0} * stride;
      const uint8_t* r1 = origin + ptrdiff_t{y1} * stride;
      destination[ptrdiff_t{j} * destinationStride + i] = static_cast<uint8_t>(
          Bilinear(r0[x0], r0[x1], r1[x0], r1[x1], x & mask, y & mask, a, b.rounding));
    }
  }
}

}  // namespace tavrin::warp_detail
