// Variable-length decoding of transform coefficients (ISO/IEC 14496-2 block
// layer): the intra DC differential, and the (last, run, level) codes with
// their three escape forms, into a coefficient list (used by the fused block
// reconstruction primitives) or into a scan-order array (used by the
// coefficient primitives).
//
// All operations read through a BitPosition: on success it moves past what
// was consumed, on failure it is left as it was.  They may read up to four
// bytes beyond the last byte they consume.  Arguments are not checked: the
// calling primitives have done that.
#pragma once

#include <array>
#include <cstdint>

#include "primitives/coefficients/bit_cursor.h"
#include "primitives/coefficients/coefficient_tables.h"
#include "primitives/primitive_types.h"

namespace tavrin::coefficients {

// Coefficients of one block in decoding order.  positions starts as the
// caller's copy of the scan in use; decoding overwrites entry k with the
// raster position of the k-th coefficient (an entry is only overwritten after
// it was read, because scan indices only grow).
struct CoefficientList {
  int32_t count;
  alignas(16) int16_t levels[64];
  uint8_t positions[64];
};

// For raster positions 0..7 (first row) and 8r, r = 1..7 (first column): the
// list index of the coefficient there.  0 means none, as list index 0 always
// belongs to the DC.
using FirstRowIndex = std::array<uint8_t, 8>;
using FirstColumnIndex = std::array<uint8_t, 8>;

// The intra DC differential: dct_dc_size (chrominance code when chrominance
// is nonzero), the differential bits, and the marker bit after sizes above 8.
// A missing marker gives MarkerError with the differential already stored.
inline PrimitiveStatus DecodeDcDifferential(BytePointer* bytePos, int32_t* bitPos,
                                            int32_t chrominance, int16_t* differential) {
  BitCursor bits(*bytePos, *bitPos);
  const DcSizeTable& table = chrominance != 0 ? kChrominanceDcSizeTable : kLuminanceDcSizeTable;
  // Size code, differential and marker all lie in one window.
  const uint32_t window = bits.Window();
  const uint8_t entry = table[window >> 20];
  if (entry == 0) return CoefficientCodeError;
  const int32_t length = entry & 15;
  const int32_t size = entry >> 4;
  const uint32_t rest = window << length;
  int32_t value = 0;
  if (size > 0) {
    const int32_t v = static_cast<int32_t>(rest >> (32 - size));
    // A leading 0 bit marks a negative differential in ones' complement.
    value = (v >> (size - 1)) != 0 ? v : v - ((1 << size) - 1);
  }
  *differential = static_cast<int16_t>(value);
  if (size > 8) {
    if (((rest << size) >> 31) == 0) return MarkerError;
    bits.Skip(1);
  }
  bits.Skip(length + size);
  bits.StoreTo(bytePos, bitPos);
  return Ok;
}

// Intra codes until the one with last = 1.  The list holds no entries, or
// one (the DC) when the DC was decoded separately.  Without a separate DC, a
// first coefficient beyond index 0 is preceded by a DC entry of level 0.
// The count is kept current after every coefficient.
PrimitiveStatus DecodeIntraCoefficientList(BytePointer* bytePos, int32_t* bitPos,
                                           CoefficientList& list, FirstRowIndex& firstRow,
                                           FirstColumnIndex& firstColumn);

// Inter codes until the one with last = 1, into an empty list whose
// positions are a copy of the zigzag scan.
PrimitiveStatus DecodeInterCoefficientList(BytePointer* bytePos, int32_t* bitPos,
                                           CoefficientList& list);

// Scan-order forms: each level is stored at its scan index in scanOrder (64
// values), the first coefficient at startIndex + run.  covered receives the
// number of scan positions up to the last coefficient stored (on failure,
// up to the last one stored before it; never more than 64).
PrimitiveStatus DecodeIntraCoefficientsInScanOrder(BytePointer* bytePos, int32_t* bitPos,
                                                   int16_t* scanOrder, int32_t startIndex,
                                                   int32_t* covered);
PrimitiveStatus DecodeInterCoefficientsInScanOrder(BytePointer* bytePos, int32_t* bitPos,
                                                   int16_t* scanOrder, int32_t startIndex,
                                                   int32_t* covered);

}  // namespace tavrin::coefficients
