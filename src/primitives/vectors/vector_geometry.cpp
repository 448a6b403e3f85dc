// Vector clipping to a rectangle and the chroma vectors derived from luma
// vectors.
#include <cstdint>

#include "primitives/vectors/chroma_vector.h"
#include "primitives/vectors/vectors.h"
#include "primitives/wrapping_arithmetic.h"

namespace tavrin::reference {

namespace {

// Positions are in full samples and vectors in half samples; the bounds are
// formed in 32-bit two's-complement arithmetic, so absurd rectangles wrap
// instead of overflowing.
int32_t Twice(int32_t v) { return Mul32(v, 2); }

// One component: the block at full-sample position `position` moved by v
// must start between `origin` and origin + extent - size.
int16_t ClipComponent(int16_t v, int32_t position, int32_t origin, int32_t extent, int32_t size) {
  const int32_t p = Twice(position);
  const int32_t lo = Twice(origin);
  const int32_t hi = Twice(Sub32(Add32(origin, extent), size));
  const int32_t at = Add32(v, p);
  if (at < lo) return static_cast<int16_t>(Sub32(lo, p));
  if (at >= hi) return static_cast<int16_t>(Sub32(hi, p));
  return v;
}

// Rounding of the sum of 3, 2 or 1 luma vectors (n = 12, 8, 4) to a chroma
// vector, as for four (chroma_vector.h): whole multiples of n give an even
// value, the remainder picks the nearest chroma half-sample position.
constexpr uint8_t kT12[12] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 2, 2};
constexpr uint8_t kT8[8] = {0, 0, 1, 1, 1, 1, 1, 2};
constexpr uint8_t kT4[4] = {0, 1, 1, 1};

int16_t ChromaOfSum(int32_t sum, int count) {
  if (count == 4) return vectors::ChromaOfSumOfFour(sum);
  const int32_t m = sum < 0 ? -sum : sum;
  int32_t c = 0;
  switch (count) {
    case 3: c = (m / 12) * 2 + kT12[m % 12]; break;
    case 2: c = (m >> 3) * 2 + kT8[m & 7]; break;
    default: c = (m >> 2) * 2 + kT4[m & 3]; break;  // one block, or none (sum 0)
  }
  return static_cast<int16_t>(sum < 0 ? -c : c);
}

}  // namespace

PrimitiveStatus ClipVector(const MotionVector* in, MotionVector* out, const ClipRect* rect,
                           int32_t blockX, int32_t blockY, int32_t blockSize) {
  if (in == nullptr || out == nullptr || rect == nullptr) return NullPointer;
  if (blockSize != 8 && blockSize != 16) return BlockSizeError;
  if (rect->width < 2 * blockSize || rect->height < 2 * blockSize) return SizeError;
  const MotionVector v = *in;
  out->x = ClipComponent(v.x, blockX, rect->x, rect->width, blockSize);
  out->y = ClipComponent(v.y, blockY, rect->y, rect->height, blockSize);
  return Ok;
}

PrimitiveStatus DeriveChromaVector(const MotionVector* luma, MotionVector* chroma) {
  if (luma == nullptr || chroma == nullptr) return NullPointer;
  *chroma = vectors::ChromaVectorOf(*luma);
  return Ok;
}

PrimitiveStatus DeriveChromaVector4(const MotionVector* luma, MotionVector* chroma,
                                    const uint8_t* flags) {
  if (luma == nullptr || chroma == nullptr || flags == nullptr) return NullPointer;
  int32_t sx = 0;
  int32_t sy = 0;
  int count = 0;
  for (int k = 0; k < 4; ++k) {
    if (flags[k] == 0) continue;
    sx += luma[k].x;
    sy += luma[k].y;
    ++count;
  }
  chroma->x = ChromaOfSum(sx, count);
  chroma->y = ChromaOfSum(sy, count);
  return Ok;
}

}  // namespace tavrin::reference
