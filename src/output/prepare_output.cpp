#include "output/prepare_output.h"

#include <algorithm>

#include "primitives/dispatch/primitive_table.h"

namespace tavrin {
namespace {

constexpr int32_t kThreshold1 = 4;
constexpr int32_t kThreshold2 = 6;

// All horizontal edges of a plane, top to bottom, then all vertical edges,
// each row left to right.  blocksX and blocksY count 8x8 blocks; the
// plane's outer border is never filtered.
void DeblockPlane(uint8_t* plane, int32_t stride, int32_t blocksX, int32_t blocksY,
                  int32_t quant) {
  for (int32_t r = 1; r < blocksY; ++r)
    for (int32_t k = 0; k < blocksX; ++k)
      primitives.DeblockHorizontalEdge(plane + 8 * r * stride + 8 * k, stride, quant, kThreshold1,
                                       kThreshold2);
  for (int32_t r = 0; r < blocksY; ++r)
    for (int32_t k = 1; k < blocksX; ++k)
      primitives.DeblockVerticalEdge(plane + 8 * r * stride + 8 * k, stride, quant, kThreshold1,
                                     kThreshold2);
}

// Chroma edges of Cb and Cr interleaved: each edge in Cb, then the same
// edge in Cr.
void DeblockChroma(uint8_t* cb, uint8_t* cr, int32_t stride, int32_t blocksX, int32_t blocksY,
                   int32_t quant) {
  for (int32_t r = 1; r < blocksY; ++r)
    for (int32_t k = 0; k < blocksX; ++k) {
      const int32_t at = 8 * r * stride + 8 * k;
      primitives.DeblockHorizontalEdge(cb + at, stride, quant, kThreshold1, kThreshold2);
      primitives.DeblockHorizontalEdge(cr + at, stride, quant, kThreshold1, kThreshold2);
    }
  for (int32_t r = 0; r < blocksY; ++r)
    for (int32_t k = 1; k < blocksX; ++k) {
      const int32_t at = 8 * r * stride + 8 * k;
      primitives.DeblockVerticalEdge(cb + at, stride, quant, kThreshold1, kThreshold2);
      primitives.DeblockVerticalEdge(cr + at, stride, quant, kThreshold1, kThreshold2);
    }
}

}  // namespace

int64_t FilterBufferBytes(int32_t width, int32_t height) {
  const int64_t mbs = int64_t{(width + 15) / 16} * ((height + 15) / 16);
  return std::max(int64_t{width} * height * 4, mbs * 384);
}

void PrepareOutput(DecoderContext& context, int32_t postFilter, DecoderOutput* output) {
  const PictureBuffer* p = context.state.outputPicture;
  if (p == nullptr || output == nullptr) return;
  output->planeY = p->originY;
  output->planeCb = p->originCb;
  output->planeCr = p->originCr;
  output->strideY = p->strideY;
  output->strideCb = p->strideCb;
  output->strideCr = p->strideCr;
  uint8_t* buffer = context.input.filterBuffer;
  if (postFilter == 0 || buffer == nullptr) return;

  const int32_t mbWidth = context.store.mbWidth;
  const int32_t mbHeight = context.store.mbHeight;
  const int32_t quant = context.picture.vopQuant;
  // The filter works on whole macroblocks, so the copy covers them too: when
  // the size is not a multiple of 16 the edges next to the picture's right
  // and bottom ends then read the decoded picture's own samples (inside its
  // border) rather than whatever an earlier call left in the buffer.
  const int32_t lumaStride = mbWidth * 16;
  primitives.CopyPlane(p->originY, p->strideY, buffer, lumaStride, mbWidth * 16, mbHeight * 16);
  DeblockPlane(buffer, lumaStride, 2 * mbWidth, 2 * mbHeight, quant);
  output->planeY = buffer;
  output->strideY = lumaStride;
  if (postFilter != 2) return;

  const int32_t chromaStride = mbWidth * 8;
  uint8_t* cb = buffer + mbWidth * mbHeight * 256;
  uint8_t* cr = buffer + mbWidth * mbHeight * 320;
  primitives.CopyPlane(p->originCb, p->strideCb, cb, chromaStride, mbWidth * 8, mbHeight * 8);
  primitives.CopyPlane(p->originCr, p->strideCr, cr, chromaStride, mbWidth * 8, mbHeight * 8);
  DeblockChroma(cb, cr, chromaStride, mbWidth, mbHeight, quant);
  output->planeCb = cb;
  output->planeCr = cr;
  output->strideCb = output->strideCr = chromaStride;
}

}  // namespace tavrin
