// Whole-block moves: the two block copies, residual addition onto a picture
// block, and the rounded average of two predictions.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "primitives/blockcopy/blockcopy.h"

namespace tavrin::reference {
namespace {

template <int kSize>
void CopySquare(const uint8_t* source, uint8_t* destination, ptrdiff_t stride) {
  for (int y = 0; y < kSize; ++y) {
    std::memcpy(destination, source, kSize);
    source += stride;
    destination += stride;
  }
}

template <int kSize>
void AverageSquare(const uint8_t* source, ptrdiff_t sourceStride, uint8_t* destination,
                   ptrdiff_t destinationStride) {
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      destination[x] = static_cast<uint8_t>((source[x] + destination[x] + 1) >> 1);
    }
    source += sourceStride;
    destination += destinationStride;
  }
}

}  // namespace

PrimitiveStatus Copy16x16(const uint8_t* source, uint8_t* destination, int32_t stride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  if (stride < 16) return Step16Error;
  CopySquare<16>(source, destination, stride);
  return Ok;
}

PrimitiveStatus Copy8x8(const uint8_t* source, uint8_t* destination, int32_t stride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  if (stride < 8) return Step8Error;
  CopySquare<8>(source, destination, stride);
  return Ok;
}

PrimitiveStatus AddResidual8x8(uint8_t* picture, const int16_t* residual, int32_t stride) {
  if (picture == nullptr || residual == nullptr) return NullPointer;
  if (stride < 8) return Step8Error;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      picture[x] = static_cast<uint8_t>(std::clamp(picture[x] + residual[x], 0, 255));
    }
    picture += stride;
    residual += 8;
  }
  return Ok;
}

PrimitiveStatus Average8x8(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                           int32_t destinationStride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  AverageSquare<8>(source, sourceStride, destination, destinationStride);
  return Ok;
}

PrimitiveStatus Average16x16(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  AverageSquare<16>(source, sourceStride, destination, destinationStride);
  return Ok;
}

}  // namespace tavrin::reference
