// Groups of blocks in short-header pictures, in the role video packets play
// in the macroblock walk (macroblock_walk.h): a group with a header starts
// afresh (its quantiser, no vector prediction from the rows above), each
// group's data ends at the next start code, and where damage ends a group
// early or late the walk resumes at the next group header, the macroblocks
// between recorded as a damaged packet's are.
//
// A start code is 16 zeros and a 1, which no run of valid codes makes;
// encoders usually put it on a byte boundary, but it may begin at any bit.
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

  // Where the data before the first start code that begins in byte `from`
  // or later ends, as a byte offset from the buffer start: the code's byte
  // when it begins on the byte boundary, the byte after when it begins
  // inside the byte; the data length when there is none.
  int32_t NextMarker(const BitReader& reader, int32_t from) const;

  // Reads the header of the group whose start code ends the data at byte
  // `marker` (NextMarker), leaving the reader after it: 0, or
  // kInvalidMacroblockCode when there is no start code there or the header
  // names no group of the picture (0 is the picture start code, 31 the end
  // of the sequence), a group at or before macroblock `after`, or
  // quantiser 0.
  int32_t ReadHeaderAt(DecoderContext& c, int32_t marker, int32_t after,
                       VideoPacketHeader& header) const;

  // Whether the picture's data ends where its last macroblock does, which
  // the walk asks of video packets.  Not asked here: by the time a group
  // without a header after it reads to the picture's end with bits to
  // spare, the damage lies far back, and losing the stretch before the end
  // did worse than keeping what was decoded (measured on damaged copies).
  static bool EndsCleanly(const BitReader&) { return true; }

  bool enabled() const { return true; }

 private:
  int32_t macroblocksPerGroup_;
  int32_t groupCount_;
};

}  // namespace tavrin
