#include "picture/video_packet.h"

#include <algorithm>

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

int32_t VideoPackets::ReadHeader(DecoderContext& c, int32_t next, VideoPacketHeader& header) const {
  BitReader& r = c.reader;
  r.SkipBits(8 - r.bitPos);
  r.SkipBits(markerLength_);
  header.macroblockNumber = static_cast<int32_t>(r.GetBits(macroblockBits_));
  header.quant = static_cast<int32_t>(r.GetBits(c.sequence.quantPrecision));
  if (r.GetBit()) {
    // The header extension repeats the picture's time and coding fields;
    // the picture header already gave them.
    while (r.GetBit()) {
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
  if (header.macroblockNumber < next || header.macroblockNumber >= macroblockCount_ ||
      header.quant < 1)
    return kInvalidMacroblockCode;
  return 0;
}

}  // namespace tavrin
