#include "primitives/memory/memory.h"

#include <cstdlib>
#include <cstring>

namespace tavrin::reference {
namespace {

// An aligned block is carved out of a heap region a little larger than asked
// for: the returned address is 32-byte aligned and the region's own address
// is kept in the pointer-sized word just before it, where FreeAligned finds
// it.  With 4-byte pointers this is the classic "size + 36, round the address
// plus 35 down to 32" layout; with 8-byte pointers the slack grows to 40.
constexpr size_t kAlignment = 32;
constexpr size_t kSlack = kAlignment + sizeof(void*);

void* AllocAligned(size_t bytes) {
  unsigned char* region = static_cast<unsigned char*>(std::malloc(bytes + kSlack));
  if (region == nullptr) return nullptr;
  uintptr_t aligned = (reinterpret_cast<uintptr_t>(region) + sizeof(void*) + kAlignment - 1) &
                      ~static_cast<uintptr_t>(kAlignment - 1);
  unsigned char* block = reinterpret_cast<unsigned char*>(aligned);
  std::memcpy(block - sizeof(void*), &region, sizeof(void*));
  return block;
}

constexpr LibraryInfo kSignalInfo{1, 0, 1, 1, {'R', 'E', 'F', ' '},
                                  "tavrin signal primitives", "1.0.1", __DATE__};
constexpr LibraryInfo kImageInfo{1, 0, 1, 1, {'R', 'E', 'F', ' '},
                                 "tavrin image primitives", "1.0.1", __DATE__};

}  // namespace

const LibraryInfo* GetSignalLibraryInfo() { return &kSignalInfo; }
const LibraryInfo* GetImageLibraryInfo() { return &kImageInfo; }

uint8_t* AllocBytes(int32_t count) {
  if (count <= 0) return nullptr;
  return static_cast<uint8_t*>(AllocAligned(static_cast<size_t>(count)));
}

int16_t* AllocShorts(int32_t count) {
  if (count <= 0) return nullptr;
  return static_cast<int16_t*>(AllocAligned(static_cast<size_t>(count) * sizeof(int16_t)));
}

int32_t* AllocInts(int32_t count) {
  if (count <= 0) return nullptr;
  return static_cast<int32_t*>(AllocAligned(static_cast<size_t>(count) * sizeof(int32_t)));
}

void FreeAligned(void* block) {
  if (block == nullptr) return;
  void* region;
  std::memcpy(&region, static_cast<unsigned char*>(block) - sizeof(void*), sizeof(void*));
  std::free(region);
}

PrimitiveStatus ZeroBytes(void* bytes, int32_t count) {
  if (bytes == nullptr) return NullPointer;
  if (count <= 0) return SizeError;
  std::memset(bytes, 0, static_cast<size_t>(count));
  return Ok;
}

}  // namespace tavrin::reference
