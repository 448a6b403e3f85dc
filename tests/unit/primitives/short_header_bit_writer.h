// Test helper for short-header blocks: (last, run, level) events written
// with the inter table or the fixed-length escape (escape code, last, run
// in 6 bits, level in 8 bits), and random blocks of them.  Shared by the
// unit tests and the variant checks.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "unit/primitives/coefficient_bit_writer.h"

namespace coeftest {

// e in the table when `escaped` is false (the entry must exist), else with
// the fixed-length escape (|level| 1..127).
inline void PutShortHeaderEvent(BitWriter& w, const Event& e, bool escaped) {
  if (!escaped) {
    PutTableCode(w, kInterTcoefCodes, e);
    return;
  }
  w.PutCode(kTcoefEscapeCode);
  w.Put(static_cast<uint32_t>(e.last), 1);
  w.Put(static_cast<uint32_t>(e.run), 6);
  w.Put(static_cast<uint32_t>(e.level) & 0xFFu, 8);
}

// Random events for one block from scan index firstIndex on, the last with
// last = 1, indices within 0..63; about one in four escaped.  Written to w.
inline std::vector<Event> PutRandomShortHeaderBlock(BitWriter& w, std::mt19937& rng, int32_t firstIndex,
                                                     int32_t maxEvents) {
  std::vector<Event> events;
  int32_t index = firstIndex - 1;
  for (;;) {
    const int32_t room = 62 - index;
    Event e{};
    bool escaped = rng() % 4 == 0;
    if (escaped) {
      const int32_t magnitude = 1 + static_cast<int32_t>(rng() % (rng() % 3 == 0 ? 127 : 20));
      e = {0, static_cast<int32_t>(rng() % static_cast<uint32_t>(room + 1)), (rng() & 1) ? -magnitude : magnitude};
    } else {
      do {
        const TcoefCode& c = kInterTcoefCodes[rng() % kInterTcoefCodes.size()];
        e = {c.last, c.run, (rng() & 1) ? -c.level : c.level};
      } while (e.run > room);
    }
    const bool mustEnd = static_cast<int32_t>(events.size()) + 1 >= maxEvents || index + e.run + 1 >= 63;
    if (mustEnd != (e.last == 1)) {
      e.last = mustEnd ? 1 : 0;
      escaped = escaped || FindCode(kInterTcoefCodes, e.last, e.run, std::abs(e.level)) == nullptr;
      if (escaped && std::abs(e.level) > 127) e.level = e.level < 0 ? -127 : 127;
    }
    PutShortHeaderEvent(w, e, escaped);
    events.push_back(e);
    index += e.run + 1;
    if (e.last == 1) return events;
  }
}

}  // namespace coeftest
