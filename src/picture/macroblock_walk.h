// The macroblock loop every picture decoder shares: raster order, row
// starts and ends, video packets, and what happens when the data is
// damaged: the packet stops at its first macroblock that cannot be decoded,
// decoding resumes at the next resynchronisation marker (or, without one,
// at the next picture), and the macroblocks in between are marked lost for
// the concealment.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "decoder/decoder_context.h"
#include "picture/damage_map.h"
#include "picture/first_picture_damage.h"
#include "picture/macroblock_header.h"
#include "picture/partitions_walk.h"
#include "picture/picture_decoders.h"
#include "picture/video_packet.h"

namespace tavrin {

// Picture supplies StartRow(y), EndRow(), StartPacket(quant),
// ReadsBits(index) (false for a macroblock that takes nothing from the
// stream) and Macroblock(x, y) (0, or a status when the macroblock's codes
// cannot be right).  Packets finds the packets: video packets, or the
// groups of blocks of short-header pictures (short_header_groups.h), which
// play their part: MarkerFollows, NextMarker, ReadHeaderAt, enabled, and
// the check that the picture's data ends where its last macroblock does.
// How many times a packet is decoded again with the bound of a marker
// that turned out not to be one moved on.
inline constexpr int32_t kPacketRetries = 4;

inline bool DataEndsCleanly(const VideoPackets&, const BitReader& reader) { return EndsCleanly(reader); }
template <typename Packets>
bool DataEndsCleanly(const Packets&, const BitReader& reader) {
  return Packets::EndsCleanly(reader);
}

template <typename Packets = VideoPackets, typename Picture>
int32_t WalkVideoPackets(DecoderContext& c, Picture& picture) {
  // Data-partitioned I and P pictures have a loop of their own; their B
  // pictures are not partitioned.
  if constexpr (std::is_same_v<Packets, VideoPackets>) {
    if (c.sequence.dataPartitioned && c.picture.vopCodingType <= 1) return WalkPartitionedPackets(c, picture);
  }
  PrefetchMacroblockTables();
  const Packets packets(c);
  BitReader& r = c.reader;
  const int32_t mbWidth = c.store.mbWidth;
  const int32_t total = mbWidth * c.store.mbHeight;
  const int32_t dataLength = r.dataLength;
  // Intra pictures distrust more before the damage: rubbish intra
  // macroblocks stand out more, and every picture after them predicts
  // from them.
  DamageMap damage(c.store, c.picture.vopCodingType == 0 ? kIntraSuspectBits : kSuspectBits);
  auto decode = [&](int32_t i) {
    const int32_t x = i % mbWidth;
    const int32_t y = i / mbWidth;
    if (x == 0) picture.StartRow(y);
    damage.Start(i, r);
    int32_t status = picture.Macroblock(x, y);
    // A macroblock that reads past its packet's data (or the picture's)
    // was not what the encoder wrote.
    if ((status == 0 || status == kImpossibleIntraDc) && r.Exhausted()) status = kInvalidMacroblockCode;
    if (x == mbWidth - 1) picture.EndRow();
    return status;
  };
  // Each packet's data ends at the next marker; reading past it is damage.
  auto limitPacket = [&]() {
    const int32_t from = static_cast<int32_t>(r.bytePos - r.bufferStart);
    r.dataLength = dataLength;
    const int32_t end = packets.NextMarker(r, from);
    r.dataLength = end;
    return end;
  };
  int32_t end = packets.enabled() ? limitPacket() : dataLength;
  int32_t first = 0;  // the first macroblock of the packet being decoded
  int32_t i = 0;
  int32_t result = 0;
  // Where the packet's macroblocks begin, and its quantiser.
  const uint8_t* packetByte = r.bytePos;
  int32_t packetBit = r.bitPos;
  int32_t packetQuant = c.picture.vopQuant;
  int32_t retries = 0;
  // Macroblocks read whole with a DC that could not be: damage that read
  // as valid codes, after which the codes may or may not run right again.
  // The walk reads on; if the packet then fails, the damage is taken to
  // have shown at the first of them, and if it ends right, only the stretch
  // up to the last of them is lost.
  int32_t oddFirst = -1, oddBits = 0, oddLast = -1;
  // Damage that showed at macroblock `at` (bit `bits`): everything from
  // there (and shortly before) up to `to` is lost.  A picture with nothing
  // before it is mended from the rows around what it lost: it takes the
  // odd DCs as the damage's start only where a later packet bounds the
  // loss (a fill from the rows above down to the picture's end does worse
  // than what was decoded, measured), and it also loses a stretch of
  // rubbish just before the suspect macroblocks (progressive pictures
  // only: the rows of a field-coded macroblock's blocks are not
  // neighbours).  A stretch shorter than kShortestRubbish is left.
  const bool mendable = c.store.resilience.anchorsDecoded >= 1;
  const bool judgeSamples = !mendable && c.sequence.interlaced == 0;
  constexpr int32_t kShortestRubbish = 3;
  auto loseAfter = [&](int32_t at, int32_t bits, int32_t to) {
    if (oddFirst >= 0 && oddFirst < at && (mendable || to < total)) {
      at = oddFirst;
      bits = oddBits;
    }
    const int32_t from = damage.LoseAfterDamage(first, at, bits, to);
    if (judgeSamples) {
      const int32_t start = RubbishStart(c.store.currentPicture, mbWidth, first, from);
      if (start <= from - kShortestRubbish) damage.LoseSuspect(start, from);
    }
  };
  // A packet that ended right after odd DCs: the stretch up to the last of
  // them is lost, or, in a picture with nothing before it, the rest of the
  // packet, as the wrong DCs run on through the DC prediction of every
  // macroblock after them and only the rows around can mend them.  Where
  // no later packet bounds that loss, only when the samples decoded after
  // the first odd DC do not run on from those before it.
  auto loseOdd = [&](int32_t packetEnd) {
    if (oddFirst < 0) return;
    if (!mendable && packetEnd >= total &&
        DecodedRunsOn(c.store.currentPicture, mbWidth, oddFirst, total)) {
      return;
    }
    damage.LoseAfterDamage(first, oddFirst, oddBits, mendable ? oddLast + 1 : packetEnd);
    result = kInvalidMacroblockCode;
  };
  while (i < total) {
    int32_t status = 0;
    for (; i < total; ++i) {
      if (i > first && packets.MarkerFollows(r)) break;
      if ((status = decode(i)) == kImpossibleIntraDc) {
        if (oddFirst < 0) {
          oddFirst = i;
          oddBits = DamageMap::BitPosition(r);
        }
        oddLast = i;
        status = 0;
      }
      if (status != 0) break;
    }
    const int32_t detected = DamageMap::BitPosition(r);
    // Intact data may hold a marker's bits at a byte boundary by chance (a
    // run of zeros after what reads as stuffing); a marker is real only
    // where the packet's last macroblock ends.  A packet that fails after
    // reading past the marker it was bounded by is decoded again, bounded by
    // the marker after it, a few times at most.
    if (status != 0 && detected > 8 * end && end < dataLength && retries < kPacketRetries) {
      ++retries;
      r.dataLength = dataLength;
      end = packets.NextMarker(r, end + 1);
      r.dataLength = end;
      r.bytePos = packetByte;
      r.bitPos = packetBit;
      i = first;
      oddFirst = oddLast = -1;
      picture.StartPacket(packetQuant);
      continue;
    }
    if (status != 0) result = status;
    if (status == 0 && i == total) {
      // The data must end where the last macroblock does.
      if (!DataEndsCleanly(packets, r)) {
        loseAfter(total, detected, total);
        result = kInvalidMacroblockCode;
      } else {
        loseOdd(total);
      }
      break;
    }
    // The packet ended at a marker, or macroblock i could not be decoded:
    // on to the next packet.
    r.dataLength = dataLength;
    VideoPacketHeader header{};
    int32_t marker = end;
    int32_t next = -1;
    while (packets.enabled() && marker < dataLength) {
      if (packets.ReadHeaderAt(c, marker, first, header) == 0) {
        next = header.macroblockNumber;
        break;
      }
      // A marker with a header that cannot be right: the next one.
      marker = packets.NextMarker(r, marker + 1);
    }
    if (next < 0) {
      if (status != 0) {
        loseAfter(i, detected, total);
      } else {
        loseOdd(total);
        damage.Lose(i, total);
      }
      if (status == 0) result = kInvalidMacroblockCode;
      break;
    }
    // Macroblocks that take nothing from the stream may lie between the
    // end of a packet and the first macroblock of the next.  Any other
    // macroblock there means the packet ended early.
    bool intact = status == 0 && next >= i && marker == end;
    for (int32_t j = i; intact && j < next; ++j) intact = !picture.ReadsBits(j);
    if (intact) {
      loseOdd(next);
      for (; i < next; ++i) {
        if (decode(i) != 0) damage.Lose(i, i + 1);
      }
    } else {
      // Damage somewhere in the packet: it ended early or late, or a
      // macroblock in it could not be decoded.
      loseAfter(std::min(i, next), detected, next);
      result = kInvalidMacroblockCode;
    }
    oddFirst = oddLast = -1;
    i = first = next;
    end = limitPacket();
    packetByte = r.bytePos;
    packetBit = r.bitPos;
    packetQuant = header.quant;
    retries = 0;
    picture.StartPacket(header.quant);
  }
  r.dataLength = dataLength;
  return result;
}

template <typename Packets = VideoPackets, typename Picture>
int32_t WalkMacroblocks(DecoderContext& c, Picture& picture) {
  return WalkVideoPackets<Packets>(c, picture);
}

}  // namespace tavrin
