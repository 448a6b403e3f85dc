// Video packets: a picture may be cut into packets, each starting (after
// stuffing to a byte boundary) with a resynchronisation marker and a short
// header that names its first macroblock and quantiser.  Nothing is
// predicted across a packet boundary.  Streams that set
// resync_marker_disable carry none; encoders that cut pictures into slices
// (ffmpeg's with several threads, for one) do.
//
// The markers are also where decoding resumes after damage: a marker is
// byte-aligned and no run of valid codes makes one, so the next one is
// found by looking at the bytes alone, and the damaged packet ends there.
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

  // The byte offset (from the buffer start) of the first marker that
  // begins at or after byte `from` inside the valid data, or the data
  // length when there is none.  Bounded by the data.
  int32_t NextMarker(const BitReader& reader, int32_t from) const;

  // Reads the header of the packet whose marker begins at byte `marker`,
  // leaving the reader after it: 0, or -5 when the header names a
  // macroblock at or before `after` or outside the picture.
  int32_t ReadHeaderAt(DecoderContext& c, int32_t marker, int32_t after,
                       VideoPacketHeader& header) const;

  bool enabled() const { return enabled_; }
  int32_t markerLength() const { return markerLength_; }

 private:
  int32_t ReadFields(DecoderContext& c, VideoPacketHeader& header) const;

  bool enabled_;
  int32_t markerLength_;       // zeros and the final 1
  int32_t macroblockBits_;     // bits of macroblock_number
  int32_t macroblockCount_;
};

}  // namespace tavrin
