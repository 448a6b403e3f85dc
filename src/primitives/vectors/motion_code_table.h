// The motion_code variable-length code of ISO/IEC 14496-2 (Table B-12): the
// code word of each magnitude 0 to 32, without the sign bit that follows
// every nonzero magnitude.  The words are listed as bit strings so they can
// be read against the standard; the two lookup tables the decoder uses are
// built from this list at compile time.
//
// A lookup takes a 12-bit peek v (the next 12 bits, most significant first).
// Peeks of 128 and more start with a word of at most 7 bits and are looked up
// by their top 7 bits; peeks below 128 are looked up directly.  Peeks 0 and 1
// match no word.
#pragma once

#include <array>
#include <cstdint>

namespace tavrin::vectors {

struct MotionCodeWord {
  const char* bits;  // '0' and '1', most significant first
  uint8_t magnitude;
};

inline constexpr std::array<MotionCodeWord, 33> kMotionCodeWords{{
    {"1", 0},
    {"01", 1},
    {"001", 2},
    {"0001", 3},
    {"000011", 4},
    {"0000101", 5},
    {"0000100", 6},
    {"0000011", 7},
    {"000001011", 8},
    {"000001010", 9},
    {"000001001", 10},
    {"0000010001", 11},
    {"0000010000", 12},
    {"0000001111", 13},
    {"0000001110", 14},
    {"0000001101", 15},
    {"0000001100", 16},
    {"0000001011", 17},
    {"0000001010", 18},
    {"0000001001", 19},
    {"0000001000", 20},
    {"0000000111", 21},
    {"0000000110", 22},
    {"0000000101", 23},
    {"0000000100", 24},
    {"00000000111", 25},
    {"00000000110", 26},
    {"00000000101", 27},
    {"00000000100", 28},
    {"00000000011", 29},
    {"00000000010", 30},
    {"000000000011", 31},
    {"000000000010", 32},
}};

inline constexpr int kMotionCodePeekBits = 12;

// One lookup result: the magnitude and the word's length in bits; a length
// of 0 marks a peek that matches no word.
struct MotionCodeEntry {
  uint8_t magnitude;
  uint8_t length;
};

namespace detail {

constexpr int WordLength(const char* bits) {
  int n = 0;
  while (bits[n] != '\0') ++n;
  return n;
}

constexpr uint32_t WordValue(const char* bits) {
  uint32_t v = 0;
  for (int i = 0; bits[i] != '\0'; ++i) v = (v << 1) | static_cast<uint32_t>(bits[i] - '0');
  return v;
}

struct MotionCodeTables {
  std::array<MotionCodeEntry, 128> high{};  // peeks >= 128, by peek >> 5
  std::array<MotionCodeEntry, 128> low{};   // peeks < 128, by peek
};

constexpr MotionCodeTables BuildMotionCodeTables() {
  MotionCodeTables t{};
  for (const auto& w : kMotionCodeWords) {
    const int length = WordLength(w.bits);
    const int spare = kMotionCodePeekBits - length;
    const uint32_t first = WordValue(w.bits) << spare;
    const uint32_t end = first + (1u << spare);
    const MotionCodeEntry e{w.magnitude, static_cast<uint8_t>(length)};
    for (uint32_t v = first; v < end; ++v) {
      if (v >= 128) {
        t.high[v >> 5] = e;
      } else {
        t.low[v] = e;
      }
    }
  }
  return t;
}

inline constexpr MotionCodeTables kMotionCodeTables = BuildMotionCodeTables();

// Every peek of 128 and more must share its 32-peek group with no other word,
// which holds when the words that reach that range are at most 7 bits long.
constexpr bool HighTableIsExact() {
  for (const auto& w : kMotionCodeWords) {
    const uint32_t first = WordValue(w.bits) << (kMotionCodePeekBits - WordLength(w.bits));
    if (first >= 128 && WordLength(w.bits) > 7) return false;
  }
  return true;
}
static_assert(HighTableIsExact());

}  // namespace detail

// The word that the 12-bit peek v (0..4095) starts with.
constexpr MotionCodeEntry LookUpMotionCode(uint32_t peek) {
  return peek >= 128 ? detail::kMotionCodeTables.high[peek >> 5]
                     : detail::kMotionCodeTables.low[peek];
}

}  // namespace tavrin::vectors
