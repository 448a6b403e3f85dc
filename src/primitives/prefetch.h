// Asking for the lines of a whole table ahead of its use.  The decode of a
// picture starts after the pause of the call before, on a busy host with the
// caches emptied; a coefficient or vector code looks up its table entry
// only once the code before it is known, so every line of a table still in
// memory costs a miss on the decoder's critical path.  Asking for all of a
// table's lines at once lets the misses overlap.
//
// Always inlined: GCC takes a function that only prefetches for one without
// side effects and drops the calls to it.
#pragma once

#include <cstddef>

namespace tavrin {

template <typename Table>
[[gnu::always_inline]] inline void PrefetchTable(const Table& table) {
  const char* bytes = reinterpret_cast<const char*>(&table);
  for (std::size_t offset = 0; offset < sizeof(Table); offset += 64) {
    __builtin_prefetch(bytes + offset);
  }
}

}  // namespace tavrin
