#include "picture/motion_compensation.h"

#include <algorithm>
#include <bit>
#include <climits>

#include "picture/intra_macroblock.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/reconstruction/reconstruction_routines.h"

namespace tavrin {

// The coded blocks in block order: block 0 is the highest of the six bits.
int32_t AddResidualBlocks(const InterBlockCoding& coding, const PictureBuffer& cur, int32_t x,
                          int32_t y, uint32_t cbp) {
  while (cbp != 0) {
    const int32_t high = 31 - std::countl_zero(cbp);
    cbp ^= 1u << high;
    const int32_t block = 5 - high;
    const int32_t status = reconstructionRoutines.reconstructInterAdd(
        &coding.reader.bytePos, &coding.reader.bitPos, coding.quant, coding.matrix,
        BlockOrigin(cur, x, y, block), BlockStride(cur, block));
    if (status != 0) return status;
  }
  return 0;
}

void CopyMacroblockSamples(const PictureBuffer& from, const PictureBuffer& to, int32_t x,
                           int32_t y) {
  primitives.Copy16x16(BlockOrigin(from, x, y, 0), BlockOrigin(to, x, y, 0), to.strideY);
  primitives.Copy8x8(BlockOrigin(from, x, y, 4), BlockOrigin(to, x, y, 4), to.strideCb);
  primitives.Copy8x8(BlockOrigin(from, x, y, 5), BlockOrigin(to, x, y, 5), to.strideCr);
}

void StartPictureContent(FrameStore& f) {
  if (f.contentSerial == INT32_MAX) {
    const int32_t mbs = f.mbWidth * f.mbHeight;
    for (PictureBuffer* p : {&f.currentPicture, &f.forwardReference, &f.backwardReference}) {
      if (p->contentTags != nullptr) primitives.ZeroBytes(p->contentTags, mbs * 4);
      // Padded-segment tags name tags of before the restart too.
      if (p->paddedTags != nullptr) {
        primitives.ZeroBytes(p->paddedTags, 8 * BorderSegmentCount(f.mbWidth, f.mbHeight));
      }
    }
    f.contentSerial = 0;
  }
  ++f.contentSerial;
}

void MarkPictureWritten(FrameStore& f) {
  int32_t* tags = f.currentPicture.contentTags;
  if (tags == nullptr) return;
  std::fill(tags, tags + f.mbWidth * f.mbHeight, f.contentSerial);
}

}  // namespace tavrin
