// Global motion prediction: blocks predicted sample by sample from a warp of
// the reference, and the fast form for a warp that only translates.  Both
// interpolate bilinearly at the warp's accuracy (1/s sample, s = 2 to 16):
//   ((s - fx)(s - fy) P00 + fx (s - fy) P01 + (s - fx) fy P10 + fx fy P11
//    + s * s / 2 - rounding) / (s * s)
// where P00 is the sample at the whole part of the position, P01 the one to
// its right, P10 and P11 the ones below them, and fx, fy the fractions.
#pragma once

#include <cstdint>

#include "primitives/dispatch/atomic_slot.h"

namespace tavrin {

// Where each sample (i, j) of a block (0 <= i, j < size) is taken from, in
// 1/s sample units relative to the plane origin:
//   x = baseX + ((remX + xi * i + xj * j) >> shiftX)
//   y = baseY + ((remY + yi * i + yj * j) >> shiftY)
// (arithmetic shifts: the division rounds down).  Whole sample positions
// outside [minX, maxX] x [minY, maxY] read the nearest position inside: the
// bounds are those of the padded plane.  The caller keeps every sum of the
// numerator within 32 bits and the bounds inside the plane's allocation.
struct WarpBlock {
  int32_t baseX, baseY;
  int32_t remX, remY;
  int32_t xi, xj, yi, yj;
  int32_t shiftX, shiftY;  // 0 to 30
  int32_t accuracyBits;    // log2 s, 1 to 4
  int32_t rounding;        // 0 or 1
  int32_t minX, maxX, minY, maxY;
};

// A size x size block (8 or 16) warped from the plane whose origin is given.
using WarpFn = void (*)(const uint8_t* origin, int32_t stride, uint8_t* destination,
                        int32_t destinationStride, int32_t size, const WarpBlock* block);

// A size x size block (8 or 16) translated: every sample at fraction fx, fy
// (0 to s - 1) from the sample at the same place in source; reads size + 1
// rows of size + 1 samples.
using TranslateFn = void (*)(const uint8_t* source, int32_t stride, uint8_t* destination,
                             int32_t destinationStride, int32_t size, int32_t fx, int32_t fy,
                             int32_t accuracyBits, int32_t rounding);

namespace reference {
void Warp(const uint8_t* origin, int32_t stride, uint8_t* destination, int32_t destinationStride,
          int32_t size, const WarpBlock* block);
void Translate(const uint8_t* source, int32_t stride, uint8_t* destination,
               int32_t destinationStride, int32_t size, int32_t fx, int32_t fy,
               int32_t accuracyBits, int32_t rounding);
}  // namespace reference

namespace sse2 {
// Takes a 16x16 block, else its 8x8 parts, whose whole-sample offset from
// the block grid is the same for every sample and that read inside the
// bounds with row loads and per-sample weights; other parts sample by
// sample as the reference does.
void Warp(const uint8_t* origin, int32_t stride, uint8_t* destination, int32_t destinationStride,
          int32_t size, const WarpBlock* block);
void Translate(const uint8_t* source, int32_t stride, uint8_t* destination,
               int32_t destinationStride, int32_t size, int32_t fx, int32_t fy,
               int32_t accuracyBits, int32_t rounding);
}  // namespace sse2

// The fastest forms this build has.
struct WarpRoutineSet {
  AtomicSlot<WarpFn> warp;
  AtomicSlot<TranslateFn> translate;
};

extern WarpRoutineSet warpRoutines;

}  // namespace tavrin
