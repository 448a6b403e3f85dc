// Deringing of one 8x8 block after the deringing filter of ISO/IEC 14496-2,
// Annex F.  Nothing in the decoder calls these two; they complete the table.
//
// DeringThreshold measures a block: threshold = (max + min + 1) / 2 and
// range = max - min over its 64 samples.  Adjusting thresholds across the
// four luma blocks of a macroblock (borrowing the threshold of the block
// with the widest range when a block's own range is small) is left to the
// caller, which sees all four results.
//
// DeringSmooth filters one block with a given threshold.  Every sample gets
// a binary index, 1 when it is at least the threshold and 0 otherwise; a
// sample whose 3x3 neighbourhood holds one index only is replaced by the
// 1 2 1 / 2 4 2 / 1 2 1 weighted mean of that neighbourhood (sum plus 8,
// shifted right by 4), moved at most quant / 2 away from its old value;
// every other sample is kept.  The neighbourhoods of the block's edge
// samples reach one sample into the neighbouring blocks, so the source must
// be readable one row above, one row below, one column left and one column
// right of the block.  The result is computed from the source as it was on
// entry, so the destination may be the source itself.
#include <algorithm>
#include <cstddef>

#include "primitives/postfilter/postfilter.h"

namespace tavrin::reference {

PrimitiveStatus DeringThreshold(const uint8_t* pixels, int32_t stride, int32_t* threshold,
                                int32_t* range) {
  if (pixels == nullptr || threshold == nullptr || range == nullptr) return NullPointer;
  if (stride < 8) return Step8Error;
  int low = 255;
  int high = 0;
  for (int y = 0; y < 8; ++y, pixels += stride) {
    for (int x = 0; x < 8; ++x) {
      low = std::min<int>(low, pixels[x]);
      high = std::max<int>(high, pixels[x]);
    }
  }
  *threshold = (high + low + 1) / 2;
  *range = high - low;
  return Ok;
}

PrimitiveStatus DeringSmooth(const uint8_t* source, int32_t sourceStride, uint8_t* destination,
                             int32_t destinationStride, int32_t threshold, int32_t quant) {
  if (source == nullptr || destination == nullptr) return NullPointer;
  if (sourceStride < 8 || destinationStride < 8) return Step8Error;
  if (quant < 1 || quant > 31) return QuantiserError;

  // The block with its one-sample ring, and the binary index of each sample.
  int rec[10][10];
  bool index[10][10];
  const ptrdiff_t ss = sourceStride;
  const uint8_t* row = source - ss - 1;
  for (int y = 0; y < 10; ++y, row += ss) {
    for (int x = 0; x < 10; ++x) {
      rec[y][x] = row[x];
      index[y][x] = row[x] >= threshold;
    }
  }

  const int maxChange = quant / 2;
  uint8_t out[8][8];
  for (int y = 1; y <= 8; ++y) {
    for (int x = 1; x <= 8; ++x) {
      const bool first = index[y - 1][x - 1];
      bool uniform = true;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) uniform = uniform && index[y + dy][x + dx] == first;
      }
      int value = rec[y][x];
      if (uniform) {
        const int sum = rec[y - 1][x - 1] + 2 * rec[y - 1][x] + rec[y - 1][x + 1] +
                        2 * rec[y][x - 1] + 4 * rec[y][x] + 2 * rec[y][x + 1] + rec[y + 1][x - 1] +
                        2 * rec[y + 1][x] + rec[y + 1][x + 1];
        value = std::clamp((sum + 8) >> 4, value - maxChange, value + maxChange);
      }
      out[y - 1][x - 1] = static_cast<uint8_t>(value);
    }
  }
  for (int y = 0; y < 8; ++y, destination += destinationStride) {
    std::copy(out[y], out[y] + 8, destination);
  }
  return Ok;
}

}  // namespace tavrin::reference
