#include "macroblock_scan.h"

#include <algorithm>

#include "macroblock_codes.h"
#include "short_header.h"
#include "stream_survey.h"

namespace tavrin::tool {
namespace {

// Thresholds of intra_dc_vlc_thr: the DC coefficient has its own code when
// the quantiser is below the threshold.
constexpr int kIntraDcThresholds[8] = {32, 13, 15, 17, 19, 21, 23, 0};

// Reads bits past the end as 0 and remembers that it went there.
class Bits {
 public:
  Bits(std::span<const uint8_t> bytes, std::size_t bit) : bytes_(bytes), bit_(bit) {}
  uint32_t Peek(int n) const {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      const std::size_t b = bit_ + static_cast<std::size_t>(i);
      v = (v << 1) | (b < bytes_.size() * 8 ? (bytes_[b >> 3] >> (7 - (b & 7))) & 1u : 0u);
    }
    return v;
  }
  uint32_t Read(int n) {
    const uint32_t v = Peek(n);
    bit_ += static_cast<std::size_t>(n);
    return v;
  }
  // A code of the table, or -1 when the bits start none.
  int Code(const CodeTable& table, uint8_t* extra = nullptr) {
    const CodeEntry& e = table.Look(Peek(table.peekBits()));
    if (e.length == 0) return -1;
    bit_ += e.length;
    if (extra) *extra = e.extra;
    return e.value;
  }
  bool Overrun() const { return bit_ > bytes_.size() * 8; }
  std::size_t position() const { return bit_; }
  std::size_t size() const { return bytes_.size() * 8; }

