// One bordered 4:2:0 picture: three planes, each with a border of 16 luma or
// 8 chroma samples on every side of the visible area.  Records move between
// roles by value; the planes themselves never move.
#pragma once

#include <cstdint>

namespace tavrin {

struct PictureBuffer {
  uint8_t* baseY = nullptr;  // top-left sample of the luma border area
  uint8_t* baseCb = nullptr;
  uint8_t* baseCr = nullptr;
  int32_t strideY = 0;   // (width + 47) & ~15
  int32_t strideCr = 0;  // (width / 2 + 23) & ~7
  int32_t strideCb = 0;  // same as strideCr
  uint8_t* originY = nullptr;  // first visible luma sample: baseY + 16 * strideY + 16
  uint8_t* originCb = nullptr;  // baseCb + 8 * strideCb + 8
  uint8_t* originCr = nullptr;
  int32_t time = 0;  // vop_time_increment of the picture it holds
  // The allocations behind the planes.  Each reaches a few rows beyond the
  // border on both sides, so that motion compensation that ends just past a
  // border (an odd vector at the clipping bound, or a chroma vector averaged
  // from four clipped luma vectors) still reads inside the allocation.
  uint8_t* allocationY = nullptr;
  uint8_t* allocationCb = nullptr;
  uint8_t* allocationCr = nullptr;
  // Per macroblock, which picture decode wrote the samples it holds: a
  // macroblock copied from another picture takes that picture's tag, and
  // two pictures whose tags agree at a macroblock hold the same samples
  // there.  0 means unknown (never equal to anything).
  int32_t* contentTags = nullptr;
  // Per border segment (the luma ones, then the chroma ones, which Cb and Cr
  // share; see BorderSegmentCount), the tag the macroblock it is copied
  // from had when the segment was last padded, 0 when unknown.
  int32_t* paddedTags = nullptr;
};

// Border segments of one plane: above and below each macroblock column,
// left and right of each macroblock row, and the four corners.
inline int32_t BorderSegmentCount(int32_t mbWidth, int32_t mbHeight) {
  return 2 * mbWidth + 2 * mbHeight + 4;
}

}  // namespace tavrin
