// The process-wide set of live decoders.  A handle is the Decoder's address
// as a pointer-sized unsigned integer; the set orders by that value.
//
// Creating or releasing a decoder while other threads decode on their own
// handles is safe: lookups share the lock, insertion and removal take it
// alone.  Two calls on one handle are the host's to serialise.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin {

class Decoder;

namespace registry {

void Insert(Decoder* decoder);
// The decoder a handle names, or null for a value that names none.
Decoder* Find(uintptr_t handle);
// Removes the handle's decoder from the set and hands it back (null when
// the handle names none), so that exactly one caller destroys it.
Decoder* Remove(uintptr_t handle);
size_t Size();

}  // namespace registry
}  // namespace tavrin
