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

}  // namespace tavrin
