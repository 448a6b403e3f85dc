// The frame store: per-macroblock side arrays and the three bordered
// pictures, sized from the picture size in force.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

// AllocateFrameStore's result when memory could not be had.
inline constexpr int32_t kFrameStoreAllocationFailed = -1;

// Largest width and height the frame store serves.
inline constexpr int32_t kMaxPictureDimension = 8191;

// Strides of a picture of this width.
constexpr int32_t LumaStride(int32_t width) { return (width + 47) & ~15; }
constexpr int32_t ChromaStride(int32_t width) { return (width / 2 + 23) & ~7; }

// Allocates everything; 0, or kFrameStoreAllocationFailed when anything
// could not be allocated (what was allocated stays until release).
int32_t AllocateFrameStore(DecoderContext& context);

// Releases everything; safe after a partial or missing allocation.  0.
int32_t ReleaseFrameStore(DecoderContext& context);

}  // namespace tavrin
