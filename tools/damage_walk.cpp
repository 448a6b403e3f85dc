#include "damage_walk.h"

#include <algorithm>

#include "damage_codes.h"
#include "macroblock_codes.h"

namespace tavrin::tool {
namespace {

// The decoder's thresholds of intra_dc_vlc_thr: the DCs have codes of
// their own while the quantiser is below it.
constexpr int kIntraDcThresholds[8] = {512, 13, 15, 17, 19, 21, 23, 0};

}  // namespace

PictureWalk::PictureWalk(DamageScanner& scanner, std::span<const uint8_t> bytes, const PictureHeader& header)
    : s_(scanner), h_(header), bits_(bytes, static_cast<int64_t>(header.macroblockBit)) {
  switch (h_.vopCodingType) {
    case CodingType::kIntra: markerLength_ = 17; break;
    case CodingType::kPredicted:
    case CodingType::kSprite: markerLength_ = 16 + std::max(h_.vopFcodeForward, 1); break;
    default: markerLength_ = 16 + std::max({h_.vopFcodeForward, h_.vopFcodeBackward, 2}); break;
  }
  markerLength_ = std::min(markerLength_, 23);
  while (macroblockBits_ < 14 && (1 << macroblockBits_) < s_.total_) ++macroblockBits_;
  quant_ = h_.vopQuant;
  lost_.assign(static_cast<std::size_t>(s_.total_), 0);
  skipped_.assign(static_cast<std::size_t>(s_.total_), 0);
  start_.assign(static_cast<std::size_t>(s_.total_), 0);
}

PictureDamage PictureWalk::Run() {
  if (s_.layer_.dataPartitioned && !s_.layer_.shortVideoHeader && h_.vopCodingType != CodingType::kBidirectional) {
    PartitionedPicture();
  } else {
    CombinedPicture();
  }
  PictureDamage d;
  d.concealed = static_cast<int>(std::count(lost_.begin(), lost_.end(), uint8_t{1}));
  d.damaged = d.concealed > 0;
  if (h_.vopCodingType != CodingType::kBidirectional) {
    // What the B pictures after this anchor read: the lost macroblocks are
    // concealed as coded ones, and those of S pictures count as coded.
    for (int i = 0; i < s_.total_; ++i)
      s_.anchorSkipped_[static_cast<std::size_t>(i)] =
          h_.vopCodingType == CodingType::kPredicted && !lost_[static_cast<std::size_t>(i)] &&
          skipped_[static_cast<std::size_t>(i)];
  }
  return d;
}

bool PictureWalk::UseDcCodes() const { return quant_ < kIntraDcThresholds[h_.intraDcVlcThr & 7]; }

bool PictureWalk::IntraMcbpc(int& type, int& cbpc) {
  for (int guard = 0; guard < 1 << 16; ++guard) {
    const uint32_t v = bits_.Peek(9);
    if (v >= 64) {
      type = 3;
      cbpc = v >= 256 ? 0 : static_cast<int>(v >> 6);
      bits_.pos += v >= 256 ? 1 : 3;
      return true;
    }
    if (v >= 32) {
      type = 4;
      cbpc = 0;
      bits_.pos += 4;
      return true;
    }
    if (v == 0) return false;
    if (v == 1) {
      bits_.pos += 9;
      if (bits_.pos > limit_) return false;
      continue;
    }
    type = 4;
    cbpc = static_cast<int>((v >> 3) & 3);
    bits_.pos += 6;
    return true;
  }
  return false;
}

bool PictureWalk::PredictedMcbpc(int& type, int& cbpc) {
  for (int guard = 0; guard < 1 << 16; ++guard) {
    const uint32_t v = bits_.Peek(9);
    if (v == 0) return false;
    if (v == 1) {
      bits_.pos += 9;
      if (bits_.pos > limit_) return false;
      continue;
    }
    const CodeEntry& e = PredictedMcbpcCodes().Look(v);
    type = e.value;
    cbpc = e.extra;
    bits_.pos += e.length;
    return true;
  }
  return false;
}

bool PictureWalk::Cbpy(int& cbpy) {
  const uint32_t v = bits_.Peek(6);
  if (v < 2) return false;
  const CodeEntry& e = CbpyCodes().Look(v);
  cbpy = e.value;
  bits_.pos += e.length;
  return true;
}

void PictureWalk::Dquant() {
  static constexpr int kChange[4] = {-1, -2, 1, 2};
  quant_ = std::clamp(quant_ + kChange[bits_.Read(2)], 1, 31);
}

// Each reading below that fails leaves the position where the element
// began, as the decoder's readers do: the point where the decoder sees the
// damage, from which it reckons the macroblocks it does not trust.
bool PictureWalk::Vector(int fcode) {
  if (fcode < 1 || fcode > 7) return false;
  const int64_t start = bits_.pos;
  for (int component = 0; component < 2; ++component) {
    const uint32_t peek = bits_.Peek(MotionCodes().peekBits());
    if (peek < 2) {
      bits_.pos = start;
      return false;
    }
    const CodeEntry& e = MotionCodes().Look(peek);
    bits_.pos += e.length;
    if (e.value != 0) bits_.pos += 1 + (fcode - 1);
  }
  return true;
}

bool PictureWalk::Dc(int block) {
  const CodeTable& table = block < 4 ? LuminanceDcSizeCodes() : ChrominanceDcSizeCodes();
  const CodeEntry& e = table.Look(bits_.Peek(table.peekBits()));
  if (e.length == 0) return false;
  const int64_t start = bits_.pos;
  bits_.pos += e.length + e.value;
  if (e.value > 8 && bits_.Read(1) != 1) {
    bits_.pos = start;
    return false;
  }
  return true;
}

bool PictureWalk::Block(bool intra, int firstIndex) {
  const int64_t start = bits_.pos;
  if (!BlockCodes(intra, firstIndex)) {
    bits_.pos = start;
    return false;
  }
  return true;
}

bool PictureWalk::BlockCodes(bool intra, int firstIndex) {
  int index = firstIndex - 1;
  for (int k = 0; k < 64; ++k) {
    int entry = TcoefTree().Lookup([&] { return bits_.Read(1); });
    if (entry < 0) return false;
    int last = 0, run = 0;
    if (entry == kTcoefRunCount && s_.layer_.shortVideoHeader) {
      // Fixed length: last, run, level (8 bits, not 0 or -128).
      last = static_cast<int>(bits_.Read(1));
      run = static_cast<int>(bits_.Read(6));
      const uint32_t level = bits_.Read(8);
      if (level == 0 || level == 128) return false;
    } else if (entry == kTcoefRunCount) {
      if (bits_.Peek(2) == 3) {
        // Fixed length: last, run, marker, level (12 bits, not 0), marker.
        bits_.pos += 2;
        last = static_cast<int>(bits_.Read(1));
        run = static_cast<int>(bits_.Read(6));
        if (bits_.Read(1) != 1) return false;
        const uint32_t level = bits_.Read(12);
        if (bits_.Read(1) != 1 || (level & 0x7FF) == 0) return false;
      } else {
        bits_.pos += bits_.Peek(1) == 0 ? 1 : 2;
        entry = TcoefTree().Lookup([&] { return bits_.Read(1); });
        if (entry < 0 || entry == kTcoefRunCount) return false;
        bits_.pos += 1;  // sign
        const TcoefRun& t = kTcoefRuns[entry];
        last = intra ? t.intraLast : t.interLast;
        run = intra ? t.intraRun : t.interRun;
      }
    } else {
      bits_.pos += 1;  // sign
      const TcoefRun& t = kTcoefRuns[entry];
      last = intra ? t.intraLast : t.interLast;
      run = intra ? t.intraRun : t.interRun;
    }
    index += run + 1;
    if (index > 63) return false;
    if (last) return true;
  }
  return false;
}

bool PictureWalk::IntraMacroblock() {
  int type = 0, cbpc = 0, cbpy = 0;
  if (!IntraMcbpc(type, cbpc)) return false;
  bits_.pos += 1;  // ac_pred_flag
  if (!Cbpy(cbpy)) return false;
  if (type == 4) Dquant();
  if (s_.layer_.interlaced) bits_.pos += 1;  // dct_type
  const int pattern = cbpy << 2 | cbpc;
  const bool dc = UseDcCodes();
  for (int block = 0; block < 6; ++block) {
    if (dc && !Dc(block)) return false;
    if (((pattern >> (5 - block)) & 1) && !Block(true, dc ? 1 : 0)) return false;
  }
  return true;
}

bool PictureWalk::PredictedMacroblock(int index) {
  skipped_[static_cast<std::size_t>(index)] = static_cast<uint8_t>(bits_.Read(1));
  if (skipped_[static_cast<std::size_t>(index)]) return true;
  int type = 0, cbpc = 0, cbpy = 0;
  if (!PredictedMcbpc(type, cbpc)) return false;
  const bool intra = type >= 3;
  // S pictures: mcsel, whether a one-vector macroblock takes the global
  // prediction (and then no vector).
  const bool global = h_.vopCodingType == CodingType::kSprite && type < 2 && bits_.Read(1);
  if (intra) bits_.pos += 1;  // ac_pred_flag
  if (!Cbpy(cbpy)) return false;
  if (!intra) cbpy = 15 - cbpy;
  if (type == 1 || type == 4) Dquant();
  const int pattern = cbpy << 2 | cbpc;
  // Interlaced layers: dct_type for intra and coded macroblocks, then
  // field_prediction for one-vector ones with their two reference fields.
  bool fields = false;
  if (s_.layer_.interlaced) {
    if (intra || pattern != 0) bits_.pos += 1;
    if (type < 2 && !global && bits_.Read(1)) {
      fields = true;
      bits_.pos += 2;
    }
  }
  const int vectors = type == 2 ? 4 : intra || global ? 0 : fields ? 2 : 1;
  for (int v = 0; v < vectors; ++v)
    if (!Vector(h_.vopFcodeForward)) return false;
  const bool dc = intra && UseDcCodes();
  for (int block = 0; block < 6; ++block) {
    if (dc && !Dc(block)) return false;
    if (((pattern >> (5 - block)) & 1) && !Block(intra, dc ? 1 : 0)) return false;
  }
  return true;
}

bool PictureWalk::BidirectionalMacroblock(int index) {
  if (s_.anchorSkipped_[static_cast<std::size_t>(index)]) return true;
  if (bits_.Read(1)) return true;  // direct, nothing more
  const bool noCbpb = bits_.Read(1) != 0;
  const uint32_t t = bits_.Peek(4);
  int type;
  if (t >= 8) {
    type = 0;  // direct
    bits_.pos += 1;
  } else if (t >= 4) {
    type = 1;  // interpolated
    bits_.pos += 2;
  } else if (t >= 2) {
    type = 2;  // backward
    bits_.pos += 3;
  } else if (t == 1) {
    type = 3;  // forward
    bits_.pos += 4;
  } else {
    return false;
  }
  const uint32_t cbpb = noCbpb ? 0 : bits_.Read(6);
  if (type != 0 && cbpb != 0 && bits_.Read(1)) bits_.pos += 1;  // dbquant
  // Interlaced layers: dct_type for coded macroblocks, field_prediction
  // for all but direct ones, with a reference field per field and
  // direction used.
  int perDirection = 1;
  if (s_.layer_.interlaced) {
    if (cbpb != 0) bits_.pos += 1;
    if (type != 0 && bits_.Read(1)) {
      perDirection = 2;
      bits_.pos += type == 1 ? 4 : 2;
    }
  }
  auto vectors = [&](int fcode) {
    for (int v = 0; v < perDirection; ++v)
      if (!Vector(fcode)) return false;
    return true;
  };
  bool ok = true;
  switch (type) {
    case 0: ok = Vector(1); break;
    case 1: ok = h_.vopFcodeBackward >= 1 && h_.vopFcodeBackward <= 7 && vectors(h_.vopFcodeForward) &&
                 vectors(h_.vopFcodeBackward);
      break;
    case 2: ok = vectors(h_.vopFcodeBackward); break;
    default: ok = vectors(h_.vopFcodeForward); break;
  }
  if (!ok) return false;
  for (int block = 0; block < 6; ++block)
    if (((cbpb >> (5 - block)) & 1) && !Block(false, 0)) return false;
  return true;
}

bool PictureWalk::Macroblock(int index) {
  if (s_.layer_.shortVideoHeader) return ShortHeaderMacroblock(index);
  switch (h_.vopCodingType) {
    case CodingType::kIntra: return IntraMacroblock();
    case CodingType::kPredicted:
    case CodingType::kSprite: return PredictedMacroblock(index);
    default: return BidirectionalMacroblock(index);
  }
}

}  // namespace tavrin::tool
