// Memory primitives (table slots 0 to 6): aligned allocation and release,
// zero filling, and the two library-information records.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
const LibraryInfo* GetSignalLibraryInfo();
const LibraryInfo* GetImageLibraryInfo();
uint8_t* AllocBytes(int32_t count);
int16_t* AllocShorts(int32_t count);
int32_t* AllocInts(int32_t count);
PrimitiveStatus ZeroBytes(void* bytes, int32_t count);
void FreeAligned(void* block);
}  // namespace tavrin::reference

#if defined(__SSE2__)
// Zero filling with SSE2 (variants 2 and 3 of its row on x86; variant 1
// keeps the C library's fill, which already uses the widest stores the
// processor has).
namespace tavrin::sse2 {
PrimitiveStatus ZeroBytes(void* bytes, int32_t count);
}  // namespace tavrin::sse2
#endif
