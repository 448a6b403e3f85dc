// Table rows 29 to 32: coefficients decoded into a raster-order block, and
// the intra DC differential alone.
#include "primitives/coefficients/coefficients.h"

#include <algorithm>
#include <cstddef>

#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/scan_tables.h"

namespace tavrin::reference {
namespace {

using coefficients::DecodeDcDifferential;

// Scan index 0 zigzag, 1 alternate-vertical, 2 alternate-horizontal.
const ScanTable& ScanOfIndex(int32_t scan) {
  if (scan == 1) return kAlternateVerticalScan;
  if (scan == 2) return kAlternateHorizontalScan;
  return kZigzagScan;
}

PrimitiveStatus CheckPosition(BytePointer* bytePos, int32_t* bitPos, const int16_t* block) {
  if (bytePos == nullptr || bitPos == nullptr || block == nullptr || *bytePos == nullptr) {
    return NullPointer;
  }
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  return Ok;
}

void Scatter(const int16_t* scanOrder, int32_t covered, const ScanTable& scan, int16_t* block) {
  for (int32_t i = 0; i < covered; ++i) block[scan[static_cast<std::size_t>(i)]] = scanOrder[i];
}

}  // namespace

PrimitiveStatus DecodeIntraCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                                        int32_t scan, int32_t selector) {
  if (PrimitiveStatus s = CheckPosition(bytePos, bitPos, block); s != Ok) return s;
  if (scan < 0 || scan > 2) return TypeError;
  std::fill(block, block + 64, int16_t{0});
  alignas(16) int16_t scanOrder[64] = {};
  BytePointer byte = *bytePos;
  int32_t bit = *bitPos;
  if (PrimitiveStatus s = DecodeDcDifferential(&byte, &bit, selector == 1 ? 1 : 0, &scanOrder[0]);
      s != Ok) {
    return s;
  }
  int32_t covered = 0;
  if (PrimitiveStatus s =
          coefficients::DecodeIntraCoefficientsInScanOrder(&byte, &bit, scanOrder, 1, &covered);
      s != Ok) {
    return s;
  }
  Scatter(scanOrder, covered, ScanOfIndex(scan), block);
  *bytePos = byte;
  *bitPos = bit;
  return Ok;
}

PrimitiveStatus DecodeIntraCoefficientsNoDc(BytePointer* bytePos, int32_t* bitPos,
                                            int16_t* block, int32_t scan) {
  if (PrimitiveStatus s = CheckPosition(bytePos, bitPos, block); s != Ok) return s;
  if (scan < 0 || scan > 2) return TypeError;
  std::fill(block, block + 64, int16_t{0});
  alignas(16) int16_t scanOrder[64] = {};
  int32_t covered = 0;
  if (PrimitiveStatus s =
          coefficients::DecodeIntraCoefficientsInScanOrder(bytePos, bitPos, scanOrder, 0, &covered);
      s != Ok) {
    return s;
  }
  Scatter(scanOrder, covered, ScanOfIndex(scan), block);
  return Ok;
}

PrimitiveStatus DecodeInterCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block) {
  if (PrimitiveStatus s = CheckPosition(bytePos, bitPos, block); s != Ok) return s;
  std::fill(block, block + 64, int16_t{0});
  alignas(16) int16_t scanOrder[64] = {};
  int32_t covered = 0;
  if (PrimitiveStatus s =
          coefficients::DecodeInterCoefficientsInScanOrder(bytePos, bitPos, scanOrder, 0, &covered);
      s != Ok) {
    return s;
  }
  Scatter(scanOrder, covered, kZigzagScan, block);
  return Ok;
}

PrimitiveStatus DecodeIntraDc(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                              int32_t selector) {
  if (PrimitiveStatus s = CheckPosition(bytePos, bitPos, block); s != Ok) return s;
  int16_t differential = 0;
  const PrimitiveStatus s = DecodeDcDifferential(bytePos, bitPos, selector == 1 ? 1 : 0, &differential);
  // A missing marker bit still delivers the differential.
  if (s == Ok || s == MarkerError) block[0] = differential;
  return s;
}

}  // namespace tavrin::reference
