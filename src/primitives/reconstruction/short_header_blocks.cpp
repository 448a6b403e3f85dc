#include "primitives/reconstruction/short_header_blocks.h"

#include <cstddef>

#include "primitives/coefficients/coefficient_events.h"
#include "primitives/coefficients/short_header_coefficients.h"
#include "primitives/reconstruction/block_arithmetic.h"
#include "primitives/reconstruction/intra_block.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/scan_tables.h"

namespace tavrin::reconstruction {

PrimitiveStatus ReconstructShortHeaderIntra(InverseDctStoreFn store, BytePointer* bytePos,
                                            int32_t* bitPos, int32_t coded, int32_t quant,
                                            uint8_t* destination, int32_t stride) {
  if (bytePos == nullptr || bitPos == nullptr || *bytePos == nullptr || destination == nullptr)
    return NullPointer;
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  if (quant < 1 || quant > 31) return QuantiserError;
  if (stride < 8) return Step8Error;
  coefficients::BitCursor bits(*bytePos, *bitPos);
  const uint32_t dcCode = bits.Read(8);
  const int32_t dc = 8 * static_cast<int32_t>(dcCode == 255 ? 128 : dcCode);
  if (coded == 0) {
    FillFlat(destination, stride, dc);
    bits.StoreTo(bytePos, bitPos);
    return Ok;
  }
  alignas(16) int16_t block[64];
  ClearBlock(block);
  block[0] = static_cast<int16_t>(dc);
  uint32_t rows = 1;
  const H263Dequantiser dequantise(quant);
  int32_t lastIndex = 0;
  const PrimitiveStatus status = coefficients::WalkBlock<coefficients::ShortHeaderEscape>(
      bits, coefficients::kInterTcoefTable, 1, lastIndex,
      [&](int32_t index, int32_t level, auto escaped) {
        int32_t value = dequantise(level);
        if constexpr (decltype(escaped)::value) value = ClampCoefficient(value);
        const uint8_t position = kZigzagScan[static_cast<std::size_t>(index)];
        block[position] = static_cast<int16_t>(value);
        rows |= 1u << (position >> 3);
      });
  if (status != Ok) return status;
  bits.StoreTo(bytePos, bitPos);
  store(block, rows, destination, stride);
  return Ok;
}

}  // namespace tavrin::reconstruction

namespace tavrin::reference {

PrimitiveStatus ReconstructShortHeaderIntra(BytePointer* bytePos, int32_t* bitPos, int32_t coded,
                                            int32_t quant, uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructShortHeaderIntra(reconstruction::InverseDctStore, bytePos,
                                                     bitPos, coded, quant, destination, stride);
}

PrimitiveStatus ReconstructShortHeaderInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                               uint8_t* destination, int32_t stride) {
  return reconstruction::ReconstructShortHeaderInterAdd(reconstruction::InverseDctAdd,
                                                        reconstruction::AddFlat, bytePos, bitPos,
                                                        quant, destination, stride);
}

}  // namespace tavrin::reference
