#include "picture/intra_macroblock.h"

#include "picture/neighbours.h"
#include "primitives/dispatch/primitive_table.h"

namespace tavrin {

uint8_t* BlockOrigin(const PictureBuffer& p, int32_t x, int32_t y, int32_t block) {
  if (block < 4)
    return p.originY + (16 * y + 8 * (block >> 1)) * p.strideY + 16 * x + 8 * (block & 1);
  if (block == 4) return p.originCb + 8 * y * p.strideCb + 8 * x;
  return p.originCr + 8 * y * p.strideCr + 8 * x;
}

int32_t BlockStride(const PictureBuffer& p, int32_t block) {
  return block < 4 ? p.strideY : block == 4 ? p.strideCb : p.strideCr;
}

int32_t ReconstructIntraMacroblock(DecoderContext& c, const IntraMacroblock& mb,
                                   const uint8_t* intraMatrix) {
  FrameStore& f = c.store;
  const PictureBuffer& picture = f.currentPicture;
  const int32_t coded = (mb.cbpy << 2) | mb.cbpc;  // bit 5 block 0 ... bit 0 block 5
  for (int32_t block = 0; block < 6; ++block) {
    const BlockGroups g = GroupsOf(f, mb.x, block);
    const bool hasCoefficients = (coded >> (5 - block)) & 1;
    const auto& reconstruct =
        hasCoefficients ? primitives.ReconstructIntraCoded : primitives.ReconstructIntraUncoded;
    const int32_t status =
        reconstruct(&c.reader.bytePos, &c.reader.bitPos, BlockOrigin(picture, mb.x, mb.y, block),
                    BlockStride(picture, block), g.above, g.left, mb.quant, f.qpRow + mb.x,
                    intraMatrix, block, mb.useIntraDcVlc, mb.acPred);
    if (status != 0) return status;
  }
  return 0;
}

}  // namespace tavrin
