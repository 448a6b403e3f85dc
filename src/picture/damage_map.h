// Marking what a damaged picture lost.  The picture decoders stop a packet
// at its first macroblock whose codes cannot be right and resume at the
// next resynchronisation marker (or give up on the rest of the picture when
// there is none); every macroblock in between is marked lost here, and the
// concealment rebuilds the lost ones once the picture is decoded.
//
// Damage is found late: a burst of wrong bits often still reads as valid
// codes for a while before a code that cannot be turns up.  So the
// macroblocks whose data began shortly before the point where the damage
// showed are not trusted either.
#pragma once

#include <algorithm>
#include <cstdint>

#include "decoder/decoder_context.h"
#include "primitives/dispatch/primitive_table.h"

namespace tavrin {

// Bits before the point where damage showed within which a macroblock's
// data must have begun to be taken as lost too; more in intra pictures.
inline constexpr int32_t kSuspectBits = 512;
inline constexpr int32_t kIntraSuspectBits = 2048;

class DamageMap {
 public:
  // Starts a picture: nothing lost yet.
  explicit DamageMap(FrameStore& f, int32_t suspectBits = kSuspectBits)
      : r_(f.resilience), count_(f.mbWidth * f.mbHeight), suspectBits_(suspectBits) {
    r_.lostCount = 0;
    if (r_.status != nullptr) primitives.ZeroBytes(r_.status, count_);
  }

  // Macroblock index begins at the reader's position.
  void Start(int32_t index, const BitReader& reader) {
    if (r_.bitStart != nullptr) r_.bitStart[index] = BitPosition(reader);
  }

  // Macroblocks [from, to) are lost.
  void Lose(int32_t from, int32_t to) {
    if (r_.status == nullptr) {
      r_.lostCount += std::max(0, to - from);
      return;
    }
    for (int32_t i = std::max(from, 0); i < std::min(to, count_); ++i) {
      if ((r_.status[i] & kMacroblockLost) == 0) ++r_.lostCount;
      r_.status[i] |= kMacroblockLost;
    }
  }

  // Damage showed at bit `detected` while macroblock `at` of the packet
  // that began with macroblock `first` was decoded, and the walk resumes at
  // macroblock `to`: everything from the first macroblock not to be trusted
  // up to `to` is lost, and those before `at`, which were decoded whole,
  // are suspect.  Returns the first one lost.
  int32_t LoseAfterDamage(int32_t first, int32_t at, int32_t detected, int32_t to) {
    const int32_t from = SuspectFrom(first, at, detected);
    Lose(from, to);
    MarkSuspect(from, std::min(at, to));
    return from;
  }

  // Macroblocks [from, to), decoded whole, are lost but suspect: the
  // concealment keeps what they hold where that fits clearly better.
  void LoseSuspect(int32_t from, int32_t to) {
    Lose(from, to);
    MarkSuspect(from, to);
  }

  // The first macroblock not to be trusted, for LoseAfterDamage.
  int32_t SuspectFrom(int32_t first, int32_t at, int32_t detected) const {
    if (r_.bitStart == nullptr) return at;
    int32_t from = std::min(at, count_);
    while (from > first && r_.bitStart[from - 1] >= detected - suspectBits_) --from;
    return from;
  }

  static int32_t BitPosition(const BitReader& reader) {
    return static_cast<int32_t>(reader.bytePos - reader.bufferStart) * 8 + reader.bitPos;
  }

 private:
  void MarkSuspect(int32_t from, int32_t to) {
    if (r_.status == nullptr) return;
    for (int32_t i = std::max(from, 0); i < std::min(to, count_); ++i) r_.status[i] |= kMacroblockSuspect;
  }

  ResilienceState& r_;
  int32_t count_;
  int32_t suspectBits_;
};

// Whether the picture's data ends where its last macroblock does: stuffing
// (a 0 and then 1s up to the byte boundary) and then nothing, zero bytes,
// or the next start code; or nothing but zero bits.  Data that goes on was
// read wrongly somewhere.
inline bool EndsCleanly(const BitReader& reader) {
  const int32_t stuffing = 8 - reader.bitPos;
  const int32_t left = reader.BytesLeft();
  if (reader.bitPos == 0 && left == 0) return true;
  if (left <= 0) return false;
  const uint32_t bits = reader.ShowBits(stuffing);
  const bool stuffed = bits == (1u << (stuffing - 1)) - 1;
  if (!stuffed && bits != 0) return false;
  const uint8_t* p = reader.bytePos + 1;
  const int32_t rest = left - 1;
  if (stuffed && rest >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1) return true;
  return std::all_of(p, p + rest, [](uint8_t b) { return b == 0; });
}

}  // namespace tavrin
