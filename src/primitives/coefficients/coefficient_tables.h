// Look-up tables for the block-layer codes, built at compile time from the
// code lists of coefficient_code_lists.h.
//
// TCOEF: the next 12 bits v select one entry: v >= 512 (the code does not
// start with 000, so it is at most 7 bits long) in a 112-entry table by
// (v - 512) >> 5; 128 <= v < 512 (starts with 000 but not 00000, at most 10
// bits) in a 96-entry table by (v - 128) >> 2; 8 <= v < 128 in a 128-entry
// table by v.  v below 8 starts with nine zeros, which no code does.
//
// DC size: the next 12 bits index a 4096-entry table directly.
//
// LMAX and RMAX (the escape offsets) are derived from the same lists: LMAX is
// the largest level the table codes for a (last, run), RMAX the largest run
// it codes for a (last, level).  RMAX is kept with 1 added, as the escape
// adds it to the run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "primitives/coefficients/coefficient_code_lists.h"

namespace tavrin::coefficients {

// A code word parsed from its text: value right-aligned, length in bits.
struct CodeWord {
  uint32_t bits;
  int32_t length;
};

// A malformed code text or a code set the table layout cannot hold stops
// the compilation here: this is not a constant expression.
inline void CodeTableLayoutFault() {}

constexpr CodeWord ParseCode(const char* text) {
  CodeWord w{0, 0};
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == ' ') continue;
    if (*p != '0' && *p != '1') CodeTableLayoutFault();
    w.bits = (w.bits << 1) | static_cast<uint32_t>(*p - '0');
    ++w.length;
  }
  if (w.length < 1 || w.length > 12) CodeTableLayoutFault();
  return w;
}

// One TCOEF table entry.  length 0 marks a bit pattern that starts no code.
struct TcoefEntry {
  uint8_t last;
  uint8_t run;
  uint8_t level;   // kEscapeLevel for the escape code
  uint8_t length;  // code bits, not counting the sign bit
};

inline constexpr uint8_t kEscapeLevel = 255;
inline constexpr int32_t kShortCodeTableSize = 112;
inline constexpr int32_t kMediumCodeTableSize = 96;
inline constexpr int32_t kLongCodeTableSize = 128;
inline constexpr int32_t kLongestLevel = 32;  // levels 1..27 (intra), 1..12 (inter)

struct TcoefTable {
  std::array<TcoefEntry, kShortCodeTableSize> shortCodes{};    // v >= 512
  std::array<TcoefEntry, kMediumCodeTableSize> mediumCodes{};  // 128 <= v < 512
  std::array<TcoefEntry, kLongCodeTableSize> longCodes{};      // v < 128
  std::array<std::array<uint8_t, 64>, 2> lmax{};               // [last][run]
  std::array<std::array<uint8_t, kLongestLevel>, 2> rmaxPlusOne{};  // [last][level]

  // The entry for the 12 peeked bits v (8 <= v < 4096).
  constexpr const TcoefEntry& Lookup(uint32_t v) const {
    if (v >= 512) return shortCodes[(v - 512) >> 5];
    if (v >= 128) return mediumCodes[(v - 128) >> 2];
    return longCodes[v];
  }
};

// Writes e into the entry every 12-bit value with the prefix w maps to.
constexpr void PlaceTcoefCode(TcoefTable& t, CodeWord w, TcoefEntry e) {
  const uint32_t first = w.bits << (12 - w.length);
  const uint32_t end = (w.bits + 1) << (12 - w.length);
  for (uint32_t v = first; v < end; ++v) {
    TcoefEntry* slot = nullptr;
    if (v >= 512) {
      slot = &t.shortCodes[(v - 512) >> 5];
    } else if (v >= 128) {
      slot = &t.mediumCodes[(v - 128) >> 2];
    } else if (v >= 8) {
      slot = &t.longCodes[v];
    } else {
      CodeTableLayoutFault();  // a code inside the nine-zero prefix
      continue;
    }
    // An entry that two different codes claim means the code is longer
    // than its table resolves, or two codes overlap.
    if (slot->length != 0 && (slot->length != e.length || slot->last != e.last ||
                              slot->run != e.run || slot->level != e.level)) {
      CodeTableLayoutFault();
    }
    *slot = e;
  }
}

template <std::size_t N>
constexpr TcoefTable BuildTcoefTable(const std::array<TcoefCode, N>& codes) {
  TcoefTable t{};
  for (const TcoefCode& c : codes) {
    const CodeWord w = ParseCode(c.code);
    PlaceTcoefCode(t, w, {c.last, c.run, c.level, static_cast<uint8_t>(w.length)});
    if (c.run >= 64 || c.level >= kLongestLevel || c.level == 0) CodeTableLayoutFault();
    if (c.level > t.lmax[c.last][c.run]) t.lmax[c.last][c.run] = c.level;
    if (c.run + 1 > t.rmaxPlusOne[c.last][c.level]) {
      t.rmaxPlusOne[c.last][c.level] = static_cast<uint8_t>(c.run + 1);
    }
  }
  const CodeWord escape = ParseCode(kTcoefEscapeCode);
  PlaceTcoefCode(t, escape, {0, 0, kEscapeLevel, static_cast<uint8_t>(escape.length)});
  return t;
}

inline constexpr TcoefTable kIntraTcoefTable = BuildTcoefTable(kIntraTcoefCodes);
inline constexpr TcoefTable kInterTcoefTable = BuildTcoefTable(kInterTcoefCodes);

// One DC size table entry: size in the high nibble, code length in the low
// nibble; 0 marks a bit pattern that starts no code.
using DcSizeTable = std::array<uint8_t, 4096>;

template <std::size_t N>
constexpr DcSizeTable BuildDcSizeTable(const std::array<DcSizeCode, N>& codes) {
  DcSizeTable t{};
  for (const DcSizeCode& c : codes) {
    const CodeWord w = ParseCode(c.code);
    const uint32_t first = w.bits << (12 - w.length);
    const uint32_t end = (w.bits + 1) << (12 - w.length);
    for (uint32_t v = first; v < end; ++v) {
      if (t[v] != 0 || c.size > 15) CodeTableLayoutFault();
      t[v] = static_cast<uint8_t>((c.size << 4) | w.length);
    }
  }
  return t;
}

inline constexpr DcSizeTable kLuminanceDcSizeTable = BuildDcSizeTable(kLuminanceDcSizeCodes);
inline constexpr DcSizeTable kChrominanceDcSizeTable = BuildDcSizeTable(kChrominanceDcSizeCodes);

}  // namespace tavrin::coefficients
