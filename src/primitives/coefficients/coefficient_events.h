// The event loop of the coefficient decoders, for the decoders here and for
// block reconstruction that takes the events straight into a block: each
// (last, run, level) code, escapes included, as its signed level and its
// step through the scan.
#pragma once

#include <cstdint>
#include <type_traits>

#include "primitives/coefficients/bit_cursor.h"
#include "primitives/coefficients/coefficient_tables.h"
#include "primitives/primitive_types.h"

namespace tavrin::coefficients {

// The zero-run entry for the top of window.
inline EventEntry ZeroRunEntry(uint32_t window, const TcoefTable& table) {
  return table.zeroRun[(window >> (32 - kZeroRunLength - kZeroRunBits)) &
                       ((1u << kZeroRunBits) - 1)];
}

// The escaped event at the cursor, packed like the table entries (escape
// included in its bits), or an empty entry when the bits make no valid
// event.  Out of line, and the cursor passed by value, so that the caller's
// loop keeps its own in registers.
[[gnu::noinline]] EventEntry ReadEscape(BitCursor bits, const TcoefTable& table);

// The escape forms the decoding loops read by default: the three of
// ISO/IEC 14496-2 (ReadEscape).  A loop can be given another form, with the
// same Read.
struct Mpeg4Escape {
  static EventEntry Read(BitCursor bits, const TcoefTable& table) { return ReadEscape(bits, table); }
};

// Reads events, passing each one's signed level and step to take, until take
// returns false or the bits make no valid event.
//
// The quick lookup of an event uses the word loaded for the event before
// it, at that event's first byte, so that the load does not wait for the
// length of the code before: that word still holds the quick bits (at most
// 7 + 13 of it are consumed).  Longer codes and escapes, which need more
// bits, read from the word loaded at the current byte.
static_assert(7 + 13 + kQuickBits <= 32);

// takeEscaped receives the escaped events, the only ones whose level is not
// bounded by kLongestLevel; Escape reads them.
template <typename Escape = Mpeg4Escape, typename Take, typename TakeEscaped>
void WalkEvents(BitCursor& bits, const TcoefTable& table, Take&& take, TakeEscaped&& takeEscaped) {
  uint32_t word = bits.Word();
  // Only the low five bits of offset count.  After an event it is the sum of
  // the next offset and the whole entry, whose low five bits are the event's
  // length: the sum's low five bits are then the offset (below 32, as the
  // assertion above shows), and the shift below takes just those, as the
  // processor's shift does by itself, so that the length need not be cut
  // out of the entry on the way from one look-up to the next.
  uint32_t offset = static_cast<uint32_t>(bits.bit());
  for (;;) {
    const uint32_t nextWord = bits.Word();
    const int32_t nextOffset = bits.bit();
    EventEntry entry = table.quick[(word << (offset & 31)) >> (32 - kQuickBits)];
    if (entry == 0) [[unlikely]] {
      entry = ZeroRunEntry(nextWord << nextOffset, table);
      if (entry == 0) {
        entry = Escape::Read(bits, table);
        if (entry == 0) return;
        bits.Skip(EventBits(entry));
        if (!takeEscaped(EventLevel(entry), EventStep(entry))) return;
        word = bits.Word();
        offset = static_cast<uint32_t>(bits.bit());
        continue;
      }
    }
    bits.Skip(EventBits(entry));
    if (!take(EventLevel(entry), EventStep(entry))) return;
    word = nextWord;
    offset = static_cast<uint32_t>(nextOffset) + entry;
  }
}

template <typename Escape = Mpeg4Escape, typename Take>
void WalkEvents(BitCursor& bits, const TcoefTable& table, Take&& take) {
  WalkEvents<Escape>(bits, table, take, take);
}

// The events of one block straight into the caller's arrays: from scan
// index firstIndex on, put(index, level, escaped) for each event inside the
// block, escaped being std::true_type for escaped events (the only ones
// whose level is not bounded by kLongestLevel) and std::false_type
// otherwise.  Ok after the last event, with its scan index in lastIndex;
// CoefficientCodeError for a code that is none or a run beyond the block.
template <typename Escape = Mpeg4Escape, typename Put>
PrimitiveStatus WalkBlock(BitCursor& bits, const TcoefTable& table, int32_t firstIndex,
                          int32_t& lastIndex, Put&& put) {
  int32_t index = firstIndex - 1;
  PrimitiveStatus status = CoefficientCodeError;
  auto take = [&](int32_t level, int32_t step, auto escaped) {
    index += step;
    if (index <= 63) [[likely]] {
      put(index, level, escaped);
      return true;
    }
    // The last event, or a run beyond the block.
    index -= kLastStep;
    if (static_cast<uint32_t>(index) <= 63) {
      put(index, level, escaped);
      status = Ok;
    }
    return false;
  };
  WalkEvents<Escape>(
      bits, table, [&](int32_t level, int32_t step) { return take(level, step, std::false_type{}); },
      [&](int32_t level, int32_t step) { return take(level, step, std::true_type{}); });
  lastIndex = index;
  return status;
}

}  // namespace tavrin::coefficients
