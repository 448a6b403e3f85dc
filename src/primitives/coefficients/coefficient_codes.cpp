#include "primitives/coefficients/coefficient_codes.h"

#include <cstddef>

#include "primitives/coefficients/bit_cursor.h"
#include "primitives/coefficients/coefficient_tables.h"

namespace tavrin::coefficients {
namespace {

struct CoefficientEvent {
  int32_t last;
  int32_t run;
  int32_t level;  // signed
};

// Consumes the code of a non-escape entry and its sign bit.
void TakeCode(BitCursor& bits, const TcoefEntry& entry, CoefficientEvent& event) {
  bits.Skip(entry.length);
  const int32_t level = entry.level;
  event = {entry.last, entry.run, bits.Read(1) != 0 ? -level : level};
}

// A code from the table followed by its sign bit.  The escape code is
// refused here: after an escape of type 1 or 2 a second escape is no valid
// stream, and its table entry carries no level to use.
bool ReadTableCode(BitCursor& bits, const TcoefTable& table, CoefficientEvent& event) {
  const uint32_t v = bits.Peek(12);
  if (v < 8) return false;
  const TcoefEntry& entry = table.Lookup(v);
  if (entry.length == 0 || entry.level == kEscapeLevel) return false;
  TakeCode(bits, entry, event);
  return true;
}

// One coefficient event, escapes included.
bool ReadEvent(BitCursor& bits, const TcoefTable& table, CoefficientEvent& event) {
  const uint32_t v = bits.Peek(12);
  if (v < 8) return false;
  const TcoefEntry& entry = table.Lookup(v);
  if (entry.length == 0) return false;
  if (entry.level != kEscapeLevel) {
    TakeCode(bits, entry, event);
    return true;
  }
  bits.Skip(entry.length);

  if (bits.Read(1) == 0) {
    // Type 1: the level goes beyond the largest one the table codes.
    if (!ReadTableCode(bits, table, event)) return false;
    const int32_t offset = table.lmax[static_cast<std::size_t>(event.last)][static_cast<std::size_t>(event.run)];
    event.level += event.level < 0 ? -offset : offset;
    return true;
  }
  if (bits.Read(1) == 0) {
    // Type 2: the run goes beyond the longest one the table codes.
    if (!ReadTableCode(bits, table, event)) return false;
    const int32_t magnitude = event.level < 0 ? -event.level : event.level;
    event.run += table.rmaxPlusOne[static_cast<std::size_t>(event.last)][static_cast<std::size_t>(magnitude)];
    return true;
  }
  // Type 3: last (1), run (6), marker, level (12, two's complement), marker.
  const uint32_t fields = bits.Read(21);
  const uint32_t level = (fields >> 1) & 0xFFF;
  if (((fields >> 13) & 1) == 0 || (fields & 1) == 0 || (level & 0x7FF) == 0) return false;
  event.last = static_cast<int32_t>(fields >> 20);
  event.run = static_cast<int32_t>((fields >> 14) & 63);
  event.level = level >= 2048 ? static_cast<int32_t>(level) - 4096 : static_cast<int32_t>(level);
  return true;
}

PrimitiveStatus DecodeList(BytePointer* bytePos, int32_t* bitPos, const TcoefTable& table,
                           CoefficientList& list, FirstRowIndex* firstRow,
                           FirstColumnIndex* firstColumn) {
  BitCursor bits(*bytePos, *bitPos);
  int32_t index = list.count - 1;
  CoefficientEvent event{};
  do {
    if (!ReadEvent(bits, table, event)) return CoefficientCodeError;
    index += event.run + 1;
    if (index > 63) return CoefficientCodeError;
    // Intra lists (the ones with maps) always start with the DC.
    if (firstRow != nullptr && list.count == 0 && index > 0) {
      // The DC was not coded: it is 0, at scan entry 0 (positions[0]
      // already holds it).
      list.levels[0] = 0;
      list.count = 1;
    }
    const int32_t k = list.count;
    const uint8_t position = list.positions[index];
    list.positions[k] = position;
    list.levels[k] = static_cast<int16_t>(event.level);
    if (firstRow != nullptr) {
      if (position < 8) {
        (*firstRow)[position] = static_cast<uint8_t>(k);
      } else if ((position & 7) == 0) {
        (*firstColumn)[position >> 3] = static_cast<uint8_t>(k);
      }
    }
    list.count = k + 1;
  } while (event.last == 0);
  bits.StoreTo(bytePos, bitPos);
  return Ok;
}

PrimitiveStatus DecodeScanOrder(BytePointer* bytePos, int32_t* bitPos, const TcoefTable& table,
                                int16_t* scanOrder, int32_t startIndex, int32_t* covered) {
  BitCursor bits(*bytePos, *bitPos);
  int32_t index = startIndex - 1;
  CoefficientEvent event{};
  do {
    *covered = index + 1;
    if (!ReadEvent(bits, table, event)) return CoefficientCodeError;
    const int32_t next = index + event.run + 1;
    if (next > 63) return CoefficientCodeError;
    index = next;
    scanOrder[index] = static_cast<int16_t>(event.level);
  } while (event.last == 0);
  *covered = index + 1;
  bits.StoreTo(bytePos, bitPos);
  return Ok;
}

}  // namespace

PrimitiveStatus DecodeDcDifferential(BytePointer* bytePos, int32_t* bitPos, int32_t chrominance,
                                     int16_t* differential) {
  BitCursor bits(*bytePos, *bitPos);
  const DcSizeTable& table = chrominance != 0 ? kChrominanceDcSizeTable : kLuminanceDcSizeTable;
  const uint8_t entry = table[bits.Peek(12)];
  if (entry == 0) return CoefficientCodeError;
  bits.Skip(entry & 15);
  const int32_t size = entry >> 4;
  int32_t value = 0;
  if (size > 0) {
    const int32_t v = static_cast<int32_t>(bits.Read(size));
    // A leading 0 bit marks a negative differential in ones' complement.
    value = (v >> (size - 1)) != 0 ? v : v - ((1 << size) - 1);
  }
  *differential = static_cast<int16_t>(value);
  if (size > 8 && bits.Read(1) == 0) return MarkerError;
  bits.StoreTo(bytePos, bitPos);
  return Ok;
}

PrimitiveStatus DecodeIntraCoefficientList(BytePointer* bytePos, int32_t* bitPos,
                                           CoefficientList& list, FirstRowIndex& firstRow,
                                           FirstColumnIndex& firstColumn) {
  firstRow.fill(0);
  firstColumn.fill(0);
  return DecodeList(bytePos, bitPos, kIntraTcoefTable, list, &firstRow, &firstColumn);
}

PrimitiveStatus DecodeInterCoefficientList(BytePointer* bytePos, int32_t* bitPos,
                                           CoefficientList& list) {
  return DecodeList(bytePos, bitPos, kInterTcoefTable, list, nullptr, nullptr);
}

PrimitiveStatus DecodeIntraCoefficientsInScanOrder(BytePointer* bytePos, int32_t* bitPos,
                                                   int16_t* scanOrder, int32_t startIndex,
                                                   int32_t* covered) {
  return DecodeScanOrder(bytePos, bitPos, kIntraTcoefTable, scanOrder, startIndex, covered);
}

PrimitiveStatus DecodeInterCoefficientsInScanOrder(BytePointer* bytePos, int32_t* bitPos,
                                                   int16_t* scanOrder, int32_t startIndex,
                                                   int32_t* covered) {
  return DecodeScanOrder(bytePos, bitPos, kInterTcoefTable, scanOrder, startIndex, covered);
}

}  // namespace tavrin::coefficients
