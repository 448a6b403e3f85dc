// Transform coefficients of short-header (baseline H.263) blocks: the
// (last, run, level) codes of the inter table for intra and inter blocks
// alike, and an escape of fixed length: the escape code, last (1 bit), run
// (6 bits) and level (8 bits, two's complement; 0 and -128 are no level).
#pragma once

#include <cstdint>

#include "primitives/coefficients/bit_cursor.h"
#include "primitives/coefficients/coefficient_tables.h"
#include "primitives/primitive_types.h"

namespace tavrin::coefficients {

// The escape form of short-header blocks, for WalkEvents and WalkBlock.
struct ShortHeaderEscape {
  // The escaped event at the cursor, packed like the table entries (escape
  // included in its bits), or an empty entry when the bits make none.
  [[gnu::noinline]] static EventEntry Read(BitCursor bits, const TcoefTable& table);
};

// Bits of the whole escaped event.
inline constexpr int32_t kShortHeaderEscapeBits = 7 + 1 + 6 + 8;

// The codes of one block from scan index firstIndex (0, or 1 after an
// intra DC) to the last event, each level stored as coded at its zigzag
// position in block (64 values, raster order; the other values are left as
// they are).  Ok with the position moved past the block;
// CoefficientCodeError for bits that make no event or a run beyond the
// block, the position then unchanged (levels stored before the bad code
// stay).
PrimitiveStatus DecodeShortHeaderCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                                              int32_t firstIndex);

}  // namespace tavrin::coefficients
