// Groups of blocks in short-header pictures, in the role video packets play
// in the macroblock walk (macroblock_walk.h): a group with a header starts
// afresh (its quantiser, no vector prediction from the rows above), and
// where damage ends a group early the walk resumes at the next group
// header, the macroblocks between recorded as a damaged packet's are.
#pragma once

#include <cstdint>

#include "bitstream/short_header_picture.h"
#include "decoder/decoder_context.h"
#include "picture/video_packet.h"

namespace tavrin {

class GroupsOfBlocks {
 public:
  explicit GroupsOfBlocks(const DecoderContext& c)
      : macroblocksPerGroup_(c.store.mbWidth * c.shortHeader.rowsPerGroup),
        groupCount_(c.shortHeader.groupCount) {}

  // True when a group-of-blocks start code (after its stuffing) is next.
  bool MarkerFollows(const BitReader& reader) const { return GroupStartFollows(reader); }

  // Consumes stuffing, start code and group header, giving the group's
  // first macroblock and quantiser.  0, or kInvalidMacroblockCode when the
  // header names no group of the picture (0 is the picture start code,
  // 31 the end of the sequence), a group that is not ahead of `next`, or
  // quantiser 0.
  int32_t ReadHeader(DecoderContext& c, int32_t next, VideoPacketHeader& header) const;

  // After damage: moves the reader to the next group start code (at any
  // bit) followed by a group number of the picture, at or after the
  // reader's byte.  False, the reader unmoved, when there is none.
  bool ResumeAfterDamage(BitReader& reader) const;

  bool enabled() const { return true; }

 private:
  int32_t macroblocksPerGroup_;
  int32_t groupCount_;
};

}  // namespace tavrin
