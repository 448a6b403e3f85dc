// The reversible codes of the block layer: (last, run, level) events coded
// so that they read the same forwards and backwards, for data-partitioned
// pictures whose layer header sets reversible_vlc.  A stream damaged in the
// middle of a packet's residuals can then be read from both ends.
//
// Every code is followed by its sign bit (1 negative).  Events the tables
// do not hold are escaped: 0000 1, last (1), run (6), a 1, the level's
// magnitude (11 bits, 1..2047), a 1, 0000, and the sign bit; the escape reads
// back as it reads forward.  The intra and inter tables share their code
// words, with different events for those whose last is 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "primitives/primitive_types.h"

namespace tavrin::coefficients {

struct ReversibleCode {
  const char* bits;  // '0' and '1', without the sign bit
  uint8_t last;
  uint8_t run;
  uint8_t level;
};

inline constexpr int32_t kReversibleCodeCount = 169;
inline constexpr const char* kReversibleEscape = "0000";
inline constexpr int32_t kReversibleEscapeLength = 30;  // the whole escaped event

// The events whose last is 0 differ between the two tables; those whose
// last is 1 are the same in both and follow them in each table.
inline constexpr int32_t kReversibleNotLastCount = 103;
inline constexpr ReversibleCode kIntraReversibleNotLast[kReversibleNotLastCount] = {
    {"110", 0, 0, 1}, {"111", 0, 0, 2}, {"1010", 0, 0, 3}, {"01001", 0, 0, 4}, {"010100", 0, 0, 5},
    {"010101", 0, 0, 6}, {"0110100", 0, 0, 7}, {"01110100", 0, 0, 8}, {"01110101", 0, 0, 9},
    {"011011101", 0, 0, 10}, {"011101100", 0, 0, 11}, {"0111101100", 0, 0, 12},
    {"0111101101", 0, 0, 13}, {"0111110100", 0, 0, 14}, {"01111101100", 0, 0, 15},
    {"01111101101", 0, 0, 16}, {"01111110100", 0, 0, 17}, {"011101111101", 0, 0, 18},
    {"011110111100", 0, 0, 19}, {"0111110111101", 0, 0, 20}, {"0111111011100", 0, 0, 21},
    {"011110111101", 0, 0, 22}, {"0111111011101", 0, 0, 23}, {"01111110111101", 0, 0, 24},
    {"01111111011100", 0, 0, 25}, {"01111111011101", 0, 0, 26}, {"001111111111100", 0, 0, 27},
    {"0001", 0, 1, 1}, {"01000", 0, 1, 2}, {"0101101", 0, 1, 3}, {"01101100", 0, 1, 4},
    {"01101101", 0, 1, 5}, {"011011100", 0, 1, 6}, {"0111011101", 0, 1, 7},
    {"01111011100", 0, 1, 8}, {"01111011101", 0, 1, 9}, {"011101111100", 0, 1, 10},
    {"0111110111100", 0, 1, 11}, {"01111101111101", 0, 1, 12}, {"01111110111100", 0, 1, 13},
    {"00100", 0, 2, 1}, {"0101100", 0, 2, 2}, {"010111100", 0, 2, 3}, {"0111011100", 0, 2, 4},
    {"01110111100", 0, 2, 5}, {"01110111101", 0, 2, 6}, {"0111011111101", 0, 2, 7},
    {"0111101111100", 0, 2, 8}, {"0111101111101", 0, 2, 9}, {"01111011111101", 0, 2, 10},
    {"01111101111100", 0, 2, 11}, {"00101", 0, 3, 1}, {"01011100", 0, 3, 2}, {"010111101", 0, 3, 3},
    {"01101111101", 0, 3, 4}, {"011011111100", 0, 3, 5}, {"0111011111100", 0, 3, 6},
    {"01110111111101", 0, 3, 7}, {"01111011111100", 0, 3, 8}, {"001111111111101", 0, 3, 9},
    {"001100", 0, 4, 1}, {"01011101", 0, 4, 2}, {"0110111101", 0, 4, 3}, {"001111111101", 0, 4, 4},
    {"011011111101", 0, 4, 5}, {"01101111111101", 0, 4, 6}, {"001101", 0, 5, 1},
    {"001111101", 0, 5, 2}, {"01011111100", 0, 5, 3}, {"010111111100", 0, 5, 4},
    {"01101111111100", 0, 5, 5}, {"01110111111100", 0, 5, 6}, {"0011100", 0, 6, 1},
    {"0101111100", 0, 6, 2}, {"01011111101", 0, 6, 3}, {"010111111101", 0, 6, 4},
    {"010111111111100", 0, 6, 5}, {"0011101", 0, 7, 1}, {"0101111101", 0, 7, 2},
    {"01101111100", 0, 7, 3}, {"0110111111101", 0, 7, 4}, {"010111111111101", 0, 7, 5},
    {"00111100", 0, 8, 1}, {"0110111100", 0, 8, 2}, {"0101111111101", 0, 8, 3},
    {"01011111111101", 0, 8, 4}, {"00111101", 0, 9, 1}, {"00111111101", 0, 9, 2},
    {"0110111111100", 0, 9, 3}, {"011011111111100", 0, 9, 4}, {"001111100", 0, 10, 1},
    {"001111111100", 0, 10, 2}, {"0011111100", 0, 11, 1}, {"0101111111100", 0, 11, 2},
    {"0011111101", 0, 12, 1}, {"011011111111101", 0, 12, 2}, {"00111111100", 0, 13, 1},
    {"0011111111100", 0, 14, 1}, {"0011111111101", 0, 15, 1}, {"00111111111100", 0, 16, 1},
    {"00111111111101", 0, 17, 1}, {"01011111111100", 0, 18, 1}, {"011101111111100", 0, 19, 1},
};
inline constexpr ReversibleCode kInterReversibleNotLast[kReversibleNotLastCount] = {
    {"110", 0, 0, 1}, {"0001", 0, 0, 2}, {"00100", 0, 0, 3}, {"0011100", 0, 0, 4},
    {"00111100", 0, 0, 5}, {"00111101", 0, 0, 6}, {"001111100", 0, 0, 7}, {"0011111100", 0, 0, 8},
    {"0011111101", 0, 0, 9}, {"00111111100", 0, 0, 10}, {"00111111101", 0, 0, 11},
    {"001111111100", 0, 0, 12}, {"0011111111100", 0, 0, 13}, {"0011111111101", 0, 0, 14},
    {"0101111111100", 0, 0, 15}, {"0101111111101", 0, 0, 16}, {"00111111111100", 0, 0, 17},
    {"00111111111101", 0, 0, 18}, {"001111111111100", 0, 0, 19}, {"111", 0, 1, 1},
    {"001100", 0, 1, 2}, {"01011100", 0, 1, 3}, {"001111101", 0, 1, 4}, {"0101111100", 0, 1, 5},
    {"01011111100", 0, 1, 6}, {"001111111101", 0, 1, 7}, {"0110111111100", 0, 1, 8},
    {"01011111111100", 0, 1, 9}, {"01011111111101", 0, 1, 10}, {"1010", 0, 2, 1},
    {"0011101", 0, 2, 2}, {"010111100", 0, 2, 3}, {"01011111101", 0, 2, 4},
    {"010111111100", 0, 2, 5}, {"01101111111100", 0, 2, 6}, {"01101111111101", 0, 2, 7},
    {"00101", 0, 3, 1}, {"01011101", 0, 3, 2}, {"0101111101", 0, 3, 3}, {"010111111101", 0, 3, 4},
    {"0110111111101", 0, 3, 5}, {"01110111111100", 0, 3, 6}, {"001111111111101", 0, 3, 7},
    {"01000", 0, 4, 1}, {"01101100", 0, 4, 2}, {"01101111100", 0, 4, 3}, {"0111011111100", 0, 4, 4},
    {"010111111111100", 0, 4, 5}, {"01001", 0, 5, 1}, {"010111101", 0, 5, 2},
    {"01101111101", 0, 5, 3}, {"0111011111101", 0, 5, 4}, {"001101", 0, 6, 1},
    {"0110111100", 0, 6, 2}, {"011011111100", 0, 6, 3}, {"01110111111101", 0, 6, 4},
    {"010100", 0, 7, 1}, {"0110111101", 0, 7, 2}, {"011011111101", 0, 7, 3},
    {"010111111111101", 0, 7, 4}, {"010101", 0, 8, 1}, {"0111011100", 0, 8, 2},
    {"0111101111100", 0, 8, 3}, {"0101100", 0, 9, 1}, {"0111011101", 0, 9, 2},
    {"01111011111100", 0, 9, 3}, {"0101101", 0, 10, 1}, {"01110111100", 0, 10, 2},
    {"0110100", 0, 11, 1}, {"011101111100", 0, 11, 2}, {"01101101", 0, 12, 1},
    {"0111101111101", 0, 12, 2}, {"01110100", 0, 13, 1}, {"01111011111101", 0, 13, 2},
    {"01110101", 0, 14, 1}, {"01111101111100", 0, 14, 2}, {"011011100", 0, 15, 1},
    {"01111101111101", 0, 15, 2}, {"011011101", 0, 16, 1}, {"01111110111100", 0, 16, 2},
    {"011101100", 0, 17, 1}, {"011011111111100", 0, 17, 2}, {"0111101100", 0, 18, 1},
    {"0111101101", 0, 19, 1}, {"0111110100", 0, 20, 1}, {"01110111101", 0, 21, 1},
    {"01111011100", 0, 22, 1}, {"01111011101", 0, 23, 1}, {"01111101100", 0, 24, 1},
    {"01111101101", 0, 25, 1}, {"01111110100", 0, 26, 1}, {"011101111101", 0, 27, 1},
    {"011110111100", 0, 28, 1}, {"011110111101", 0, 29, 1}, {"0111110111100", 0, 30, 1},
    {"0111110111101", 0, 31, 1}, {"0111111011100", 0, 32, 1}, {"0111111011101", 0, 33, 1},
    {"01111110111101", 0, 34, 1}, {"01111111011100", 0, 35, 1}, {"01111111011101", 0, 36, 1},
    {"011011111111101", 0, 37, 1}, {"011101111111100", 0, 38, 1},
};
inline constexpr ReversibleCode kReversibleLast[kReversibleCodeCount - kReversibleNotLastCount] = {
    {"1011", 1, 0, 1}, {"01111000", 1, 0, 2}, {"01111110101", 1, 0, 3}, {"0111111101100", 1, 0, 4},
    {"01111111101100", 1, 0, 5}, {"10010", 1, 1, 1}, {"011101101", 1, 1, 2},
    {"011111011100", 1, 1, 3}, {"01111111101101", 1, 1, 4}, {"011101111111101", 1, 1, 5},
    {"10011", 1, 2, 1}, {"01111111000", 1, 2, 2}, {"011110111111100", 1, 2, 3}, {"011000", 1, 3, 1},
    {"011111011101", 1, 3, 2}, {"011001", 1, 4, 1}, {"011111101100", 1, 4, 2}, {"100010", 1, 5, 1},
    {"0111111101101", 1, 5, 2}, {"100011", 1, 6, 1}, {"0111111110100", 1, 6, 2},
    {"0110101", 1, 7, 1}, {"0111111110101", 1, 7, 2}, {"0111000", 1, 8, 1},
    {"0111111111000", 1, 8, 2}, {"0111001", 1, 9, 1}, {"0111111111001", 1, 9, 2},
    {"1000010", 1, 10, 1}, {"01111111110100", 1, 10, 2}, {"1000011", 1, 11, 1},
    {"01111111110101", 1, 11, 2}, {"01111001", 1, 12, 1}, {"01111111111000", 1, 12, 2},
    {"10000010", 1, 13, 1}, {"011110111111101", 1, 13, 2}, {"10000011", 1, 14, 1},
    {"011110100", 1, 15, 1}, {"011110101", 1, 16, 1}, {"011111000", 1, 17, 1},
    {"011111001", 1, 18, 1}, {"100000010", 1, 19, 1}, {"100000011", 1, 20, 1},
    {"0111110101", 1, 21, 1}, {"0111111000", 1, 22, 1}, {"0111111001", 1, 23, 1},
    {"1000000010", 1, 24, 1}, {"1000000011", 1, 25, 1}, {"01111111001", 1, 26, 1},
    {"10000000010", 1, 27, 1}, {"10000000011", 1, 28, 1}, {"011111101101", 1, 29, 1},
    {"011111110100", 1, 30, 1}, {"011111110101", 1, 31, 1}, {"011111111000", 1, 32, 1},
    {"011111111001", 1, 33, 1}, {"100000000010", 1, 34, 1}, {"100000000011", 1, 35, 1},
    {"1000000000010", 1, 36, 1}, {"1000000000011", 1, 37, 1}, {"01111111111001", 1, 38, 1},
    {"10000000000010", 1, 39, 1}, {"10000000000011", 1, 40, 1}, {"011111011111100", 1, 41, 1},
    {"011111011111101", 1, 42, 1}, {"011111101111100", 1, 43, 1}, {"011111101111101", 1, 44, 1},
};

constexpr std::array<ReversibleCode, kReversibleCodeCount> JoinReversibleCodes(
    const ReversibleCode (&notLast)[kReversibleNotLastCount]) {
  std::array<ReversibleCode, kReversibleCodeCount> codes{};
  for (int32_t i = 0; i < kReversibleCodeCount; ++i) {
    codes[static_cast<std::size_t>(i)] =
        i < kReversibleNotLastCount ? notLast[i] : kReversibleLast[i - kReversibleNotLastCount];
  }
  return codes;
}
inline constexpr std::array<ReversibleCode, kReversibleCodeCount> kIntraReversibleCodes =
    JoinReversibleCodes(kIntraReversibleNotLast);
inline constexpr std::array<ReversibleCode, kReversibleCodeCount> kInterReversibleCodes =
    JoinReversibleCodes(kInterReversibleNotLast);

// One (last, run, level) event.
struct CoefficientEvent {
  int16_t level;  // signed, never 0
  uint8_t run;
  uint8_t last;
};

// The events of one block: at most one per scan position.
struct BlockEvents {
  int32_t count = 0;
  CoefficientEvent events[64];
};

// Reads the events of one block from bit `from` of `base`, reading no bit
// at or after `limit`: Ok with the events and the bit after the block in
// *end, or CoefficientCodeError for a code that is none, a broken escape,
// a run beyond the block (whose first event lands at scan index
// `firstIndex`) or the limit reached before the last event (*end is then
// where the reading stopped).
PrimitiveStatus ReadReversibleBlock(const uint8_t* base, int64_t from, int64_t limit, bool intra,
                                    int32_t firstIndex, BlockEvents& block, int64_t* end);

// Reads the block that ends just before bit `end` backwards, reading no bit
// before `limit`: its events run back to (not including) the next event
// whose last is 1, or to `limit`.  Ok with the events in stream order and
// the block's first bit in *start; CoefficientCodeError as above (the
// block's first event must be the one with last 1; *start is then where
// the reading stopped).
PrimitiveStatus ReadReversibleBlockBackwards(const uint8_t* base, int64_t end, int64_t limit,
                                             bool intra, int32_t firstIndex, BlockEvents& block,
                                             int64_t* start);

// The code of an event as the tables (or the escape) give it, sign bit
// included: value right-aligned in *bits, length returned (for writers of
// such streams).
int32_t ReversibleCodeOf(const CoefficientEvent& event, bool intra, uint64_t* bits);

}  // namespace tavrin::coefficients
