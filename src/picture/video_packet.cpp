#include "picture/video_packet.h"

#include <algorithm>
#include <cstring>

#include "picture/picture_decoders.h"

namespace tavrin {

VideoPackets::VideoPackets(const DecoderContext& c) {
  enabled_ = c.sequence.resyncMarkerDisable == 0;
  const PictureHeader& p = c.picture;
  switch (p.vopCodingType) {
    case 0: markerLength_ = 17; break;
    case 1:
    case 3: markerLength_ = 16 + std::max(p.vopFcodeForward, 1); break;
    // In B pictures the marker is never shorter than 18 bits.
    default: markerLength_ = 16 + std::max({p.vopFcodeForward, p.vopFcodeBackward, 2}); break;
  }
  markerLength_ = std::min(markerLength_, 23);
  macroblockCount_ = c.store.mbWidth * c.store.mbHeight;
  macroblockBits_ = 1;
  while (macroblockBits_ < 14 && (1 << macroblockBits_) < macroblockCount_) ++macroblockBits_;
}

int32_t VideoPackets::ReadFields(DecoderContext& c, VideoPacketHeader& header) const {
  BitReader& r = c.reader;
  header.macroblockNumber = static_cast<int32_t>(r.GetBits(macroblockBits_));
  header.quant = static_cast<int32_t>(r.GetBits(c.sequence.quantPrecision));
  if (r.GetBit()) {
    // The header extension repeats the picture's time and coding fields;
    // the picture header already gave them.  The seconds are a run of 1s,
    // never longer than the data.
    for (int32_t n = 0; n < 64 && r.GetBit(); ++n) {
    }
    r.SkipBits(1 + c.sequence.vopTimeIncrementBits + 1);
    const int32_t codingType = static_cast<int32_t>(r.GetBits(2));
    r.SkipBits(3);  // intra_dc_vlc_thr
    // An S picture repeats its warping points; the picture header's stand.
    if (codingType == 3 && c.sequence.spriteEnable == kSpriteGlobalMotion) {
      WarpingTrajectory repeated;
      ReadWarpingTrajectory(r, c.sequence.globalMotion.warpingPoints, repeated);
    }
    if (codingType != 0) r.SkipBits(3);
    if (codingType == 2) r.SkipBits(3);
  }
  if (header.macroblockNumber >= macroblockCount_ || header.quant < 1) return kInvalidMacroblockCode;
  return 0;
}

int32_t VideoPackets::ReadHeader(DecoderContext& c, int32_t next, VideoPacketHeader& header) const {
  BitReader& r = c.reader;
  r.SkipBits(8 - r.bitPos);
  r.SkipBits(markerLength_);
  const int32_t status = ReadFields(c, header);
  if (status != 0 || header.macroblockNumber < next) return kInvalidMacroblockCode;
  return 0;
}

int32_t VideoPackets::NextMarker(const BitReader& reader, int32_t from) const {
  const uint8_t* data = reader.bufferStart;
  const int32_t length = reader.dataLength;
  // The marker's bits after its first two (zero) bytes: zeros, then a 1.
  const int32_t tail = markerLength_ - 16;
  const uint32_t expected = 1;
  for (int32_t p = std::max(from, 0); p + 2 < length;) {
    const void* zero = std::memchr(data + p, 0, static_cast<size_t>(length - 2 - p));
    if (zero == nullptr) break;
    p = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - data);
    if (data[p + 1] == 0 && (uint32_t{data[p + 2]} >> (8 - tail)) == expected) return p;
    ++p;
  }
  return length;
}

int32_t VideoPackets::ReadHeaderAt(DecoderContext& c, int32_t marker, int32_t after,
                                   VideoPacketHeader& header) const {
  BitReader& r = c.reader;
  r.bytePos = r.bufferStart + marker;
  r.bitPos = 0;
  r.SkipBits(markerLength_);
  const int32_t status = ReadFields(c, header);
  if (status != 0 || header.macroblockNumber <= after) return kInvalidMacroblockCode;
  return 0;
}

}  // namespace tavrin
