// Table slots 34 (ReconstructInter) and 40 (InverseDct8x8): an inter block's
// codes to its 16-bit residual, and the bare transform; and the inter block
// decoded and added onto its prediction in one step.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "primitives/blockcopy/blockcopy.h"
#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/coefficients/coefficient_events.h"
#include "primitives/coefficients/short_header_coefficients.h"
#include "primitives/reconstruction/block_arithmetic.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/scan_tables.h"

namespace tavrin::reconstruction {

namespace {

// The bit of the block row each scan position falls in.
constexpr std::array<uint8_t, 64> RowBitsOf(const ScanTable& scan) {
  std::array<uint8_t, 64> bits{};
  for (std::size_t i = 0; i < 64; ++i) bits[i] = static_cast<uint8_t>(1u << (scan[i] >> 3));
  return bits;
}
constexpr std::array<uint8_t, 64> kScanRowBits = RowBitsOf(kZigzagScan);
constexpr std::array<uint8_t, 64> kAlternateVerticalRowBits = RowBitsOf(kAlternateVerticalScan);

// The coefficient order of inter blocks: the zigzag scan, or the alternate
// vertical scan of interlaced pictures that ask for it.
struct ZigzagOrder {
  static constexpr const ScanTable& kScan = kZigzagScan;
  static constexpr const std::array<uint8_t, 64>& kRowBits = kScanRowBits;
};
struct AlternateVerticalOrder {
  static constexpr const ScanTable& kScan = kAlternateVerticalScan;
  static constexpr const std::array<uint8_t, 64>& kRowBits = kAlternateVerticalRowBits;
};

// Where a decoded block goes: into a 16-bit residual, or added straight onto
// the prediction in the picture.  Flat is the residual of a lone DC, one
// value throughout.
struct ToResidual {
  InverseDctRowsFn transform;
  int16_t* residual;
  void Full(const int16_t* block, uint32_t rows) const { transform(block, residual, rows); }
  void Flat(int16_t value) const { std::fill(residual, residual + 64, value); }
};

struct OntoPicture {
  InverseDctAddFn transformAdd;
  AddFlatFn addFlat;
  uint8_t* destination;
  int32_t stride;
  void Full(const int16_t* block, uint32_t rows) const {
    transformAdd(block, rows, destination, stride);
  }
  void Flat(int16_t value) const { addFlat(value, destination, stride); }
};

// Without a matrix the levels go from the codes straight into the block,
// dequantised on the way, with no list in between: the same results as the
// list form below, which the matrix method needs for its mismatch control.
// Order names the scan, Escape the escape form (short-header blocks have
// one of their own).
template <typename Order, typename Escape = coefficients::Mpeg4Escape, typename Output, typename Ready>
PrimitiveStatus ReconstructH263(const Output& output, Ready ready, BytePointer* bytePos,
                                int32_t* bitPos, int32_t quant) {
  alignas(16) int16_t block[64];
  ClearBlock(block);
  const H263Dequantiser dequantise(quant);
  coefficients::BitCursor bits(*bytePos, *bitPos);
  uint32_t rows = 0;  // the rows holding coefficients
  // Only an escaped level can take the dequantised value out of the 12-bit
  // range; a table level cannot (at most 32 * 62 + 31).
  static_assert(coefficients::kLongestLevel * 62 + 31 <= 2047);
  int32_t lastIndex = 0;
  const PrimitiveStatus status = coefficients::WalkBlock<Escape>(
      bits, coefficients::kInterTcoefTable, 0, lastIndex,
      [&](int32_t index, int32_t level, auto escaped) {
        int32_t value = dequantise(level);
        if constexpr (decltype(escaped)::value) value = ClampCoefficient(value);
        block[Order::kScan[static_cast<std::size_t>(index)]] = static_cast<int16_t>(value);
        rows |= Order::kRowBits[static_cast<std::size_t>(index)];
      });
  if (status != Ok) return status;
  bits.StoreTo(bytePos, bitPos);
  if (const PrimitiveStatus s = ready(); s != Ok) return s;

  // A lone DC (levels are never 0): the transform of it is flat.  Scan
  // indices only grow, so a last coefficient at index 0 is the only one.
  if (lastIndex == 0) {
    output.Flat(static_cast<int16_t>((block[0] + 4) >> 3));
    return Ok;
  }
  output.Full(block, rows);
  return Ok;
}

// The matrix method, from a coefficient list.
template <typename Order, typename Output, typename Ready>
PrimitiveStatus ReconstructWithMatrix(const Output& output, Ready ready, BytePointer* bytePos,
                                      int32_t* bitPos, int32_t quant, const uint8_t* matrix) {
  coefficients::CoefficientList list;
  std::copy(Order::kScan.begin(), Order::kScan.end(), list.positions);
  list.count = 0;
  if (PrimitiveStatus s = coefficients::DecodeInterCoefficientList(bytePos, bitPos, list); s != Ok) {
    return s;
  }
  if (const PrimitiveStatus s = ready(); s != Ok) return s;

  alignas(16) int16_t block[64];
  ClearBlock(block);
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
  output.Full(block, 0xFF);
  return Ok;
}

PrimitiveStatus CheckInterArguments(BytePointer* bytePos, int32_t* bitPos, int32_t quant) {
  if (bytePos == nullptr || bitPos == nullptr || *bytePos == nullptr) return NullPointer;
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  if (quant < 1 || quant > 31) return QuantiserError;
  return Ok;
}

template <typename Order = ZigzagOrder, typename Output, typename Ready>
PrimitiveStatus Reconstruct(const Output& output, Ready ready, BytePointer* bytePos,
                            int32_t* bitPos, int32_t quant, const uint8_t* matrix) {
  if (matrix == nullptr) return ReconstructH263<Order>(output, ready, bytePos, bitPos, quant);
  return ReconstructWithMatrix<Order>(output, ready, bytePos, bitPos, quant, matrix);
}

template <typename Order>
PrimitiveStatus ReconstructAndAdd(InverseDctAddFn transformAdd, AddFlatFn addFlat,
                                  BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                  const uint8_t* matrix, uint8_t* destination, int32_t stride) {
  if (const PrimitiveStatus s = CheckInterArguments(bytePos, bitPos, quant); s != Ok) return s;
  const auto ready = [&]() -> PrimitiveStatus {
    if (destination == nullptr) return NullPointer;
    return stride < 8 ? Step8Error : Ok;
  };
  return Reconstruct<Order>(OntoPicture{transformAdd, addFlat, destination, stride}, ready,
                            bytePos, bitPos, quant, matrix);
}

}  // namespace

PrimitiveStatus ReconstructInter(InverseDctRowsFn transform, BytePointer* bytePos, int32_t* bitPos,
                                 int16_t* residual, int32_t quant, const uint8_t* matrix) {
  if (residual == nullptr) return NullPointer;
  if (const PrimitiveStatus s = CheckInterArguments(bytePos, bitPos, quant); s != Ok) return s;
  return Reconstruct(ToResidual{transform, residual}, [] { return Ok; }, bytePos, bitPos, quant,
                     matrix);
}

// The destination is checked only once the block is read, as adding a
// decoded residual would find it: a bad destination still consumes the
// block's codes.
PrimitiveStatus ReconstructInterAdd(InverseDctAddFn transformAdd, AddFlatFn addFlat,
                                    BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride) {
  return ReconstructAndAdd<ZigzagOrder>(transformAdd, addFlat, bytePos, bitPos, quant, matrix,
                                        destination, stride);
}

PrimitiveStatus ReconstructInterAddAlternate(InverseDctAddFn transformAdd, AddFlatFn addFlat,
                                             BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride) {
  return ReconstructAndAdd<AlternateVerticalOrder>(transformAdd, addFlat, bytePos, bitPos, quant,
                                                   matrix, destination, stride);
}

PrimitiveStatus ReconstructInterAlternate(InverseDctRowsFn transform, BytePointer* bytePos,
                                          int32_t* bitPos, int16_t* residual, int32_t quant,
                                          const uint8_t* matrix) {
  if (residual == nullptr) return NullPointer;
  if (const PrimitiveStatus s = CheckInterArguments(bytePos, bitPos, quant); s != Ok) return s;
  return Reconstruct<AlternateVerticalOrder>(ToResidual{transform, residual}, [] { return Ok; },
                                             bytePos, bitPos, quant, matrix);
}

PrimitiveStatus ReconstructShortHeaderInterAdd(InverseDctAddFn transformAdd, AddFlatFn addFlat,
                                               BytePointer* bytePos, int32_t* bitPos,
                                               int32_t quant, uint8_t* destination,
                                               int32_t stride) {
  if (const PrimitiveStatus s = CheckInterArguments(bytePos, bitPos, quant); s != Ok) return s;
  const auto ready = [&]() -> PrimitiveStatus {
    if (destination == nullptr) return NullPointer;
    return stride < 8 ? Step8Error : Ok;
  };
  return ReconstructH263<ZigzagOrder, coefficients::ShortHeaderEscape>(
      OntoPicture{transformAdd, addFlat, destination, stride}, ready, bytePos, bitPos, quant);
}

}  // namespace tavrin::reconstruction

