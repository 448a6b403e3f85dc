// The second reconstruction path's block routines: two versions of an
// 8x8 inverse transform (one for newer processors with 15-bit constants and
// saturation, one for older ones with 16-bit constants), a clamped store,
// transform-and-store, and the end of SIMD use.  Selection installs them in
// the process-wide BlockRoutineSet by processor model.
#pragma once

#include <cstdint>

#include "primitives/dispatch/atomic_slot.h"

namespace tavrin {

using TransformAndStoreFn = void (*)(uint8_t* destination, int16_t* block, int32_t stride);
using InverseTransformFn = void (*)(int16_t* block);
using StoreClampedFn = void (*)(uint8_t* destination, const int16_t* block, int32_t stride);
using EndSimdStateFn = void (*)();

namespace blockroutines {
// In-place inverse transforms of a 16-byte-aligned block of 64 values in
// raster order.
void InverseTransformNewer(int16_t* block);
void InverseTransformOlder(int16_t* block);
void StoreClamped(uint8_t* destination, const int16_t* block, int32_t stride);
// The installed inverse transform, then the clamped store.
void TransformAndStore(uint8_t* destination, int16_t* block, int32_t stride);
void EndSimdState();
}  // namespace blockroutines

struct BlockRoutineSet {
  AtomicSlot<TransformAndStoreFn> transformAndStore{blockroutines::TransformAndStore};
  AtomicSlot<InverseTransformFn> inverseTransform{blockroutines::InverseTransformOlder};
  AtomicSlot<StoreClampedFn> storeClamped{blockroutines::StoreClamped};
  AtomicSlot<EndSimdStateFn> endSimdState{blockroutines::EndSimdState};
};

extern BlockRoutineSet blockRoutines;

}  // namespace tavrin
