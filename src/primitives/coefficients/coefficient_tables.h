// Look-up tables for the block-layer codes, built at compile time from the
// code lists of coefficient_code_lists.h.
//
// TCOEF, plain form (Lookup): the next 12 bits v select one entry: v >= 512
// (the code does not start with 000, so it is at most 7 bits long) in a
// 112-entry table by (v - 512) >> 5; 128 <= v < 512 (starts with 000 but
// not 00000, at most 10 bits) in a 96-entry table by (v - 128) >> 2;
// 8 <= v < 128 in a 128-entry table by v.  v below 8 starts with nine zeros,
// which no code does.
//
// The decoding loops use two event tables instead, whose entries hold whole
// events (sign applied, with the bits they take), and which are checked
// against Lookup at compile time: the quick table, by the next 10 bits, for
// every code that fits in them together with its sign bit (codes of up to 9
// bits, the bulk of any stream), and the zero-run table for the longer
// ones, which all start with four zeros, by the 9 bits after those.  The
// escape and patterns that start no code hold empty entries in both.
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

// An event packed in 32 bits, from the low ones: the bits it takes (5 bits,
// up to 30 with an escape; 0 marks an empty entry), its step through the
// scan (run + 1, plus kLastStep when it is the last one; 11 bits), and its
// signed level (16 bits).
using EventEntry = uint32_t;
constexpr EventEntry PackEvent(int32_t level, int32_t step, int32_t bits) {
  return static_cast<uint32_t>(level) << 16 | static_cast<uint32_t>(step) << 5 |
         static_cast<uint32_t>(bits);
}
constexpr int32_t EventBits(EventEntry e) { return static_cast<int32_t>(e & 31); }
constexpr int32_t EventStep(EventEntry e) { return static_cast<int32_t>((e >> 5) & 0x7FF); }
constexpr int32_t EventLevel(EventEntry e) { return static_cast<int32_t>(e) >> 16; }

// Far beyond the step of any event that is not the last (at most 64, from
// the third escape form), so that one comparison of the scan index finds
// both the end of a block and a run beyond it.
inline constexpr int32_t kLastStep = 256;
// The largest step (a last event, its run lengthened by an escape) fits.
static_assert(kLastStep + 64 + 64 <= 0x7FF);
inline constexpr int32_t kQuickBits = 10;
inline constexpr int32_t kZeroRunLength = 4;  // the zero-run table's leading zeros
inline constexpr int32_t kZeroRunBits = 9;    // and the bits after them it is indexed by

struct TcoefTable {
  std::array<EventEntry, 1 << kQuickBits> quick{};      // by the next kQuickBits bits
  std::array<EventEntry, 1 << kZeroRunBits> zeroRun{};  // by the kZeroRunBits after four zeros
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

// Writes the event of code w with either sign into the entries of an event
// table indexed by `width` bits that its code and sign bits prefix, with
// `skip` leading code bits left out of the index.
template <std::size_t N>
constexpr void PlaceEvent(std::array<EventEntry, N>& table, int32_t skip, int32_t width,
                          CodeWord w, const TcoefCode& c) {
  const int32_t bits = w.length + 1 - skip;  // in the index
  if (bits > width) CodeTableLayoutFault();
  const int32_t step = c.run + 1 + (c.last != 0 ? kLastStep : 0);
  for (uint32_t sign = 0; sign < 2; ++sign) {
    const uint32_t prefix = ((w.bits << 1) | sign) & ((1u << bits) - 1);
    const uint32_t first = prefix << (width - bits);
    const uint32_t end = (prefix + 1) << (width - bits);
    for (uint32_t v = first; v < end; ++v) {
      if (table[v] != 0) CodeTableLayoutFault();  // overlapping codes
      table[v] = PackEvent(sign != 0 ? -c.level : c.level, step, w.length + 1);
    }
  }
}

// Places code w in the quick table when it fits there with its sign, and in
// the zero-run table when it starts with the zeros.
constexpr void PlaceEventCode(TcoefTable& t, CodeWord w, const TcoefCode& c) {
  const bool zeroRun = w.length > kZeroRunLength && (w.bits >> (w.length - kZeroRunLength)) == 0;
  if (w.length + 1 <= kQuickBits) {
    PlaceEvent(t.quick, 0, kQuickBits, w, c);
  } else if (!zeroRun) {
    CodeTableLayoutFault();  // a long code the zero-run table cannot hold
  }
  if (zeroRun) PlaceEvent(t.zeroRun, kZeroRunLength, kZeroRunBits, w, c);
}

template <std::size_t N>
constexpr TcoefTable BuildTcoefTable(const std::array<TcoefCode, N>& codes) {
  TcoefTable t{};
  for (const TcoefCode& c : codes) {
    const CodeWord w = ParseCode(c.code);
    PlaceTcoefCode(t, w, {c.last, c.run, c.level, static_cast<uint8_t>(w.length)});
    PlaceEventCode(t, w, c);
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

// An event table entry for the 13-bit value v (code and sign bits at the
// top) agrees with Lookup and the sign bit, or is empty when its code does
// not fit in `fit` bits, is the escape, or there is no code.
constexpr bool EventAgrees(const TcoefTable& t, EventEntry entry, uint32_t v, int32_t fit) {
  // Copied, not pointed to: a sanitizing build does not take the address of
  // a table entry as a constant expression.
  const TcoefEntry e = v >= 16 ? t.Lookup(v >> 1) : TcoefEntry{};
  if (e.length == 0 || e.level == kEscapeLevel || e.length + 1 > fit) return entry == 0;
  const bool negative = ((v >> (12 - e.length)) & 1) != 0;
  return entry == PackEvent(negative ? -e.level : e.level,
                            e.run + 1 + (e.last != 0 ? kLastStep : 0), e.length + 1);
}

// Both event tables agree with Lookup, and every pattern that does not start
// with the four zeros finds its event in the quick table (the decoder looks
// into the zero-run table only when the quick entry is empty).
constexpr bool EventTablesAgree(const TcoefTable& t) {
  for (uint32_t v = 0; v < t.quick.size(); ++v) {
    if (!EventAgrees(t, t.quick[v], v << (13 - kQuickBits), kQuickBits)) return false;
    if ((v >> (kQuickBits - kZeroRunLength)) != 0 && t.quick[v] == 0) return false;
  }
  for (uint32_t v = 0; v < t.zeroRun.size(); ++v) {
    if (!EventAgrees(t, t.zeroRun[v], v, 13)) return false;
  }
  return true;
}
static_assert(kZeroRunLength + kZeroRunBits == 13);
static_assert(EventTablesAgree(kIntraTcoefTable) && EventTablesAgree(kInterTcoefTable));

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

// Code, differential and marker bits together: the DC decoder reads them all
// from one 25-bit window.
constexpr bool DcFitsOneWindow(const DcSizeTable& t) {
  for (const uint8_t entry : t) {
    const int32_t size = entry >> 4;
    if ((entry & 15) + size + (size > 8 ? 1 : 0) > 25) return false;
  }
  return true;
}
static_assert(DcFitsOneWindow(kLuminanceDcSizeTable) && DcFitsOneWindow(kChrominanceDcSizeTable));

}  // namespace tavrin::coefficients
