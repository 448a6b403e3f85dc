// The damage walk of short-header (baseline H.263) pictures: groups of
// blocks play the part of video packets in the packet walk
// (damage_scan.cpp).  A group header may follow any macroblock; a group's
// data ends at the next start code (at any bit), and after damage the
// decoder resumes at the first such code that names a group ahead of the
// damaged one, concealing the macroblocks in between, as this walk does.
#include <algorithm>
#include <cstdint>
#include <span>

#include "damage_walk.h"
#include "short_header.h"

namespace tavrin::tool {

// A group start code (16 zeros and a 1) here, or after zero bits up to
// the next byte boundary.
bool PictureWalk::GroupStartFollows() const {
  if (bits_.Peek(17) == 1) return true;
  const int stuffing = static_cast<int>(bits_.pos & 7);
  if (stuffing == 0) return false;
  BitSpan probe = bits_;
  return probe.Read(8 - stuffing) == 0 && probe.Peek(17) == 1;
}

namespace {

// The bit (0 to 7) of byte p at which a start code begins, or -1.
int StartCodeBit(std::span<const uint8_t> b, std::size_t p) {
  if (p + 2 >= b.size() || b[p + 1] != 0) return -1;
  const uint32_t word = uint32_t{b[p]} << 24 | uint32_t{b[p + 1]} << 16 | uint32_t{b[p + 2]} << 8 |
                        (p + 3 < b.size() ? b[p + 3] : 0u);
  for (int k = 0; k < 8; ++k)
    if (((word << k) >> 15) == 1) return k;
  return -1;
}

}  // namespace

// Where a group's data ends before the first start code that begins in
// byte `from` or later: the code's byte when it begins on the boundary,
// the byte after when it begins inside the byte.
int PictureWalk::NextGroupMarker(int from) const {
  const std::span<const uint8_t> b = bits_.bytes();
  const int length = static_cast<int>(b.size());
  for (int p = std::max(from, 0); p + 2 < length; ++p) {
    const int k = StartCodeBit(b, static_cast<std::size_t>(p));
    if (k >= 0) return k == 0 ? p : p + 1;
  }
  return length;
}

// The header of the group whose start code ends the data at byte `marker`.
bool PictureWalk::ReadGroupHeaderAt(int marker, int after, int& macroblock, int& quant) {
  const std::span<const uint8_t> b = bits_.bytes();
  int p = marker;
  int k = StartCodeBit(b, static_cast<std::size_t>(p));
  if (k != 0 && p > 0) k = StartCodeBit(b, static_cast<std::size_t>(--p));
  if (k < 0) return false;
  const int mbHeight = s_.total_ / std::max(s_.mbWidth_, 1);
  const int perGroup = s_.mbWidth_ * RowsPerGroup(mbHeight);
  const int groups = (mbHeight + RowsPerGroup(mbHeight) - 1) / RowsPerGroup(mbHeight);
  bits_.pos = int64_t{p} * 8 + k + 17;
  const int group = static_cast<int>(bits_.Read(5));
  bits_.pos += 2;  // GFID
  quant = static_cast<int>(bits_.Read(5));
  macroblock = group * perGroup;
  return group >= 1 && group < groups && macroblock > after && quant >= 1;
}

bool PictureWalk::ShortHeaderMacroblock(int index) {
  int type = 3, cbpc = 0, cbpy = 0;
  if (h_.vopCodingType == CodingType::kPredicted) {
    skipped_[static_cast<std::size_t>(index)] = static_cast<uint8_t>(bits_.Read(1));  // COD
    if (skipped_[static_cast<std::size_t>(index)]) return true;
    if (!PredictedMcbpc(type, cbpc) || type == 2) return false;  // four vectors are not baseline
  } else if (!IntraMcbpc(type, cbpc)) {
    return false;
  }
  const bool intra = type >= 3;
  if (!Cbpy(cbpy)) return false;
  if (!intra) cbpy = 15 - cbpy;
  if (type == 1 || type == 4) Dquant();
  if (!intra && !Vector(1)) return false;
  const int pattern = cbpy << 2 | cbpc;
  for (int block = 0; block < 6; ++block) {
    if (intra && bits_.Read(8) == 0) return false;  // INTRADC
    // Intra and inter blocks alike read the inter table.
    if (((pattern >> (5 - block)) & 1) && !Block(false, intra ? 1 : 0)) return false;
  }
  return true;
}

}  // namespace tavrin::tool
