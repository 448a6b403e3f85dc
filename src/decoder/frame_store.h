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

// Pictures are decoded in whole macroblocks: the planes hold the
// macroblock-aligned area (16 luma, 8 chroma samples per macroblock) and a
// border of 16 luma or 8 chroma samples on every side of it.  References
// are padded from the aligned area, as encoders predict from it.
constexpr int32_t AlignedLumaSize(int32_t size) { return (size + 15) & ~15; }
constexpr int32_t AlignedChromaSize(int32_t size) { return AlignedLumaSize(size) / 2; }

// Strides of a picture of this width: the aligned area and both borders.
constexpr int32_t LumaStride(int32_t width) { return AlignedLumaSize(width) + 32; }
constexpr int32_t ChromaStride(int32_t width) { return AlignedChromaSize(width) + 16; }

// Allocates everything; 0, or kFrameStoreAllocationFailed when anything
// could not be allocated (what was allocated stays until release).
int32_t AllocateFrameStore(DecoderContext& context);

// Releases everything; safe after a partial or missing allocation.  0.
int32_t ReleaseFrameStore(DecoderContext& context);

}  // namespace tavrin
