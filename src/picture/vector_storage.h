// The vectors of macroblocks as the predicted and bidirectional picture
// decoders keep them (one row for prediction, every macroblock for the B
// pictures that follow), the block flags of the row, and the clipping of
// vectors to the padded picture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/decoder_context.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/primitive_types.h"

namespace tavrin {

// Four vectors per entry; mvRow entry e and mvStore entry (macroblock
// index) i.  The int16 storage holds MotionVector pairs.
inline MotionVector* MvRowEntry(FrameStore& f, int32_t e) {
  return reinterpret_cast<MotionVector*>(f.mvRow + e * 8);
}
inline MotionVector* MvStoreEntry(FrameStore& f, int32_t i) {
  return reinterpret_cast<MotionVector*>(f.mvStore + i * 8);
}
inline uint8_t* BlockFlagEntry(FrameStore& f, int32_t e) { return f.blockFlagRow + e * 4; }

// The flags of a macroblock whose four luma blocks are all present.
alignas(4) inline constexpr uint8_t kAllBlocksPresent[4] = {2, 2, 2, 2};

// The macroblock-aligned picture plus the 16-sample border of the padded
// references.
inline ClipRect PictureClipRect(const DecoderContext& c) {
  return {-16, -16, 16 * c.store.mbWidth + 32, 16 * c.store.mbHeight + 32};
}

// Luma block position in pixels: block b of macroblock (x, y), or the
// macroblock itself for b < 0.
inline int32_t BlockX(int32_t x, int32_t b) { return 16 * x + (b < 0 ? 0 : 8 * (b & 1)); }
inline int32_t BlockY(int32_t y, int32_t b) { return 16 * y + (b < 0 ? 0 : 8 * (b >> 1)); }

// Clips v for the size x size block at full-sample position (blockX,
// blockY), as the clipping primitive does.  Most vectors keep the block
// inside the rectangle and need no change: those are recognised here, and
// only the others go to the primitive.
inline bool KeepsBlockInside(MotionVector v, const ClipRect& clip, int32_t blockX, int32_t blockY,
                             int32_t size) {
  const int64_t x = int64_t{v.x} + 2 * int64_t{blockX};
  const int64_t y = int64_t{v.y} + 2 * int64_t{blockY};
  return x >= 2 * int64_t{clip.x} && x < 2 * (int64_t{clip.x} + clip.width - size) &&
         y >= 2 * int64_t{clip.y} && y < 2 * (int64_t{clip.y} + clip.height - size);
}

inline void ClipBlockVector(MotionVector& v, const ClipRect& clip, int32_t blockX, int32_t blockY,
                            int32_t size) {
  if (KeepsBlockInside(v, clip, blockX, blockY, size)) return;
  primitives.ClipVector(&v, &v, &clip, blockX, blockY, size);
}

// The four 8x8 block vectors of macroblock (x, y) clipped.  Four equal
// vectors that keep the whole macroblock inside keep each of its blocks
// inside: one test then stands for four.
inline void ClipFourVectors(MotionVector* v, const ClipRect& clip, int32_t x, int32_t y) {
  if (v[1] == v[0] && v[2] == v[0] && v[3] == v[0] &&
      KeepsBlockInside(v[0], clip, BlockX(x, -1), BlockY(y, -1), 16)) {
    return;
  }
  for (int32_t b = 0; b < 4; ++b) ClipBlockVector(v[b], clip, BlockX(x, b), BlockY(y, b), 8);
}

inline void SetFourVectors(MotionVector* v, MotionVector value) {
  v[0] = v[1] = v[2] = v[3] = value;
}

}  // namespace tavrin
