// The damage walk of data-partitioned I and P pictures: each packet read
// part by part as the decoder reads it (partitions, then the residuals, in
// the reversible codes from both ends).
#include <algorithm>
#include <array>

#include "damage_codes.h"
#include "damage_walk.h"
#include "macroblock_codes.h"

namespace tavrin::tool {
namespace {

constexpr uint32_t kMotionMarker = 0x1F001;
constexpr int kMotionMarkerBits = 17;
constexpr uint32_t kDcMarker = 0x6B001;
constexpr int kDcMarkerBits = 19;
constexpr int64_t kReversibleMargin = 64;  // the decoder's

struct Record {
  bool notCoded = false;
  int type = 0;
  int pattern = 0;  // coded blocks, bit 5 block 0
  bool dcCoded = false;
  int64_t textureAt = 0;
  std::array<int64_t, 6> blockBits{};
  int64_t backAt = 0;
  std::array<int64_t, 6> backBits{};
  enum { kIntact, kTextureLost, kLost } outcome = kIntact;
  bool intra() const { return type >= 3; }
  bool residual() const { return !notCoded && pattern != 0; }
  int firstIndex() const { return intra() && dcCoded ? 1 : 0; }
};

// One reversible event forwards from `at` (moved past it), or false;
// *last is its last.
bool ReadForwards(const BitSpan& b, int64_t& at, int64_t limit, int& run, int& last) {
  const int entry = ReversibleForwards().Lookup([&]() -> int { return at < limit ? b.Bit(at++) : -1; });
  if (entry < 0) return false;
  if (entry == kReversibleCount) {
    if (at + 26 > limit) return false;
    auto read = [&](int n) {
      uint32_t v = 0;
      for (int i = 0; i < n; ++i) v = v << 1 | static_cast<uint32_t>(b.Bit(at++));
      return v;
    };
    if (read(1) != 1) return false;
    last = static_cast<int>(read(1));
    run = static_cast<int>(read(6));
    if (read(1) != 1) return false;
    const uint32_t level = read(11);
    if (read(1) != 1 || read(4) != 0 || level == 0) return false;
    at += 1;
    return true;
  }
  if (at >= limit) return false;
  at += 1;  // sign
  last = kReversibleLasts[entry].last;
  run = -1;  // the run of a table code matters only to the decoder's events
  return true;
}

// The same backwards from `at` (the bit after the event's sign).
bool ReadBackwards(const BitSpan& b, int64_t& at, int64_t limit, int& last) {
  if (at - 1 < limit) return false;
  --at;  // sign
  const int entry = ReversibleBackwards().Lookup([&]() -> int { return at > limit ? b.Bit(--at) : -1; });
  if (entry < 0) return false;
  if (entry == kReversibleCount) {
    if (at - 25 < limit) return false;
    auto read = [&](int n) {
      uint32_t v = 0;
      for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(b.Bit(--at)) << i;
      return v;
    };
    if (read(1) != 1) return false;
    const uint32_t level = read(11);
    if (read(1) != 1) return false;
    read(6);
    last = static_cast<int>(read(1));
    if (read(1) != 1 || read(4) != 0 || level == 0) return false;
    return true;
  }
  last = kReversibleLasts[entry].last;
  return true;
}

}  // namespace

void PictureWalk::PartitionedPicture() {
  const std::span<const uint8_t> b = bits_.bytes();
  // The picture's data ends at the next start code or the end, zero bytes
  // before either left out.
  int pictureEnd = static_cast<int>(b.size());
  for (int p = static_cast<int>(bits_.pos >> 3); p + 3 < static_cast<int>(b.size()); ++p)
    if (b[static_cast<std::size_t>(p)] == 0 && b[static_cast<std::size_t>(p + 1)] == 0 &&
        b[static_cast<std::size_t>(p + 2)] == 1) {
      pictureEnd = p;
      break;
    }
  while (pictureEnd > (bits_.pos >> 3) && b[static_cast<std::size_t>(pictureEnd - 1)] == 0) --pictureEnd;
  const bool packets = !s_.layer_.resyncMarkerDisable;
  int first = 0;
  for (int packet = 0; packet < s_.total_ && first < s_.total_; ++packet) {
    const int64_t begin = bits_.pos;
    const int end = packets ? std::min(NextMarker(static_cast<int>(begin >> 3)), pictureEnd) : pictureEnd;
    int next = s_.total_, quant = 0, marker = end;
    bool found = false;
    while (marker < pictureEnd) {
      if (ReadHeaderAt(marker, first, next, quant)) {
        found = true;
        break;
      }
      next = s_.total_;
      marker = std::min(NextMarker(marker + 1), pictureEnd);
    }
    const int expected = found || marker >= pictureEnd ? next - first : -1;
    // Where the codes end: before the stuffing in the packet's last byte.
    int64_t codesEnd = -1;
    if (end > (begin >> 3) && b[static_cast<std::size_t>(end - 1)] != 0xFF) {
      const uint8_t last = b[static_cast<std::size_t>(end - 1)];
      int ones = 0;
      while (ones < 7 && ((last >> ones) & 1)) ++ones;
      codesEnd = int64_t{end} * 8 - ones - 1;
    }
    const int64_t after = bits_.pos;
    const int count = PartitionedPacket(first, expected, begin, codesEnd, int64_t{end} * 8);
    bits_.pos = after;
    if (count == 0) damaged_ = true;
    if (first + count < next) {
      Lose(first + count, next);
      damaged_ = true;
    }
    if (!found) break;
    first = next;
    quant_ = quant;
  }
}

int PictureWalk::PartitionedPacket(int first, int expected, int64_t begin, int64_t end, int64_t limit) {
  const bool intraPicture = h_.vopCodingType == CodingType::kIntra;
  int max = s_.total_ - first;
  if (expected > 0) max = std::min(max, expected);
  std::vector<Record> records;
  bits_.pos = begin;
  limit_ = limit;
  // The first part, up to its marker.
  const int fcode = h_.vopFcodeForward;
  if (!intraPicture && (fcode < 1 || fcode > 7)) return 0;
  bool marker = false;
  for (int guard = 0; guard <= 2 * max + 2 && !marker; ++guard) {
    if (bits_.pos > limit) return 0;
    if (intraPicture ? bits_.Peek(kDcMarkerBits) == kDcMarker : bits_.Peek(kMotionMarkerBits) == kMotionMarker) {
      bits_.pos += intraPicture ? kDcMarkerBits : kMotionMarkerBits;
      marker = true;
      break;
    }
    if (intraPicture && bits_.Peek(9) == 1) {
      bits_.pos += 9;
      continue;
    }
    if (static_cast<int>(records.size()) >= max) return 0;
    Record m;
    if (!intraPicture) {
      m.notCoded = bits_.Read(1) != 0;
      if (m.notCoded) {
        records.push_back(m);
        continue;
      }
      if (bits_.Peek(9) == 1) {
        bits_.pos += 9;
        continue;
      }
    }
    int type = 0, cbpc = 0;
    if (!(intraPicture ? IntraMcbpc(type, cbpc) : PredictedMcbpc(type, cbpc))) return 0;
    m.type = type;
    m.pattern = cbpc;
    if (intraPicture) {
      if (type == 4) Dquant();
      m.dcCoded = UseDcCodes();
      if (m.dcCoded) {
        for (int block = 0; block < 6; ++block)
          if (!Dc(block)) return 0;
        if (bits_.pos > limit) return 0;
      }
    } else if (!m.intra()) {
      for (int v = 0; v < (type == 2 ? 4 : 1); ++v)
        if (!Vector(fcode)) return 0;
    }
    records.push_back(m);
  }
  const int count = static_cast<int>(records.size());
  if (!marker || count == 0 || (expected > 0 && count != expected)) return 0;
  // The second part.
  int second = count;
  for (int k = 0; k < count && second == count; ++k) {
    Record& m = records[static_cast<std::size_t>(k)];
    if (m.notCoded) continue;
    if (intraPicture || m.intra()) bits_.pos += 1;  // ac_pred_flag
    int cbpy = 0;
    if (!Cbpy(cbpy)) {
      second = k;
      break;
    }
    m.pattern |= (m.intra() ? cbpy : 15 - cbpy) << 2;
    if (!intraPicture) {
      if (m.type == 1 || m.type == 4) Dquant();
      if (m.intra()) {
        m.dcCoded = UseDcCodes();
        for (int block = 0; m.dcCoded && block < 6 && second == count; ++block)
          if (!Dc(block)) second = k;
      }
    }
    if (bits_.pos > limit) second = k;
  }
  auto conceal = [&](int k, bool whole) {
    const Record& m = records[static_cast<std::size_t>(k)];
    const std::size_t index = static_cast<std::size_t>(first + k);
    if (m.notCoded) {
      skipped_[index] = 1;
      return;
    }
    (void)whole;
    lost_[index] = 1;  // intra ones concealed, inter ones predicted only
    damaged_ = true;
  };
  if (second < count) {
    for (int k = 0; k < count; ++k) conceal(k, k >= second);
    return count;
  }
  // The residuals, forwards.
  const bool reversible = s_.layer_.reversibleVlc;
  const int64_t start = bits_.pos;
  int64_t stop = start;
  int forwardWhole = count;
  int64_t at = start;
  for (int k = 0; k < count && forwardWhole == count; ++k) {
    Record& m = records[static_cast<std::size_t>(k)];
    m.textureAt = at;
    for (int block = 0; block < 6; ++block) {
      if (m.notCoded || !((m.pattern >> (5 - block)) & 1)) continue;
      bool ok = true;
      int64_t p = at;
      if (reversible) {
        int index = m.firstIndex() - 1;
        ok = false;
        for (int e = 0; e < 64; ++e) {
          int run = 0, last = 0;
          if (!ReadForwards(bits_, p, limit, run, last)) break;
          if (run >= 0) index += run + 1;
          if (index > 63) break;
          if (last) {
            ok = true;
            break;
          }
        }
        if (!ok) stop = p;
      } else {
        bits_.pos = at;
        ok = Block(m.intra(), m.firstIndex()) && bits_.pos <= limit;
        p = bits_.pos;
        if (!ok) stop = at;
      }
      if (!ok) {
        forwardWhole = k;
        break;
      }
      m.blockBits[static_cast<std::size_t>(block)] = p - at;
      at = p;
    }
  }
  if (forwardWhole == count) stop = at;
  if (forwardWhole == count && (end < 0 || stop == end)) {
    for (int k = 0; k < count; ++k)
      if (records[static_cast<std::size_t>(k)].notCoded) skipped_[static_cast<std::size_t>(first + k)] = 1;
    return count;
  }
  int64_t keepBefore = stop - kSuspectBits;
  int64_t keepAfter = INT64_MAX;
  int backwardWhole = 0;
  if (reversible && end >= 0) {
    int64_t p = end;
    int64_t backStop = end;
    for (int k = count - 1; k >= 0; --k) {
      Record& m = records[static_cast<std::size_t>(k)];
      bool ok = true;
      for (int block = 5; block >= 0 && ok; --block) {
        if (m.notCoded || !((m.pattern >> (5 - block)) & 1)) continue;
        const int64_t blockEnd = p;
        for (int e = 0; e < 64; ++e) {
          if (e > 0 && p == start) break;
          const int64_t before = p;
          int last = 0;
          if (!ReadBackwards(bits_, p, start, last) || (e == 0 && !last)) {
            ok = false;
            break;
          }
          if (e > 0 && last) {
            p = before;
            break;
          }
        }
        if (!ok) break;
        m.backBits[static_cast<std::size_t>(block)] = blockEnd - p;
      }
      if (!ok) {
        backStop = p;
        break;
      }
      m.backAt = p;
      backStop = p;
      ++backwardWhole;
    }
    if (backwardWhole == count && backStop != start) --backwardWhole;
    if (backStop <= stop) {
      keepBefore = backStop;
      keepAfter = stop;
    } else {
      keepBefore = stop - kReversibleMargin;
      keepAfter = backStop + kReversibleMargin;
    }
  }
  for (int k = 0; k < count; ++k) {
    const Record& m = records[static_cast<std::size_t>(k)];
    if (m.notCoded) {
      skipped_[static_cast<std::size_t>(first + k)] = 1;
      continue;
    }
    if (!m.residual()) continue;
    int64_t bits = 0;
    for (int64_t x : m.blockBits) bits += x;
    if (k < forwardWhole && m.textureAt + bits <= keepBefore) continue;
    if (k >= count - backwardWhole && m.backAt >= keepAfter) continue;
    conceal(k, false);
  }
  return count;
}

}  // namespace tavrin::tool
