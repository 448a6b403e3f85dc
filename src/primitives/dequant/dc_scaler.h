// The intra DC scaler of ISO/IEC 14496-2 by quantiser (1..31) for luminance
// and chrominance blocks.
#pragma once

#include <cstdint>

namespace tavrin::dequant {

// selector 1 is a chrominance block; any other value a luminance block.
constexpr int32_t DcScaler(int32_t quant, int32_t selector) {
  if (selector == 1) {
    if (quant <= 4) return 8;
    if (quant <= 24) return (quant + 13) >> 1;
    return quant - 6;
  }
  if (quant <= 4) return 8;
  if (quant <= 8) return 2 * quant;
  if (quant <= 24) return quant + 8;
  return 2 * quant - 16;
}

constexpr int32_t ClampCoefficient(int32_t v) { return v < -2048 ? -2048 : v > 2047 ? 2047 : v; }

constexpr bool IsValidQuant(int32_t quant) { return quant >= 1 && quant <= 31; }

}  // namespace tavrin::dequant
