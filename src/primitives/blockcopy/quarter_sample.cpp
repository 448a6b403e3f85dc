// Quarter-sample prediction, portable: the two passes one sample at a time,
// as quarter_sample.h describes them.
#include "primitives/blockcopy/quarter_sample.h"

#include <algorithm>
#include <cstddef>

namespace tavrin::reference {
namespace {

constexpr int kMaxSize = 16;

// Position i of a line of size + 1 samples, mirrored at both ends.
int Mirrored(int i, int size) {
  if (i < 0) return -1 - i;
  if (i > size) return 2 * size + 1 - i;
  return i;
}

// The eight-tap half sample between positions i and i + 1 of a line of
// size + 1 samples read through `at`, rounded and clamped.
template <typename At>
uint8_t HalfSample(const At& at, int i, int size, int rc) {
  auto pair = [&](int j) { return at(Mirrored(i - j, size)) + at(Mirrored(i + 1 + j, size)); };
  const int sum = 20 * pair(0) - 6 * pair(1) + 3 * pair(2) - pair(3);
  return static_cast<uint8_t>(std::clamp((sum + 16 - rc) >> 5, 0, 255));
}

// The sample at fraction f (0..3) right of (or below) position i.
template <typename At>
uint8_t AtFraction(const At& at, int i, int f, int size, int rc) {
  if (f == 0) return static_cast<uint8_t>(at(i));
  const int half = HalfSample(at, i, size, rc);
  if (f == 2) return static_cast<uint8_t>(half);
  const int full = at(f == 1 ? i : i + 1);
  return static_cast<uint8_t>((half + full + 1 - rc) >> 1);
}

void PredictBlock(const uint8_t* reference, ptrdiff_t rs, MotionVector v, int32_t rounding,
                  int size, bool average, uint8_t* out, ptrdiff_t os) {
  const int rc = rounding != 0 ? 1 : 0;
  const int fx = v.x & 3;
  const int fy = v.y & 3;
  const uint8_t* origin = reference + (v.x >> 2) + rs * (v.y >> 2);
  // The horizontal pass over every row the vertical one reads.
  uint8_t rows[kMaxSize + 1][kMaxSize];
  const int height = fy != 0 ? size + 1 : size;
  for (int y = 0; y < height; ++y) {
    const uint8_t* line = origin + rs * y;
    auto at = [&](int i) { return static_cast<int>(line[i]); };
    for (int x = 0; x < size; ++x) rows[y][x] = AtFraction(at, x, fx, size, rc);
  }
  for (int x = 0; x < size; ++x) {
    auto at = [&](int i) { return static_cast<int>(rows[i][x]); };
    for (int y = 0; y < size; ++y) {
      const int p = AtFraction(at, y, fy, size, rc);
      uint8_t& to = out[os * y + x];
      to = static_cast<uint8_t>(average ? (to + p + 1) >> 1 : p);
    }
  }
}

PrimitiveStatus Predict(const uint8_t* reference, int32_t referenceStride, uint8_t* destination,
                        int32_t destinationStride, const MotionVector* vector, int32_t rounding,
                        int size, bool average) {
  if (reference == nullptr || destination == nullptr || vector == nullptr) return NullPointer;
  PredictBlock(reference, referenceStride, *vector, rounding, size, average, destination,
               destinationStride);
  return Ok;
}

}  // namespace

PrimitiveStatus PredictQuarterSample8x8(const uint8_t* reference, int32_t referenceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        const MotionVector* vector, int32_t rounding) {
  return Predict(reference, referenceStride, destination, destinationStride, vector, rounding, 8,
                 false);
}

PrimitiveStatus PredictQuarterSample16x16(const uint8_t* reference, int32_t referenceStride,
                                          uint8_t* destination, int32_t destinationStride,
                                          const MotionVector* vector, int32_t rounding) {
  return Predict(reference, referenceStride, destination, destinationStride, vector, rounding, 16,
                 false);
}

PrimitiveStatus PredictQuarterSampleAverage8x8(const uint8_t* reference, int32_t referenceStride,
                                               uint8_t* destination, int32_t destinationStride,
                                               const MotionVector* vector, int32_t rounding) {
  return Predict(reference, referenceStride, destination, destinationStride, vector, rounding, 8,
                 true);
}

PrimitiveStatus PredictQuarterSampleAverage16x16(const uint8_t* reference,
                                                 int32_t referenceStride, uint8_t* destination,
                                                 int32_t destinationStride,
                                                 const MotionVector* vector, int32_t rounding) {
  return Predict(reference, referenceStride, destination, destinationStride, vector, rounding, 16,
                 true);
}

}  // namespace tavrin::reference
