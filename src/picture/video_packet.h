// Video packets: a picture may be cut into packets, each starting (after
// stuffing to a byte boundary) with a resynchronisation marker and a short
// header that names its first macroblock and quantiser.  Nothing is
// predicted across a packet boundary.  Streams that set
// resync_marker_disable carry none; encoders that cut pictures into slices
// (ffmpeg's with several threads, for one) do.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

struct VideoPacketHeader {
  int32_t macroblockNumber;
  int32_t quant;
};

class VideoPackets {
 public:
  explicit VideoPackets(const DecoderContext& c);

  // True when a resynchronisation marker (after its stuffing) is next.
  // Asked before every macroblock, so kept inline.
  bool MarkerFollows(const BitReader& reader) const {
    if (!enabled_) return false;
    // Stuffing: a 0, then 1s up to the byte boundary (a whole byte when the
    // position is already on one).
    const int32_t stuffing = 8 - reader.bitPos;
    const uint32_t expected = ((1u << (stuffing - 1)) - 1) << markerLength_ | 1u;
    return reader.ShowBits(stuffing + markerLength_) == expected;
  }

  // Consumes stuffing, marker and packet header.  0, or -5 when the header
  // names a macroblock that is not ahead of `next` within the picture.
  int32_t ReadHeader(DecoderContext& c, int32_t next, VideoPacketHeader& header) const;

  bool enabled() const { return enabled_; }

 private:
  bool enabled_;
  int32_t markerLength_;       // zeros and the final 1
  int32_t macroblockBits_;     // bits of macroblock_number
  int32_t macroblockCount_;
};

}  // namespace tavrin
