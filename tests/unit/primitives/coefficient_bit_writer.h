// Test helper for the coefficient and block reconstruction primitives:
// writes block-layer syntax (DC sizes and differentials, coefficient codes
// in each escape form) and makes random coefficient events.  Shared by the
// unit tests and the variant checks.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "primitives/coefficients/coefficient_code_lists.h"

namespace coeftest {

using tavrin::coefficients::DcSizeCode;
using tavrin::coefficients::kChrominanceDcSizeCodes;
using tavrin::coefficients::kIntraTcoefCodes;
using tavrin::coefficients::kInterTcoefCodes;
using tavrin::coefficients::kLuminanceDcSizeCodes;
using tavrin::coefficients::kTcoefEscapeCode;
using tavrin::coefficients::TcoefCode;
using CodeList = std::array<TcoefCode, 102>;

class BitWriter {
 public:
  // The low n bits of value, most significant first.
  void Put(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) PutBit((value >> i) & 1u);
  }
  // A code word as text ('0', '1'; spaces ignored).
  void PutCode(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
      if (*p != ' ') PutBit(*p == '1' ? 1u : 0u);
    }
  }
  void PutBit(uint32_t b) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (b != 0) bytes_.back() |= static_cast<uint8_t>(0x80u >> (count_ % 8));
    ++count_;
  }
  int32_t BitCount() const { return count_; }
  // The bytes written, then the decoder's 64 spare zero bytes.
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out = bytes_;
    out.resize(out.size() + 64, 0);
    return out;
  }

 private:
  std::vector<uint8_t> bytes_;
  int32_t count_ = 0;
};

// Code length in bits, spaces ignored.
inline int CodeLength(const char* text) {
  int n = 0;
  for (const char* p = text; *p != '\0'; ++p) n += *p != ' ' ? 1 : 0;
  return n;
}

// dct_dc_size and the differential bits (and the marker after sizes above
// 8).  |differential| must be below 4096.
inline void PutDcDifferential(BitWriter& w, int32_t differential, bool chrominance,
                              uint32_t marker = 1) {
  const int32_t magnitude = std::abs(differential);
  int32_t size = 0;
  while ((magnitude >> size) != 0) ++size;
  const auto& codes = chrominance ? kChrominanceDcSizeCodes : kLuminanceDcSizeCodes;
  w.PutCode(codes[static_cast<size_t>(size)].code);
  if (size == 0) return;
  const int32_t bits = differential > 0 ? differential : differential + (1 << size) - 1;
  w.Put(static_cast<uint32_t>(bits), size);
  if (size > 8) w.Put(marker, 1);
}

// One coefficient event (level signed, nonzero).
struct Event {
  int32_t last;
  int32_t run;
  int32_t level;
};

enum class Form { kTable, kEscape1, kEscape2, kEscape3 };

// The standard's largest level per (last, run) and largest run per (last,
// level) of each table (Tables B-19 to B-22); 0 outside the table.
inline int32_t Lmax(const CodeList& codes, int32_t last, int32_t run) {
  int32_t m = 0;
  for (const auto& c : codes) {
    if (c.last == last && c.run == run && c.level > m) m = c.level;
  }
  return m;
}
inline int32_t Rmax(const CodeList& codes, int32_t last, int32_t level) {
  int32_t m = -1;
  for (const auto& c : codes) {
    if (c.last == last && c.level == level && c.run > m) m = c.run;
  }
  return m;
}

inline const TcoefCode* FindCode(const CodeList& codes, int32_t last, int32_t run,
                                 int32_t magnitude) {
  for (const auto& c : codes) {
    if (c.last == last && c.run == run && c.level == magnitude) return &c;
  }
  return nullptr;
}

// Writes the table code of (last, run, |level|) and the sign; the entry
// must exist.
inline void PutTableCode(BitWriter& w, const CodeList& codes, const Event& e) {
  const TcoefCode* c = FindCode(codes, e.last, e.run, std::abs(e.level));
  if (c == nullptr) {
    std::fprintf(stderr, "no table code for last %d run %d level %d\n", e.last, e.run, e.level);
    std::abort();
  }
  w.PutCode(c->code);
  w.Put(e.level < 0 ? 1u : 0u, 1);
}

