#include "primitives/coefficients/coefficient_codes.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "primitives/coefficients/bit_cursor.h"
#include "primitives/coefficients/coefficient_events.h"
#include "primitives/coefficients/coefficient_tables.h"

namespace tavrin::coefficients {
namespace {

inline constexpr CodeWord kEscape = ParseCode(kTcoefEscapeCode);

// The event of the code and sign at the top of window, which holds at least
// 13 stream bits: from the quick table, or for longer codes from the
// zero-run table.  Empty for the escape and for bits that start no code.
inline EventEntry EntryAt(uint32_t window, const TcoefTable& table) {
  const EventEntry quick = table.quick[window >> (32 - kQuickBits)];
  return quick != 0 ? quick : ZeroRunEntry(window, table);
}


}  // namespace

// The escaped event at the cursor, packed like the table entries (escape
// included in its bits), or an empty entry when the bits make no valid
// event.  Out of line, and the cursor passed by value, so that the caller's
// loop keeps its own in registers.
EventEntry ReadEscape(BitCursor bits, const TcoefTable& table) {
  const uint32_t window = bits.Window();
  if ((window >> (32 - kEscape.length)) != kEscape.bits) return 0;
  const uint32_t form = window << kEscape.length;
  if ((form >> 30) != 3) {
    // Types 1 (form 0) and 2 (form 10): a table code with its sign follows,
    // still inside the window (9 + 13 bits).  A second escape there is no
    // valid stream, and its entry is empty.
    const int32_t formBits = static_cast<int32_t>(form >> 31) + 1;
    const EventEntry entry = EntryAt(form << formBits, table);
    if (entry == 0) return 0;
    int32_t level = EventLevel(entry);
    int32_t step = EventStep(entry);
    const std::size_t last = step >= kLastStep ? 1 : 0;
    if (formBits == 1) {
      // Type 1: the level goes beyond the largest one the table codes.
      const int32_t offset = table.lmax[last][static_cast<std::size_t>(step % kLastStep - 1)];
      level += level < 0 ? -offset : offset;
    } else {
      // Type 2: the run goes beyond the longest one the table codes.
      step += table.rmaxPlusOne[last][static_cast<std::size_t>(level < 0 ? -level : level)];
    }
    return PackEvent(level, step, kEscape.length + formBits + EventBits(entry));
  }
  // Type 3: last (1), run (6), marker, level (12, two's complement), marker.
  bits.Skip(kEscape.length + 2);
  const uint32_t fields = bits.Peek(21);
  const int32_t level = static_cast<int32_t>((fields >> 1) & 0xFFF);
  if (((fields >> 13) & 1) == 0 || (fields & 1) == 0 || (level & 0x7FF) == 0) return 0;
  const int32_t run = static_cast<int32_t>((fields >> 14) & 63);
  return PackEvent(level >= 2048 ? level - 4096 : level,
                   run + 1 + ((fields >> 20) != 0 ? kLastStep : 0), kEscape.length + 2 + 21);
}

namespace {

// Where the intra maps keep the list index of a raster position: entries
// 0..7 of the first row, 8 + r of the first column (r = 1..7), and 16 for
// any other position (written, never read), so that storing needs no branch.
using EdgeIndex = std::array<uint8_t, 17>;
inline constexpr std::array<uint8_t, 64> kEdgeSlot = [] {
  std::array<uint8_t, 64> slots{};
  for (uint32_t p = 0; p < 64; ++p) {
    slots[p] = static_cast<uint8_t>(p < 8 ? p : (p & 7) == 0 ? 8 + (p >> 3) : 16);
  }
  return slots;
}();

template <bool kIntra>
PrimitiveStatus DecodeList(BytePointer* bytePos, int32_t* bitPos, const TcoefTable& table,
                           CoefficientList& list, EdgeIndex* edges) {
  BitCursor bits(*bytePos, *bitPos);
  int32_t k = list.count;
  int32_t index = k - 1;
  const auto store = [&](int32_t level) {
    // Intra lists always start with the DC: when it was not coded, it is
    // 0, at scan entry 0 (positions[0] already holds it).
    if constexpr (kIntra) {
      if (k == 0 && index > 0) {
        list.levels[0] = 0;
        k = 1;
      }
    }
    const uint8_t position = list.positions[index];
    list.positions[k] = position;
    list.levels[k] = static_cast<int16_t>(level);
    if constexpr (kIntra) (*edges)[kEdgeSlot[position]] = static_cast<uint8_t>(k);
    ++k;
  };
  PrimitiveStatus status = CoefficientCodeError;
  WalkEvents(bits, table, [&](int32_t level, int32_t step) {
    index += step;
    if (index <= 63) [[likely]] {
      store(level);
      return true;
    }
    // The last event, or a run beyond the block (which leaves index below
    // kLastStep).
    index -= kLastStep;
    if (static_cast<uint32_t>(index) <= 63) {
      store(level);
      status = Ok;
    }
    return false;
  });
  if (status == Ok) bits.StoreTo(bytePos, bitPos);
  list.count = k;
  return status;
}

PrimitiveStatus DecodeScanOrder(BytePointer* bytePos, int32_t* bitPos, const TcoefTable& table,
                                int16_t* scanOrder, int32_t startIndex, int32_t* covered) {
  BitCursor bits(*bytePos, *bitPos);
  int32_t index = startIndex - 1;
  PrimitiveStatus status = CoefficientCodeError;
  WalkEvents(bits, table, [&](int32_t level, int32_t step) {
    int32_t next = index + step;
    if (next > 63) {
      next -= kLastStep;
      if (static_cast<uint32_t>(next) > 63) return false;
      status = Ok;
    }
    index = next;
    scanOrder[index] = static_cast<int16_t>(level);
    return status != Ok;
  });
  *covered = index + 1;
  if (status == Ok) bits.StoreTo(bytePos, bitPos);
  return status;
}

}  // namespace

PrimitiveStatus DecodeIntraCoefficientList(BytePointer* bytePos, int32_t* bitPos,
                                           CoefficientList& list, FirstRowIndex& firstRow,
                                           FirstColumnIndex& firstColumn) {
  EdgeIndex edges{};
  const PrimitiveStatus status = DecodeList<true>(bytePos, bitPos, kIntraTcoefTable, list, &edges);
  std::copy_n(edges.begin(), 8, firstRow.begin());
  std::copy_n(edges.begin() + 8, 8, firstColumn.begin());
  return status;
}

PrimitiveStatus DecodeInterCoefficientList(BytePointer* bytePos, int32_t* bitPos,
                                           CoefficientList& list) {
  return DecodeList<false>(bytePos, bitPos, kInterTcoefTable, list, nullptr);
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
