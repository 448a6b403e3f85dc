// Table slots 34 (ReconstructInter) and 40 (InverseDct8x8): an inter block's
// codes to its 16-bit residual, and the bare transform.
#include <algorithm>
#include <cstring>

#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/reconstruction/block_arithmetic.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/scan_tables.h"

namespace tavrin::reconstruction {

PrimitiveStatus ReconstructInter(InverseDctRowsFn transform, BytePointer* bytePos, int32_t* bitPos,
                                 int16_t* residual, int32_t quant, const uint8_t* matrix) {
  if (bytePos == nullptr || bitPos == nullptr || residual == nullptr || *bytePos == nullptr) {
    return NullPointer;
  }
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  if (quant < 1 || quant > 31) return QuantiserError;

  coefficients::CoefficientList list;
  std::copy(kZigzagScan.begin(), kZigzagScan.end(), list.positions);
  list.count = 0;
  if (PrimitiveStatus s = coefficients::DecodeInterCoefficientList(bytePos, bitPos, list); s != Ok) {
    return s;
  }

  // A lone DC without a matrix: the transform of it is flat.
  if (list.count == 1 && matrix == nullptr && list.positions[0] == 0) {
    const int32_t dc = DequantiseH263(list.levels[0], quant);
    std::fill(residual, residual + 64, static_cast<int16_t>((dc + 4) >> 3));
    return Ok;
  }

  // Cleared 16 bytes at a time: for a plain = {} GCC emits a string store,
  // whose start-up costs more than the eight stores.
  alignas(16) int16_t block[64];
  for (int32_t i = 0; i < 64; i += 8) std::memset(block + i, 0, 16);
  int32_t sum = 0;
  uint32_t rows = 0;  // the rows holding coefficients
  for (int32_t k = 0; k < list.count; ++k) {
    const uint8_t position = list.positions[k];
    rows |= 1u << (position >> 3);
    const int32_t level = list.levels[k];
    int32_t value;
    if (matrix == nullptr) {
      value = DequantiseH263(level, quant);
    } else {
      const int32_t sign = level < 0 ? -1 : (level > 0 ? 1 : 0);
      value = ClampCoefficient((2 * level + sign) * matrix[position] * quant / 16);
      sum += value;
    }
    block[position] = static_cast<int16_t>(value);
  }
  if (matrix != nullptr) {
    ApplyMismatchControl(block, sum);  // may change the last coefficient
    rows |= 0x80;
  }
  transform(block, residual, rows);
  return Ok;
}

}  // namespace tavrin::reconstruction

namespace tavrin::reference {

PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix) {
  return reconstruction::ReconstructInter(reconstruction::InverseDctRows, bytePos, bitPos, residual,
                                          quant, matrix);
}

PrimitiveStatus InverseDct8x8(int16_t* block) {
  if (block == nullptr) return NullPointer;
  reconstruction::InverseDct(block, block);
  return Ok;
}

}  // namespace tavrin::reference
