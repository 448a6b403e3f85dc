// Test helper for short-header blocks: random (last, run, level) events
// written with the inter table or the fixed-length escape (escape code,
// last, run in 6 bits, level in 8).  Shared by the unit tests and the
// variant checks.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "unit/primitives/coefficient_bit_writer.h"

namespace coeftest {

inline void PutShortHeaderEscape(BitWriter& w, const Event& e) {
  w.PutCode(kTcoefEscapeCode);
  w.Put(static_cast<uint32_t>(e.last), 1);
  w.Put(static_cast<uint32_t>(e.run), 6);
  w.Put(static_cast<uint32_t>(e.level) & 0xFFu, 8);
}

// Events for one block from scan index firstIndex on, the last one with
// last = 1, within the block; about one in four escaped (|level| up to 127).
inline std::vector<Event> PutRandomShortHeaderBlock(BitWriter& w, std::mt19937& rng, int32_t firstIndex,
                                                     int32_t maxEvents) {
  std::vector<Event> events;
  for (int32_t index = firstIndex - 1; events.empty() || events.back().last == 0;) {
    const TcoefCode& c = kInterTcoefCodes[rng() % kInterTcoefCodes.size()];
    const int32_t magnitude = rng() % 4 == 0 ? 1 + static_cast<int32_t>(rng() % 127) : c.level;
    Event e{0, c.run % (63 - index), (rng() & 1) ? -magnitude : magnitude};
    e.last = static_cast<int32_t>(events.size()) + 1 >= maxEvents || index + e.run + 1 >= 63 ? 1 : 0;
    if (FindCode(kInterTcoefCodes, e.last, e.run, std::abs(e.level)) != nullptr) {
      PutTableCode(w, kInterTcoefCodes, e);
    } else {
      PutShortHeaderEscape(w, e);
    }
    events.push_back(e);
    index += e.run + 1;
  }
  return events;
}

}  // namespace coeftest
