// The macroblock loop of data-partitioned I and P pictures: packet by
// packet, each packet read part by part (partitions_packet.h), then its
// macroblocks put back together (partitions_remux.h) and decoded one by
// one by the picture's own macroblock decoder, as in any other picture.
// What the packet's parts could not deliver is marked for the
// concealment: a lost packet whole; residuals that were lost leave inter
// macroblocks predicted with their own vectors, and intra macroblocks with
// their DCs only (kept for the DC prediction of the macroblocks after
// them, then concealed from the reference when there is one).
#pragma once

#include <algorithm>
#include <cstdint>

#include "decoder/decoder_context.h"
#include "picture/damage_map.h"
#include "picture/macroblock_header.h"
#include "picture/partitions_packet.h"
#include "picture/partitions_remux.h"
#include "picture/picture_decoders.h"
#include "picture/video_packet.h"

namespace tavrin {

// Where the codes of a packet whose data ends before byte `end` end: before
// the stuffing (a 0 and up to seven 1s, or a whole byte 0111 1111) in the
// last byte; -1 when that byte holds no stuffing.
inline int32_t CodesEnd(const BitReader& r, int32_t begin, int32_t end) {
  if (end <= begin) return -1;
  const uint8_t last = r.bufferStart[end - 1];
  if (last == 0xFF) return -1;
  int32_t ones = 0;
  while (ones < 7 && ((last >> ones) & 1)) ++ones;
  return end * 8 - ones - 1;
}

// The end of the picture's data: the next start code, or the end of the
// data, without the zero bytes before either.
inline int32_t PictureDataEnd(const BitReader& r) {
  const uint8_t* code = r.FindStartCodePrefix();
  int32_t end = code != nullptr ? static_cast<int32_t>(code - 3 - r.bufferStart) : r.dataLength;
  const int32_t from = static_cast<int32_t>(r.bytePos - r.bufferStart);
  while (end > from && r.bufferStart[end - 1] == 0) --end;
  return end;
}

template <typename Picture>
int32_t WalkPartitionedPackets(DecoderContext& c, Picture& picture) {
  PrefetchMacroblockTables();
  const VideoPackets packets(c);
  BitReader& r = c.reader;
  FrameStore& f = c.store;
  ResilienceState& rs = f.resilience;
  const int32_t mbWidth = f.mbWidth;
  const int32_t total = mbWidth * f.mbHeight;
  const int32_t pictureEnd = PictureDataEnd(r);
  DamageMap damage(f);
  int32_t result = 0;
  int32_t walkQuant = c.picture.vopQuant;  // as the picture decoder keeps it

  // Decodes one macroblock from its record: false when it could not be.
  auto decode = [&](int32_t index, const PartitionRecord& m, bool withResiduals) {
    const int32_t bits = RemuxMacroblock(c, m, withResiduals, rs.scratch, kPartitionScratchBytes);
    if (bits < 0) return false;
    const BitReader saved = r;
    r.Reset(rs.scratch, kPartitionScratchBytes);
    r.dataLength = (bits + 7) >> 3;
    const int32_t status = picture.Macroblock(index % mbWidth, index / mbWidth);
    const int32_t consumed = DamageMap::BitPosition(r);
    r = saved;
    const bool quantChange = m.mbType == MbInterQuant || m.mbType == MbIntraQuant;
    if (!m.notCoded && quantChange && (withResiduals || m.mbType == MbIntraQuant)) {
      static constexpr int32_t kChange[4] = {-1, -2, 1, 2};
      walkQuant = std::clamp(walkQuant + kChange[m.dquant & 3], 1, 31);
    }
    return status == 0 && consumed == bits;
  };
  // An intra macroblock of a P picture nothing is known of: decoded as one
  // without residuals or DCs, so that the macroblocks after it see an intra
  // neighbour there, as the encoder did; then concealed.
  auto decodeUnknownIntra = [&](int32_t index) {
    uint8_t* out = rs.scratch;
    std::fill(out, out + 8 + kInputPadding, uint8_t{0});
    // 0, 00011 (intra, cbpc 0), 0 (no AC prediction), 0011 (cbpy 0), then
    // six DCs of size 0 (011 luma, 11 chroma) when they have codes.
    uint64_t code = 0b0000110'0011;
    int32_t length = 11;
    if (UseIntraDcVlc(walkQuant, c.picture.intraDcVlcThr)) {
      code = code << 16 | 0b011'011'011'011'11'11;
      length += 16;
    }
    for (int32_t i = 0; i < length; ++i)
      if ((code >> (length - 1 - i)) & 1) out[i >> 3] |= static_cast<uint8_t>(0x80u >> (i & 7));
    const BitReader saved = r;
    r.Reset(rs.scratch, kPartitionScratchBytes);
    r.dataLength = (length + 7) >> 3;
    picture.Macroblock(index % mbWidth, index / mbWidth);
    r = saved;
  };

  int32_t first = 0;
  for (int32_t packet = 0; packet < total && first < total; ++packet) {
    const int32_t begin = DamageMap::BitPosition(r);
    int32_t end = packets.enabled() ? std::min(packets.NextMarker(r, begin >> 3), pictureEnd) : pictureEnd;
    // The next packet, skipping markers whose headers cannot be right.
    VideoPacketHeader header{};
    int32_t next = total;
    int32_t marker = end;
    bool found = false;
    while (marker < pictureEnd) {
      if (packets.ReadHeaderAt(c, marker, first, header) == 0) {
        next = header.macroblockNumber;
        found = true;
        break;
      }
      marker = std::min(packets.NextMarker(r, marker + 1), pictureEnd);
    }
    const int32_t expected = found || marker >= pictureEnd ? next - first : -1;
    const PartitionedPacket p{first, expected, walkQuant, begin, CodesEnd(r, begin >> 3, end), end * 8};
    const int32_t count = ReadPartitionedPacket(c, p);
    if (count == 0) result = kInvalidMacroblockCode;
    for (int32_t k = 0; k < count; ++k) {
      const int32_t index = first + k;
      const int32_t x = index % mbWidth;
      if (x == 0) picture.StartRow(index / mbWidth);
      damage.Start(index, r);
      const PartitionRecord& m = rs.partitions[index];
      const bool intra = m.mbType == MbIntra || m.mbType == MbIntraQuant;
      bool decoded = false;
      if (m.outcome == kPartitionsIntact) {
        decoded = decode(index, m, true);
        if (!decoded) damage.Lose(index, index + 1);
      } else if (m.outcome == kTextureLost || m.notCoded) {
        decoded = decode(index, m, false);
        // An intra macroblock keeps its DCs only when there is no
        // picture to conceal it from (the stream's first).
        if (!decoded || (intra && (c.picture.vopCodingType != 0 || rs.anchorsDecoded > 0))) {
          damage.Lose(index, index + 1);
          if (decoded && intra && rs.status != nullptr) rs.status[index] |= kMacroblockDcKnown;
        } else if (!m.notCoded) {
          rs.status[index] |= kMacroblockConcealed;  // with its own vectors, or its DCs
        }
      } else if (intra && !m.notCoded && c.picture.vopCodingType == 0 && decode(index, m, false)) {
        // The residual partition of an intra picture was lost from before
        // this macroblock, but its DCs lie in the first partition, which
        // was read: decoded from them, then concealed around them.
        damage.Lose(index, index + 1);
        if (rs.status != nullptr) rs.status[index] |= kMacroblockDcKnown;
      } else {
        if (intra && !m.notCoded) decodeUnknownIntra(index);
        damage.Lose(index, index + 1);
      }
      if (m.outcome != kPartitionsIntact || !decoded) result = kInvalidMacroblockCode;
      if (x == mbWidth - 1) picture.EndRow();
    }
    if (first + count < next) {
      damage.Lose(first + count, next);
      result = kInvalidMacroblockCode;
    }
    if (!found) break;
    // The reader is after the next packet's header.
    first = next;
    walkQuant = header.quant;
    picture.StartPacket(header.quant);
  }
  return result;
}

}  // namespace tavrin
