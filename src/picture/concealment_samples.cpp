#include "picture/concealment_samples.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "picture/intra_macroblock.h"

namespace tavrin {
namespace {

int32_t Mean(const uint8_t* p, int32_t stride) {
  int32_t sum = 0;
  for (int32_t row = 0; row < 8; ++row)
    for (int32_t col = 0; col < 8; ++col) sum += p[ptrdiff_t{row} * stride + col];
  return (sum + 32) >> 6;
}

void FillPlane(uint8_t* origin, int32_t stride, int32_t size, int32_t width, int32_t x, int32_t y,
               NeighbourSides sides) {
  uint8_t* to = origin + ptrdiff_t{size} * (y * stride + x);
  constexpr int32_t kReach = 3;
  auto smoothed = [&](const uint8_t* row, int32_t col) {
    int32_t sum = 0, n = 0;
    for (int32_t k = -kReach; k <= kReach; ++k) {
      const int32_t c = std::clamp(size * x + col + k, 0, width - 1) - size * x;
      sum += row[c];
      ++n;
    }
    return (sum + n / 2) / n;
  };
  for (int32_t col = 0; col < size; ++col) {
    const int32_t top = sides.above ? smoothed(to - stride, col) : -1;
    const int32_t bottom = sides.below ? smoothed(to + ptrdiff_t{size} * stride, col) : -1;
    for (int32_t row = 0; row < size; ++row) {
      int32_t value = 128;
      if (top >= 0 && bottom >= 0) {
        value = (top * (size - row) + bottom * (row + 1) + (size + 1) / 2) / (size + 1);
      } else if (top >= 0) {
        value = top;
      } else if (bottom >= 0) {
        value = bottom;
      }
      to[ptrdiff_t{row} * stride + col] = static_cast<uint8_t>(value);
    }
  }
}

}  // namespace

void BlockMeans(const PictureBuffer& p, int32_t x, int32_t y, uint8_t means[6]) {
  for (int32_t b = 0; b < 6; ++b) {
    const int32_t stride = BlockStride(p, b);
    const uint8_t* block = BlockOrigin(p, x, y, b);
    means[b] = static_cast<uint8_t>(Mean(block, stride));
  }
}

void KeepBlockMeans(const PictureBuffer& p, int32_t x, int32_t y, const uint8_t means[6]) {
  for (int32_t b = 0; b < 6; ++b) {
    const int32_t stride = BlockStride(p, b);
    uint8_t* block = BlockOrigin(p, x, y, b);
    const int32_t shift = means[b] - Mean(block, stride);
    const bool flat = std::abs(shift) > kDcStray;
    for (int32_t row = 0; row < 8; ++row) {
      for (int32_t col = 0; col < 8; ++col) {
        uint8_t& v = block[ptrdiff_t{row} * stride + col];
        v = flat ? means[b] : static_cast<uint8_t>(std::clamp(v + shift, 0, 255));
      }
    }
  }
}

void SaveSamples(const PictureBuffer& p, int32_t x, int32_t y, MacroblockSamples& samples) {
  for (int32_t b = 0; b < 6; ++b) {
    const int32_t stride = BlockStride(p, b);
    const uint8_t* block = BlockOrigin(p, x, y, b);
    for (int32_t row = 0; row < 8; ++row) std::copy_n(block + ptrdiff_t{row} * stride, 8, samples.blocks[b] + 8 * row);
  }
}

void RestoreSamples(const PictureBuffer& p, int32_t x, int32_t y, const MacroblockSamples& samples) {
  for (int32_t b = 0; b < 6; ++b) {
    const int32_t stride = BlockStride(p, b);
    uint8_t* block = BlockOrigin(p, x, y, b);
    for (int32_t row = 0; row < 8; ++row) std::copy_n(samples.blocks[b] + 8 * row, 8, block + ptrdiff_t{row} * stride);
  }
}

int64_t SeamStep(const PictureBuffer& p, int32_t x, int32_t y, NeighbourSides sides) {
  int64_t sum = 0;
  int32_t samples = 0;
  auto plane = [&](const uint8_t* origin, int32_t stride, int32_t size) {
    const uint8_t* mb = origin + ptrdiff_t{size} * (y * stride + x);
    auto across = [&](const uint8_t* inside, const uint8_t* outside, ptrdiff_t step) {
      for (int32_t k = 0; k < size; ++k) sum += std::abs(inside[k * step] - outside[k * step]);
      samples += size;
    };
    if (sides.above) across(mb, mb - stride, 1);
    if (sides.below) across(mb + ptrdiff_t{size - 1} * stride, mb + ptrdiff_t{size} * stride, 1);
    if (sides.left) across(mb, mb - 1, stride);
    if (sides.right) across(mb + size - 1, mb + size, stride);
  };
  plane(p.originY, p.strideY, 16);
  plane(p.originCb, p.strideCb, 8);
  plane(p.originCr, p.strideCr, 8);
  return samples == 0 ? -1 : sum * 256 / samples;
}

int64_t BlockEdgeStep(const PictureBuffer& p, int32_t x, int32_t y, bool outer) {
  int64_t sum = 0;
  int32_t samples = 0;
  auto plane = [&](const uint8_t* origin, int32_t stride, int32_t size) {
    const uint8_t* mb = origin + ptrdiff_t{size} * (y * stride + x);
    for (int32_t edge = 0; edge < size; edge += 8) {
      if (edge > 0 || (outer && y > 0)) {
        const uint8_t* row = mb + ptrdiff_t{edge} * stride;
        for (int32_t k = 0; k < size; ++k) sum += std::abs(row[k] - row[k - stride]);
        samples += size;
      }
      if (edge > 0 || (outer && x > 0)) {
        for (int32_t k = 0; k < size; ++k) {
          const uint8_t* at = mb + ptrdiff_t{k} * stride + edge;
          sum += std::abs(at[0] - at[-1]);
        }
        samples += size;
      }
    }
  };
  plane(p.originY, p.strideY, 16);
  plane(p.originCb, p.strideCb, 8);
  plane(p.originCr, p.strideCr, 8);
  return samples == 0 ? 0 : sum * 256 / samples;
}

void FillFromRows(const PictureBuffer& p, int32_t mbWidth, int32_t x, int32_t y, NeighbourSides sides) {
  FillPlane(p.originY, p.strideY, 16, 16 * mbWidth, x, y, sides);
  FillPlane(p.originCb, p.strideCb, 8, 8 * mbWidth, x, y, sides);
  FillPlane(p.originCr, p.strideCr, 8, 8 * mbWidth, x, y, sides);
}

}  // namespace tavrin
