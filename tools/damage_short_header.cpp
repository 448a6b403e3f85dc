// The damage walk of short-header (baseline H.263) pictures: groups of
// blocks play the part of video packets.  A group header may follow any
// macroblock; after damage the decoder resumes at the next group start
// code (at any bit) that names a group of the picture, and conceals the
// macroblocks in between, as this walk does.
#include <algorithm>

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

// The next group start code from bit `from` on whose group number names a
// group of the picture.
bool PictureWalk::NextGroupStart(int64_t from, int64_t& at) const {
  const int mbHeight = s_.total_ / std::max(s_.mbWidth_, 1);
  const int groups = (mbHeight + RowsPerGroup(mbHeight) - 1) / RowsPerGroup(mbHeight);
  for (int64_t p = from; p + 22 <= bits_.size(); ++p) {
    BitSpan probe(bits_.bytes(), p);
    if (probe.Read(17) != 1) continue;
    const int group = static_cast<int>(probe.Read(5));
    if (group >= 1 && group < groups) {
      at = p;
      return true;
    }
  }
  return false;
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

void PictureWalk::ShortHeaderPicture() {
  const int total = s_.total_;
  const int perGroup = s_.mbWidth_ * RowsPerGroup(s_.total_ / std::max(s_.mbWidth_, 1));
  limit_ = bits_.size();
  int first = 0;
  for (int i = 0; i < total; ++i) {
    if (i > 0 && GroupStartFollows()) {
      if ((bits_.pos & 7) != 0 && bits_.Peek(17) != 1) bits_.pos += 8 - (bits_.pos & 7);
      bits_.pos += 17;
      const int group = static_cast<int>(bits_.Read(5));
      bits_.pos += 2;  // GFID
      const int quant = static_cast<int>(bits_.Read(5));
      const int next = group * perGroup;
      if (group < 1 || next >= total || next < i || quant < 1) {
        Lose(i, total);
        damaged_ = true;
        return;
      }
      Lose(i, next);
      damaged_ = damaged_ || next > i;
      i = first = next;
      quant_ = quant;
    }
    start_[static_cast<std::size_t>(i)] = bits_.pos;
    if (Macroblock(i) && bits_.pos <= limit_) continue;
    damaged_ = true;
    const int64_t detected = bits_.pos;
    Lose(SuspectFrom(first, i, detected), i + 1);
    int64_t at = 0;
    if (i + 1 >= total || !NextGroupStart(detected, at)) {
      Lose(i, total);
      return;
    }
    bits_.pos = at;
  }
  if (!EndsCleanly()) {
    Lose(SuspectFrom(first, total, bits_.pos), total);
    damaged_ = true;
  }
}

}  // namespace tavrin::tool
