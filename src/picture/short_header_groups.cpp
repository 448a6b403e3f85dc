#include "picture/short_header_groups.h"

#include "picture/picture_decoders.h"

namespace tavrin {

int32_t GroupsOfBlocks::ReadHeader(DecoderContext& c, int32_t next,
                                   VideoPacketHeader& header) const {
  GroupOfBlocksHeader group;
  ReadGroupOfBlocksHeader(c.reader, group);
  header.macroblockNumber = group.groupNumber * macroblocksPerGroup_;
  header.quant = group.quant;
  if (group.groupNumber < 1 || group.groupNumber >= groupCount_ || header.macroblockNumber < next ||
      group.quant < 1)
    return kInvalidMacroblockCode;
  return 0;
}

bool GroupsOfBlocks::ResumeAfterDamage(BitReader& r) const {
  // Sixteen zeros from bit k of byte p on take all of byte p + 1: only
  // bytes followed by a zero byte can hold the start of one.  In the
  // reader's own byte only the bits not yet read count.
  const int32_t last = r.BytesLeft() - 3;
  for (int32_t i = 0; i < last; ++i) {
    const uint8_t* p = r.bytePos + i;
    if (p[1] != 0) continue;
    const uint32_t word = BitReader::LoadBigEndian32(p);
    for (int32_t k = i == 0 ? r.bitPos : 0; k < 8; ++k) {
      const uint32_t bits = word << k;  // start code and group number need 22 bits
      const int32_t group = static_cast<int32_t>((bits >> 10) & 31);
      if ((bits >> 15) == 1 && group >= 1 && group < groupCount_) {
        r.bytePos = p;
        r.bitPos = k;
        return true;
      }
    }
  }
  return false;
}

}  // namespace tavrin
