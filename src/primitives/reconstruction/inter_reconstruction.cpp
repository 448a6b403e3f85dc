// Table slots 34 (ReconstructInter) and 40 (InverseDct8x8): an inter block's
// codes to its 16-bit residual, and the bare transform.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/coefficients/coefficient_events.h"
#include "primitives/reconstruction/block_arithmetic.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/scan_tables.h"

namespace tavrin::reconstruction {

namespace {

// The bit of the block row each scan position falls in.
constexpr std::array<uint8_t, 64> kScanRowBits = [] {
  std::array<uint8_t, 64> bits{};
  for (std::size_t i = 0; i < 64; ++i) bits[i] = static_cast<uint8_t>(1u << (kZigzagScan[i] >> 3));
  return bits;
}();

// Without a matrix the levels go from the codes straight into the block,
// dequantised on the way, with no list in between: the same results as the
// list form below, which the matrix method needs for its mismatch control.
PrimitiveStatus ReconstructH263(InverseDctRowsFn transform, BytePointer* bytePos,
                                int32_t* bitPos, int16_t* residual, int32_t quant) {
  // Cleared 16 bytes at a time: for a plain = {} GCC emits a string store,
  // whose start-up costs more than the eight stores.
  alignas(16) int16_t block[64];
  for (int32_t i = 0; i < 64; i += 8) std::memset(block + i, 0, 16);
  const H263Dequantiser dequantise(quant);
  coefficients::BitCursor bits(*bytePos, *bitPos);
  uint32_t rows = 0;  // the rows holding coefficients
  // Only an escaped level can take the dequantised value out of the 12-bit
  // range; a table level cannot (at most 32 * 62 + 31).
  static_assert(coefficients::kLongestLevel * 62 + 31 <= 2047);
  int32_t lastIndex = 0;
  const PrimitiveStatus status = coefficients::WalkBlock(
      bits, coefficients::kInterTcoefTable, 0, lastIndex,
      [&](int32_t index, int32_t level, auto escaped) {
        int32_t value = dequantise(level);
        if constexpr (decltype(escaped)::value) value = ClampCoefficient(value);
        block[kZigzagScan[static_cast<std::size_t>(index)]] = static_cast<int16_t>(value);
        rows |= kScanRowBits[static_cast<std::size_t>(index)];
      });
  if (status != Ok) return status;
  bits.StoreTo(bytePos, bitPos);

  // A lone DC (levels are never 0): the transform of it is flat.  Scan
  // indices only grow, so a last coefficient at index 0 is the only one.
  if (lastIndex == 0) {
    std::fill(residual, residual + 64, static_cast<int16_t>((block[0] + 4) >> 3));
    return Ok;
  }
  transform(block, residual, rows);
  return Ok;
}

}  // namespace

PrimitiveStatus ReconstructInter(InverseDctRowsFn transform, BytePointer* bytePos, int32_t* bitPos,
                                 int16_t* residual, int32_t quant, const uint8_t* matrix) {
  if (bytePos == nullptr || bitPos == nullptr || residual == nullptr || *bytePos == nullptr) {
    return NullPointer;
  }
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  if (quant < 1 || quant > 31) return QuantiserError;
  if (matrix == nullptr) return ReconstructH263(transform, bytePos, bitPos, residual, quant);

  coefficients::CoefficientList list;
  std::copy(kZigzagScan.begin(), kZigzagScan.end(), list.positions);
  list.count = 0;
  if (PrimitiveStatus s = coefficients::DecodeInterCoefficientList(bytePos, bitPos, list); s != Ok) {
    return s;
  }

  // The matrix method.
  alignas(16) int16_t block[64];
  for (int32_t i = 0; i < 64; i += 8) std::memset(block + i, 0, 16);
  int32_t sum = 0;
  for (int32_t k = 0; k < list.count; ++k) {
    const uint8_t position = list.positions[k];
    const int32_t level = list.levels[k];
    const int32_t sign = level < 0 ? -1 : (level > 0 ? 1 : 0);
    const int32_t value = ClampCoefficient((2 * level + sign) * matrix[position] * quant / 16);
    sum += value;
    block[position] = static_cast<int16_t>(value);
  }
  ApplyMismatchControl(block, sum);  // may change the last coefficient
  const uint32_t rows = 0xFF;
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
