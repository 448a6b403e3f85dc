#include "picture/intra_macroblock.h"

#include "picture/interlaced_blocks.h"
#include "picture/intra_neighbours.h"
#include "picture/picture_decoders.h"
#include "primitives/dequant/dc_scaler.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/reconstruction/reconstruction.h"

namespace tavrin {

int32_t ReconstructIntraMacroblock(DecoderContext& c, const IntraMacroblock& mb,
                                   const uint8_t* intraMatrix) {
  FrameStore& f = c.store;
  const PictureBuffer& picture = f.currentPicture;
  const int32_t coded = (mb.cbpy << 2) | mb.cbpc;  // bit 5 block 0 ... bit 0 block 5
  const bool fieldDct = mb.fieldDct != 0;
  const int32_t acPrediction =
      mb.acPred | (mb.alternateScan != 0 ? kIntraAlternateVerticalScan : 0);
  const bool checkDc = IntraDcChecked(c);
  bool impossible = false;
  for (int32_t block = 0; block < 6; ++block) {
    const BlockGroups g = GroupsOf(f, mb.x, block);
    const bool hasCoefficients = (coded >> (5 - block)) & 1;
    const auto& reconstruct =
        hasCoefficients ? primitives.ReconstructIntraCoded : primitives.ReconstructIntraUncoded;
    const int32_t status =
        reconstruct(&c.reader.bytePos, &c.reader.bitPos,
                    TextureBlockOrigin(picture, mb.x, mb.y, block, fieldDct),
                    TextureBlockStride(picture, block, fieldDct), g.above, g.left, mb.quant,
                    f.qpRow + mb.x, intraMatrix, block, mb.useIntraDcVlc, acPrediction);
    if (status != 0) return status;
    // The primitive leaves the block's DC in the group the next blocks
    // predict from: the column group for block 3, else the row group.
    const int16_t dc = block == 3 ? g.left[0] : g.above[0];
    impossible = impossible || (checkDc && ImpossibleIntraDc(dc, dequant::DcScaler(mb.quant, block < 4 ? 0 : 1)));
  }
  return impossible ? kImpossibleIntraDc : 0;
}

}  // namespace tavrin