// Writes e in the given form; the form must be able to carry e (the table
// entry that the escape refers to must exist).
inline void PutEvent(BitWriter& w, const CodeList& codes, const Event& e, Form form) {
  switch (form) {
    case Form::kTable:
      PutTableCode(w, codes, e);
      return;
    case Form::kEscape1: {
      w.PutCode(kTcoefEscapeCode);
      w.Put(0, 1);
      const int32_t reduced = std::abs(e.level) - Lmax(codes, e.last, e.run);
      PutTableCode(w, codes, {e.last, e.run, e.level < 0 ? -reduced : reduced});
      return;
    }
    case Form::kEscape2: {
      w.PutCode(kTcoefEscapeCode);
      w.Put(2, 2);
      PutTableCode(w, codes, {e.last, e.run - Rmax(codes, e.last, std::abs(e.level)) - 1, e.level});
      return;
    }
    case Form::kEscape3:
      w.PutCode(kTcoefEscapeCode);
      w.Put(3, 2);
      w.Put(static_cast<uint32_t>(e.last), 1);
      w.Put(static_cast<uint32_t>(e.run), 6);
      w.Put(1, 1);
      w.Put(static_cast<uint32_t>(e.level) & 0xFFFu, 12);
      w.Put(1, 1);
      return;
  }
}

// A random event in a random form: a table entry, an escape 1 or 2 built on
// a table entry, or an escape 3 with run <= maxRun and |level| 1..2047.
inline Event RandomEvent(std::mt19937& rng, const CodeList& codes, int32_t maxRun, Form* form) {
  for (;;) {
    const uint32_t kind = rng() % 8;
    const int32_t sign = (rng() & 1) != 0 ? -1 : 1;
    if (kind >= 5) {
      *form = Form::kEscape3;
      const int32_t magnitude = 1 + static_cast<int32_t>(rng() % (rng() % 4 == 0 ? 2047 : 40));
      return {0, static_cast<int32_t>(rng() % static_cast<uint32_t>(maxRun + 1)), sign * magnitude};
    }
    const TcoefCode& c = codes[rng() % codes.size()];
    Event e{c.last, c.run, sign * c.level};
    if (kind == 3) {
      *form = Form::kEscape1;
      e.level += sign * Lmax(codes, c.last, c.run);
    } else if (kind == 4) {
      *form = Form::kEscape2;
      e.run += Rmax(codes, c.last, c.level) + 1;
    } else {
      *form = Form::kTable;
    }
    if (e.run <= maxRun) return e;
  }
}

// Random events for one block: the first lands at index >= firstIndex, the
// last has last = 1; indices stay within 0..63.  Written to w.
inline std::vector<Event> PutRandomBlock(BitWriter& w, std::mt19937& rng, const CodeList& codes,
                                         int32_t firstIndex, int32_t maxEvents) {
  std::vector<Event> events;
  int32_t index = firstIndex - 1;
  for (;;) {
    Form form;
    Event e = RandomEvent(rng, codes, 62 - index, &form);
    const bool mustEnd = static_cast<int32_t>(events.size()) + 1 >= maxEvents ||
                         index + e.run + 1 >= 63;
    if (mustEnd != (e.last == 1)) {
      // Flip last: only escape 3 carries any last; rebuild as escape 3.
      e.last = mustEnd ? 1 : 0;
      if (std::abs(e.level) > 2047) e.level = e.level < 0 ? -2047 : 2047;
      form = Form::kEscape3;
    }
    PutEvent(w, codes, e, form);
    events.push_back(e);
    index += e.run + 1;
    if (e.last == 1) return events;
  }
}

// Stream bytes placed so that exactly `after` readable bytes follow the
// byte at lastIndex and the next page is unreadable: a decoder that reads
// further than that faults.
class GuardedBytes {
 public:
  GuardedBytes(const std::vector<uint8_t>& bytes, size_t lastIndex, size_t after = 4) {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* p = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
    if (base_ == nullptr) return;
    mprotect(base_ + page_, page_, PROT_NONE);
    const size_t used = lastIndex + 1 + after;
    data_ = base_ + page_ - used;
    for (size_t i = 0; i < used && i < bytes.size(); ++i) data_[i] = bytes[i];
  }
  ~GuardedBytes() {
    if (base_ != nullptr) munmap(base_, 2 * page_);
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  const uint8_t* data() const { return data_; }

 private:
  size_t page_ = 0;
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
};

}  // namespace coeftest
