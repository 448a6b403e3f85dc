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
