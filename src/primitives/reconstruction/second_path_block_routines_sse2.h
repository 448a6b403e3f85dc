// SSE2 forms of the second reconstruction path's block routines: both
// inverse transforms and the clamped store, each giving exactly the results
// of its portable form in block_routines.cpp.  Selection installs them on
// x86 in place of the portable ones.
#pragma once

#if defined(__SSE2__)

#include <cstdint>

namespace tavrin::blockroutines::sse2 {
void InverseTransformNewer(int16_t* block);
void InverseTransformOlder(int16_t* block);
void StoreClamped(uint8_t* destination, const int16_t* block, int32_t stride);
}  // namespace tavrin::blockroutines::sse2

#endif  // __SSE2__
