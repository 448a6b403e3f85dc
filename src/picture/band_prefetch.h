// Prefetching the picture bands the macroblock walk is about to touch.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/picture_buffer.h"

namespace tavrin {

// Pictures are far larger than the caches, and the reads and writes of one
// macroblock hit a new cache line in every row once every four macroblocks
// (a line holds 64 luma samples), each a miss the processor waits for.
// While macroblock (x, y) is decoded, Ahead asks for the lines one to its
// right, which the macroblocks a few steps on will use: four luma rows and
// two rows of each chroma plane per call, so that four calls cover the
// whole macroblock row band.  A prefetch never faults; the addresses stay
// within the plane allocations' reach for every position of a picture.
//
// A picture that is written walks the macroblock's own band.  A reference
// walks the band below (bandsBelow 1): vectors reach into it, and the
// macroblock's own band was asked for on the row before, when it was the
// band below.  With caches emptied between calls this made D1 and 720x528
// decoding 5 to 15% faster than fetching the own band of the references.
//
// The band's row pointers are formed once per macroblock row (on the first
// call in a row, whichever macroblock that is), so that a call costs the
// prefetches and little more.  Ahead is always inlined: GCC takes a
// function that only prefetches for one without side effects and drops the
// calls to it when it stays out of line (no prefetch was left in the
// library before this was marked).  The prefetches matter most when the
// caches are cold, as after the pause of every picture-returning call on a
// busy host: there they made the decode 5 to 30% faster (720x528 to 1080p
// the most), where with warm caches they cost a few percent.
class BandPrefetch {
 public:
  explicit BandPrefetch(const PictureBuffer& picture, int32_t bandsBelow = 0)
      : picture_(&picture), bandsBelow_(bandsBelow) {}

  [[gnu::always_inline]] void Ahead(int32_t x, int32_t y) {
    if (y != row_) StartRow(y);
    const ptrdiff_t phase = x & 3;
    const uint8_t* luma = luma_ + 16 * x + phase * fourLumaRows_;
    __builtin_prefetch(luma);
    __builtin_prefetch(luma + lumaStride_);
    __builtin_prefetch(luma + 2 * lumaStride_);
    __builtin_prefetch(luma + 3 * lumaStride_);
    const ptrdiff_t chroma = 8 * x + phase * twoChromaRows_;
    __builtin_prefetch(cb_ + chroma);
    __builtin_prefetch(cb_ + chroma + chromaStride_);
    __builtin_prefetch(cr_ + chroma);
    __builtin_prefetch(cr_ + chroma + chromaStride_);
  }

 private:
  void StartRow(int32_t row) {
    const PictureBuffer& p = *picture_;
    row_ = row;
    const int32_t y = row + bandsBelow_;
    lumaStride_ = p.strideY;
    chromaStride_ = p.strideCb;  // the same for both chroma planes
    fourLumaRows_ = 4 * lumaStride_;
    twoChromaRows_ = 2 * chromaStride_;
    luma_ = p.originY + 16 * y * lumaStride_ + 64;
    cb_ = p.originCb + 8 * y * chromaStride_ + 64;
    cr_ = p.originCr + 8 * y * chromaStride_ + 64;
  }

  const PictureBuffer* picture_;
  int32_t bandsBelow_;
  int32_t row_ = -1;
  const uint8_t* luma_ = nullptr;
  const uint8_t* cb_ = nullptr;
  const uint8_t* cr_ = nullptr;
  ptrdiff_t lumaStride_ = 0;
  ptrdiff_t chromaStride_ = 0;
  ptrdiff_t fourLumaRows_ = 0;
  ptrdiff_t twoChromaRows_ = 0;
};

}  // namespace tavrin