 private:
  std::span<const uint8_t> bytes_;
  std::size_t bit_;
};

// The stuffing in front of a resynchronisation marker or start code: a 0
// and then 1s up to the next byte boundary (a whole byte when aligned).
int StuffingBits(const Bits& bits) {
  const int n = 8 - static_cast<int>(bits.position() & 7);
  return bits.Peek(n) == (1u << (n - 1)) - 1 ? n : -1;
}

bool AtResyncMarker(const Bits& bits, int zeros) {
  const int stuffing = StuffingBits(bits);
  if (stuffing < 0) return false;
  Bits probe = bits;
  probe.Read(stuffing);
  return probe.Read(zeros) == 0 && probe.Read(1) == 1;
}

bool SkipVector(Bits& bits, int fcode) {
  for (int component = 0; component < 2; ++component) {
    const int magnitude = bits.Code(MotionCodes());
    if (magnitude < 0) return false;
    if (magnitude != 0) {
      bits.Read(1);
      if (fcode > 1) bits.Read(fcode - 1);
    }
  }
  return true;
}

// Short-header blocks read every code with the inter table, and their
// escape is of fixed length: last, run, level (8 bits, not 0 or -128).
bool SkipCoefficients(Bits& bits, bool intra, bool shortHeader = false) {
  for (int count = 0; count < 64; ++count) {
    uint8_t intraLast = 0;
    int last = bits.Code(TcoefCodes(), &intraLast);
    if (last < 0) return false;
    if (shortHeader) {
      if (last == kTcoefEscape) {
        last = static_cast<int>(bits.Read(1));
        bits.Read(6);
        const uint32_t level = bits.Read(8);
        if (level == 0 || level == 128) return false;
      } else {
        bits.Read(1);
      }
    } else if (last == kTcoefEscape) {
      if (bits.Read(1) == 1 && bits.Read(1) == 1) {
        // Fixed length: last, run, marker, level, marker.
        last = static_cast<int>(bits.Read(1));
        bits.Read(6);
        if (bits.Read(1) != 1) return false;
        bits.Read(12);
        if (bits.Read(1) != 1) return false;
      } else {
        last = bits.Code(TcoefCodes(), &intraLast);
        if (last < 0 || last == kTcoefEscape) return false;
        if (intra) last = intraLast;
        bits.Read(1);
      }
    } else {
      if (intra) last = intraLast;
      bits.Read(1);
    }
    if (last) return true;
  }
  return false;
}

bool ReadPacketHeader(Bits& bits, const VideoObjectLayer& layer, int zeros, int macroblockBits, int& macroblock,
                      int& quant) {
  bits.Read(StuffingBits(bits));
  bits.Read(zeros + 1);
  macroblock = static_cast<int>(bits.Read(macroblockBits));
  quant = static_cast<int>(bits.Read(layer.quantPrecision));
  if (bits.Read(1)) {  // header_extension_code
    int seconds = 0;
    while (bits.Read(1) && ++seconds < 64) {
    }
    if (bits.Read(1) != 1) return false;
    bits.Read(layer.codedTimeIncrementBits);
    if (bits.Read(1) != 1) return false;
    const uint32_t type = bits.Read(2);
    bits.Read(3);  // intra_dc_vlc_thr
    if (type != 0) bits.Read(3);
    if (type == 2) bits.Read(3);
  }
  return quant > 0;
}

// The walk of a short-header P picture: groups of blocks where video
// packets would be, no ac_pred_flag, a fixed-length DC in intra blocks.
bool WalkShortHeaderPicture(std::span<const uint8_t> picture, const VideoObjectLayer& layer, const PictureHeader& h,
                            MacroblockCensus& local) {
  const int mbWidth = layer.videoObjectLayerWidth / 16, mbHeight = layer.videoObjectLayerHeight / 16;
  const int perGroup = mbWidth * RowsPerGroup(mbHeight);
  const int count = mbWidth * mbHeight;
  Bits bits(picture, h.macroblockBit);
  int quant = h.vopQuant;
  for (int mb = 0; mb < count; ++mb) {
    if (mb > 0 && mb % perGroup == 0) {
      // A group-of-blocks header: its start code, perhaps after zeros up to
      // a byte boundary, then the group number, frame id and quantiser.
      const int stuffing = 8 - static_cast<int>(bits.position() & 7);
      Bits probe = bits;
      if (probe.Peek(17) != 1 && stuffing < 8 && probe.Read(stuffing) == 0 && probe.Peek(17) == 1) bits = probe;
      if (bits.Peek(17) == 1) {
        bits.Read(17);
        const int group = static_cast<int>(bits.Read(5));
        bits.Read(2);
        quant = static_cast<int>(bits.Read(5));
        if (group * perGroup != mb || quant == 0) return false;
        ++local.videoPackets;
      }
    }
    if (bits.Read(1)) {  // COD
      ++local.notCoded;
      continue;
    }
    int type;
    uint8_t cbpc = 0;
    while ((type = bits.Code(PredictedMcbpcCodes(), &cbpc)) == kMcbpcStuffing) {
    }
    if (type < 0 || type == 2) return false;  // four vectors are not baseline
    const bool intra = type >= 3;
    int cbpy = bits.Code(CbpyCodes());
    if (cbpy < 0) return false;
    if (!intra) cbpy = 15 - cbpy;
    if (type == 1 || type == 4) {
      static constexpr int kChange[4] = {-1, -2, 1, 2};
      quant = std::min(31, std::max(1, quant + kChange[bits.Read(2)]));
      ++local.quantChanges;
    }
    if (intra) {
      ++local.intra;
    } else {
      ++local.inter;
      if (!SkipVector(bits, 1)) return false;
    }
    const int pattern = (cbpy << 2) | cbpc;
    for (int block = 0; block < 6; ++block) {
      if (intra && bits.Read(8) == 0) return false;  // INTRADC
      if (((pattern >> (5 - block)) & 1) && !SkipCoefficients(bits, intra, true)) return false;
    }
    if (bits.Overrun()) return false;
  }
  // What is left: zeros up to a byte boundary, then the end, or a start code.
  const int stuffing = (8 - static_cast<int>(bits.position() & 7)) & 7;
  if (bits.position() + static_cast<std::size_t>(stuffing) > bits.size() || bits.Read(stuffing) != 0) return false;
  return bits.position() == bits.size() || bits.Peek(16) == 0;
}

}  // namespace

