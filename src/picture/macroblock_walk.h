// The macroblock loop every picture decoder shares: raster order, row
// starts and ends, video packets, and the stop when the picture's data has
// run out.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"
#include "picture/macroblock_header.h"
#include "picture/picture_decoders.h"
#include "picture/video_packet.h"

namespace tavrin {

// Picture supplies StartRow(y), EndRow(), StartPacket(quant),
// ReadsBits(index) (false for a macroblock that takes nothing from the
// stream) and Macroblock(x, y) (0 or a status that ends the picture).
// Packets finds the packets: video packets, or the groups of blocks of
// short-header pictures (short_header_groups.h).  Packets that can find the
// next packet after damage (ResumeAfterDamage(reader): moves the reader to
// the next marker, false when there is none) let the walk resume there:
// the macroblocks between the damage and that packet are lost as those in
// front of any packet's first macroblock are.
template <typename Packets = VideoPackets, typename Picture>
int32_t WalkMacroblocks(DecoderContext& c, Picture& picture) {
  PrefetchMacroblockTables();
  const Packets packets(c);
  const int32_t mbWidth = c.store.mbWidth;
  const int32_t total = mbWidth * c.store.mbHeight;
  auto decode = [&](int32_t i) {
    const int32_t x = i % mbWidth;
    const int32_t y = i / mbWidth;
    if (x == 0) picture.StartRow(y);
    int32_t status = picture.Macroblock(x, y);
    // A picture whose data ran out stops here; the rest keeps what the
    // record held.
    if (status == 0 && c.reader.Exhausted()) status = kInvalidMacroblockCode;
    if (x == mbWidth - 1) picture.EndRow();
    return status;
  };
  for (int32_t i = 0; i < total; ++i) {
    if (i > 0 && packets.MarkerFollows(c.reader)) {
      VideoPacketHeader header;
      int32_t status = packets.ReadHeader(c, i, header);
      if (status != 0) return status;
      // Macroblocks that take nothing from the stream may lie between the
      // marker and the packet's first macroblock; they are decoded as
      // usual.  Any other macroblock in that gap was lost and keeps what
      // the record held.
      for (; i < header.macroblockNumber; ++i)
        if (!picture.ReadsBits(i) && (status = decode(i)) != 0) return status;
      picture.StartPacket(header.quant);
    }
    const int32_t status = decode(i);
    if (status != 0) {
      if constexpr (requires { packets.ResumeAfterDamage(c.reader); }) {
        // The next round reads the packet's header; it must start after i.
        if (i + 1 < total && packets.ResumeAfterDamage(c.reader)) continue;
      }
      return status;
    }
  }
  return 0;
}

}  // namespace tavrin