namespace tavrin::reference {

PrimitiveStatus ReconstructInter(BytePointer* bytePos, int32_t* bitPos, int16_t* residual,
                                 int32_t quant, const uint8_t* matrix) {
  return reconstruction::ReconstructInter(reconstruction::InverseDctRows, bytePos, bitPos, residual,
                                          quant, matrix);
}

// Decoding into a residual and adding it with the block primitive is what
// reconstruct-and-add means; the fast forms fuse the two.
PrimitiveStatus ReconstructInterAdd(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                    const uint8_t* matrix, uint8_t* destination, int32_t stride) {
  alignas(16) int16_t residual[64];
  const PrimitiveStatus s = ReconstructInter(bytePos, bitPos, residual, quant, matrix);
  if (s != Ok) return s;
  return AddResidual8x8(destination, residual, stride);
}

// As ReconstructInterAdd, the coefficients in the alternate vertical scan.
PrimitiveStatus ReconstructInterAddAlternate(BytePointer* bytePos, int32_t* bitPos, int32_t quant,
                                             const uint8_t* matrix, uint8_t* destination,
                                             int32_t stride) {
  alignas(16) int16_t residual[64];
  const PrimitiveStatus s = reconstruction::ReconstructInterAlternate(
      reconstruction::InverseDctRows, bytePos, bitPos, residual, quant, matrix);
  if (s != Ok) return s;
  return AddResidual8x8(destination, residual, stride);
}

PrimitiveStatus InverseDct8x8(int16_t* block) {
  if (block == nullptr) return NullPointer;
  reconstruction::InverseDct(block, block);
  return Ok;
}

}  // namespace tavrin::reference