bool WalkPredictedPicture(std::span<const uint8_t> picture, const VideoObjectLayer& layer, const PictureHeader& h,
                          MacroblockCensus& census) {
  if (!h.detailsKnown || !h.vopCoded || h.vopCodingType != CodingType::kPredicted) return false;
  const int mbWidth = (layer.videoObjectLayerWidth + 15) / 16, mbHeight = (layer.videoObjectLayerHeight + 15) / 16;
  const int count = mbWidth * mbHeight;
  if (count <= 0) return false;
  ++census.pictures;
  if (layer.shortVideoHeader) {
    MacroblockCensus local;
    if (!WalkShortHeaderPicture(picture, layer, h, local)) return false;
    ++census.walked;
    census.notCoded += local.notCoded;
    census.inter += local.inter;
    census.intra += local.intra;
    census.quantChanges += local.quantChanges;
    census.videoPackets += local.videoPackets;
    return true;
  }
  int macroblockBits = 1;
  while ((1 << macroblockBits) < count) ++macroblockBits;
  const int zeros = ResyncMarkerZeros(h);
  MacroblockCensus local;
  Bits bits(picture, h.macroblockBit);
  int quant = h.vopQuant;
  for (int mb = 0; mb < count; ++mb) {
    if (!layer.resyncMarkerDisable && mb > 0 && AtResyncMarker(bits, zeros)) {
      int next = 0;
      if (!ReadPacketHeader(bits, layer, zeros, macroblockBits, next, quant) || next != mb) return false;
      ++local.videoPackets;
    }
    if (bits.Read(1)) {  // not_coded
      ++local.notCoded;
      continue;
    }
    int type;
    uint8_t cbpc = 0;
    while ((type = bits.Code(PredictedMcbpcCodes(), &cbpc)) == kMcbpcStuffing) {
    }
    if (type < 0) return false;
    const bool intra = type >= 3;
    if (intra) bits.Read(1);  // ac_pred_flag
    int cbpy = bits.Code(CbpyCodes());
    if (cbpy < 0) return false;
    if (!intra) cbpy = 15 - cbpy;
    if (type == 1 || type == 4) {
      static constexpr int kChange[4] = {-1, -2, 1, 2};
      quant = std::min(31, std::max(1, quant + kChange[bits.Read(2)]));
      ++local.quantChanges;
    }
    const int pattern = (cbpy << 2) | cbpc;
    // Interlaced layers: dct_type for intra and coded macroblocks, then
    // field_prediction (one-vector inter macroblocks) with the two reference
    // fields; a field-predicted macroblock has a vector per field.
    bool fieldPrediction = false;
    if (layer.interlaced) {
      if ((intra || pattern != 0) && bits.Read(1)) ++local.fieldDct;
      if (!intra && type != 2 && bits.Read(1)) {
        fieldPrediction = true;
        bits.Read(2);
        ++local.fieldPrediction;
      }
    }
    if (intra) {
      ++local.intra;
    } else if (type == 2) {
      ++local.fourVectors;
    } else {
      ++local.inter;
    }
    for (int v = 0; v < (type == 2 ? 4 : intra ? 0 : fieldPrediction ? 2 : 1); ++v) {
      if (!SkipVector(bits, h.vopFcodeForward)) return false;
    }
    const bool dcCode = intra && quant < kIntraDcThresholds[h.intraDcVlcThr & 7];
    for (int block = 0; block < 6; ++block) {
      if (dcCode) {
        const int size = bits.Code(block < 4 ? LuminanceDcSizeCodes() : ChrominanceDcSizeCodes());
        if (size < 0) return false;
        if (size > 0) bits.Read(size);
        if (size > 8 && bits.Read(1) != 1) return false;
      }
      if (((pattern >> (5 - block)) & 1) && !SkipCoefficients(bits, intra)) return false;
    }
    if (bits.Overrun()) return false;
  }
  // What is left is stuffing up to the end, or to a start code.
  const int stuffing = StuffingBits(bits);
  if (stuffing < 0 || bits.position() + static_cast<std::size_t>(stuffing) > bits.size()) return false;
  bits.Read(stuffing);
  if (bits.position() != bits.size() && bits.Peek(24) != 1) return false;
  ++census.walked;
  census.notCoded += local.notCoded;
  census.inter += local.inter;
  census.fourVectors += local.fourVectors;
  census.intra += local.intra;
  census.quantChanges += local.quantChanges;
  census.videoPackets += local.videoPackets;
  census.fieldDct += local.fieldDct;
  census.fieldPrediction += local.fieldPrediction;
  return true;
}

MacroblockCensus WalkPredictedPictures(const std::vector<std::span<const uint8_t>>& pictures,
                                       const VideoObjectLayer& layer, int limit) {
  MacroblockCensus census;
  // Partitioned packets keep their codes apart; this walk reads them in
  // one piece.
  if (layer.dataPartitioned) return census;
  for (const auto& picture : pictures) {
    if (census.pictures >= limit) break;
    const PictureHeaderResult r = ParsePictureHeader(picture, layer);
    if (r.ok()) WalkPredictedPicture(picture, layer, r.header, census);
  }
  return census;
}

}  // namespace tavrin::tool
