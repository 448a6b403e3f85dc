// Reading a data-partitioned video packet.  Its macroblocks' codes come in
// three parts: first every macroblock's type, vectors (P pictures) or DC
// codes (I pictures), ended by a marker; then every macroblock's
// ac_pred_flag, cbpy, dquant (P) and DC codes (intra macroblocks of P
// pictures); then every coded block's residual, in the ordinary codes or,
// when the layer asks for it, the reversible ones.  The packet is read
// part by part into one record per macroblock (decoder/partition_records.h)
// saying where each of its codes lies and how much of it can be trusted:
// a first part that does not end in its marker after the macroblocks the
// packet holds loses the whole packet; a damaged second part or damaged
// residuals lose the residuals from the damage on (or the second part's
// fields too, with the residuals of every macroblock, since they can no
// longer be found).  Reversible residuals are read from the packet's end
// as well, and the macroblocks that both readings agree on are kept.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

// The data-partitioning markers, as the bits that follow them read.
inline constexpr uint32_t kMotionMarker = 0x1F001;  // 1 1111 0000 0000 0001
inline constexpr int32_t kMotionMarkerBits = 17;
inline constexpr uint32_t kDcMarker = 0x6B001;      // 110 1011 0000 0000 0001
inline constexpr int32_t kDcMarkerBits = 19;

struct PartitionedPacket {
  int32_t first;     // the packet's first macroblock
  int32_t expected;  // macroblocks the next packet's header leaves it, or -1 when unknown
  int32_t quant;     // its quantiser
  int32_t begin;     // bit where its first part begins
  int32_t end;       // bit where its codes end (before the stuffing), or -1 when unknown
  int32_t limit;     // no code of the packet lies at or after this bit
};

// Reads the packet into the records of its macroblocks (from
// packet.first): the number of macroblocks it holds, every one with its
// outcome; 0 when its first part cannot be read (the packet is lost).
int32_t ReadPartitionedPacket(DecoderContext& c, const PartitionedPacket& packet);

}  // namespace tavrin
