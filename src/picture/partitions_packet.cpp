#include "picture/partitions_packet.h"

#include <algorithm>

#include "picture/damage_map.h"
#include "picture/macroblock_header.h"
#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/coefficients/reversible_codes.h"
#include "primitives/vectors/vector_bits.h"

namespace tavrin {
namespace {

// Bits the reversible readings are taken to overrun damage by before they
// find it, when they cannot tell where it is.
constexpr int32_t kReversibleMargin = 64;

int32_t Position(const BitReader& r) { return DamageMap::BitPosition(r); }

void MoveTo(BitReader& r, int32_t bit) {
  r.bytePos = r.bufferStart + (bit >> 3);
  r.bitPos = bit & 7;
}

bool CodedBlock(const PartitionRecord& m, int32_t block) {
  const int32_t pattern = (m.cbpy << 2) | m.cbpc;
  return (pattern >> (5 - block)) & 1;
}

bool Intra(const PartitionRecord& m) { return m.mbType == MbIntra || m.mbType == MbIntraQuant; }

bool HasResidual(const PartitionRecord& m) { return !m.notCoded && ((m.cbpy << 2) | m.cbpc) != 0; }

class PacketReader {
 public:
  PacketReader(DecoderContext& c, const PartitionedPacket& p)
      : c_(c), p_(p), r_(c.reader), records_(c.store.resilience.partitions + p.first) {
    r_.dataLength = std::min(c.reader.dataLength, (p.limit + 7) >> 3);
    MoveTo(r_, p.begin);
    const int32_t total = c.store.mbWidth * c.store.mbHeight;
    max_ = total - p.first;
    if (p.expected > 0) max_ = std::min(max_, p.expected);
  }

  int32_t Read() {
    const bool intraPicture = c_.picture.vopCodingType == 0;
    count_ = intraPicture ? FirstPartIntra() : FirstPartPredicted();
    if (count_ <= 0 || (p_.expected > 0 && count_ != p_.expected)) return 0;
    for (int32_t k = 0; k < count_; ++k) records_[k].outcome = kPartitionsIntact;
    const int32_t second = intraPicture ? SecondPartIntra() : SecondPartPredicted();
    if (second < count_) {
      // The residuals cannot be found: every macroblock keeps what the
      // first part says; those whose second part was read keep that too.
      for (int32_t k = 0; k < count_; ++k) records_[k].outcome = k < second ? kTextureLost : kPartitionsLost;
      return count_;
    }
    Residuals();
    return count_;
  }

 private:
  bool Overrun() const { return Position(r_) > p_.limit; }

  bool ReadDcCodes(PartitionRecord& m) {
    m.dcAt = Position(r_);
    for (int32_t block = 0; block < 6; ++block) {
      const int32_t before = Position(r_);
      int16_t differential = 0;
      if (coefficients::DecodeDcDifferential(&r_.bytePos, &r_.bitPos, block >= 4 ? 1 : 0,
                                             &differential) != Ok)
        return false;
      m.dcBits[block] = static_cast<uint8_t>(Position(r_) - before);
    }
    return !Overrun();
  }

  void ApplyQuant(PartitionRecord& m) {
    static constexpr int32_t kChange[4] = {-1, -2, 1, 2};
    quant_ = std::clamp(quant_ + kChange[m.dquant & 3], 1, 31);
  }

  // mcbpc, dquant and DCs of each macroblock, up to the DC marker.
  int32_t FirstPartIntra() {
    int32_t count = 0;
    for (int32_t guard = 0; guard <= 2 * max_ + 2; ++guard) {
      if (Overrun()) return 0;
      if (r_.ShowBits(kDcMarkerBits) == kDcMarker) {
        r_.SkipBits(kDcMarkerBits);
        return count;
      }
      if (r_.ShowBits(9) == 1) {  // stuffing
        r_.SkipBits(9);
        continue;
      }
      if (count >= max_) return 0;
      PartitionRecord& m = records_[count];
      m = PartitionRecord{};
      m.mcbpcAt = Position(r_);
      Mcbpc mcbpc{};
      if (ReadIntraMcbpc(r_, mcbpc) != 0) return 0;
      m.mcbpcBits = static_cast<uint8_t>(Position(r_) - m.mcbpcAt);
      m.mbType = static_cast<uint8_t>(mcbpc.mbType);
      m.cbpc = static_cast<uint8_t>(mcbpc.cbpc);
      if (m.mbType == MbIntraQuant) {
        m.dquant = static_cast<uint8_t>(r_.GetBits(2));
        ApplyQuant(m);
      }
      m.dcCoded = UseIntraDcVlc(quant_, c_.picture.intraDcVlcThr) ? 1 : 0;
      if (m.dcCoded && !ReadDcCodes(m)) return 0;
      ++count;
    }
    return 0;
  }

  // not_coded, mcbpc and vectors of each macroblock, up to the motion
  // marker.
  int32_t FirstPartPredicted() {
    const int32_t fcode = c_.picture.vopFcodeForward;
    if (!vectors::IsValidFcode(fcode)) return 0;
    int32_t count = 0;
    for (int32_t guard = 0; guard <= 2 * max_ + 2; ++guard) {
      if (Overrun()) return 0;
      if (r_.ShowBits(kMotionMarkerBits) == kMotionMarker) {
        r_.SkipBits(kMotionMarkerBits);
        return count;
      }
      if (count >= max_) return 0;
      PartitionRecord& m = records_[count];
      m = PartitionRecord{};
      m.notCoded = static_cast<uint8_t>(r_.GetBit());
      if (m.notCoded) {
        ++count;
        continue;
      }
      if (r_.ShowBits(9) == 1) {  // stuffing: no macroblock
        r_.SkipBits(9);
        continue;
      }
      m.mcbpcAt = Position(r_);
      Mcbpc mcbpc{};
      if (ReadPredictedMcbpc(r_, mcbpc) != 0) return 0;
      m.mcbpcBits = static_cast<uint8_t>(Position(r_) - m.mcbpcAt);
      m.mbType = static_cast<uint8_t>(mcbpc.mbType);
      m.cbpc = static_cast<uint8_t>(mcbpc.cbpc);
      if (!Intra(m)) {
        m.vectorsAt = Position(r_);
        vectors::BitCursor cursor{r_.bytePos, r_.bitPos};
        for (int32_t v = 0; v < (m.mbType == MbInter4v ? 4 : 1); ++v) {
          int32_t dx = 0, dy = 0;
          if (!vectors::ReadVectorDifference(cursor, fcode - 1, &dx, &dy)) return 0;
        }
        r_.bytePos = cursor.byte;
        r_.bitPos = cursor.bit;
        r_.KeepInBounds();
        m.vectorBits = static_cast<uint8_t>(Position(r_) - m.vectorsAt);
      }
      ++count;
    }
    return 0;
  }

  // ac_pred_flag and cbpy of each macroblock: how many were read.
  int32_t SecondPartIntra() {
    for (int32_t k = 0; k < count_; ++k) {
      PartitionRecord& m = records_[k];
      m.acPred = static_cast<uint8_t>(r_.GetBit());
      m.cbpyAt = Position(r_);
      int32_t cbpy = 0;
      if (ReadCbpy(r_, cbpy) != 0 || Overrun()) return k;
      m.cbpyBits = static_cast<uint8_t>(Position(r_) - m.cbpyAt);
      m.cbpy = static_cast<uint8_t>(cbpy);
    }
    return count_;
  }

  // ac_pred_flag, cbpy, dquant and the intra DCs of each coded macroblock.
  int32_t SecondPartPredicted() {
    for (int32_t k = 0; k < count_; ++k) {
      PartitionRecord& m = records_[k];
      if (m.notCoded) continue;
      if (Intra(m)) m.acPred = static_cast<uint8_t>(r_.GetBit());
      m.cbpyAt = Position(r_);
      int32_t cbpy = 0;
      if (ReadCbpy(r_, cbpy) != 0) return k;
      m.cbpyBits = static_cast<uint8_t>(Position(r_) - m.cbpyAt);
      m.cbpy = static_cast<uint8_t>(Intra(m) ? cbpy : 15 - cbpy);
      if (m.mbType == MbInterQuant || m.mbType == MbIntraQuant) {
        m.dquant = static_cast<uint8_t>(r_.GetBits(2));
        ApplyQuant(m);
      }
      if (Intra(m)) {
        m.dcCoded = UseIntraDcVlc(quant_, c_.picture.intraDcVlcThr) ? 1 : 0;
        if (m.dcCoded && !ReadDcCodes(m)) return k;
      }
      if (Overrun()) return k;
    }
    return count_;
  }

  // The first scan index of a block's residual codes.
  static int32_t FirstIndex(const PartitionRecord& m) { return Intra(m) && m.dcCoded ? 1 : 0; }

  // One block's residual codes forwards from bit `at`: its end, or -1 with
  // where the damage showed in *stop.
  int32_t BlockForwards(const PartitionRecord& m, int32_t at, int32_t* stop) {
    *stop = at;
    if (c_.sequence.reversibleVlc) {
      int64_t end = 0;
      const bool ok = coefficients::ReadReversibleBlock(r_.bufferStart, at, p_.limit, Intra(m),
                                                        FirstIndex(m), events_, &end) == Ok;
      *stop = static_cast<int32_t>(end);
      return ok ? *stop : -1;
    }
    MoveTo(r_, at);
    alignas(16) int16_t scanOrder[64] = {};
    int32_t covered = 0;
    const PrimitiveStatus s =
        Intra(m) ? coefficients::DecodeIntraCoefficientsInScanOrder(&r_.bytePos, &r_.bitPos, scanOrder,
                                                                    FirstIndex(m), &covered)
                 : coefficients::DecodeInterCoefficientsInScanOrder(&r_.bytePos, &r_.bitPos, scanOrder,
                                                                    0, &covered);
    if (s != Ok || Overrun()) return -1;
    return Position(r_);
  }

  // The residuals of every macroblock, forwards from bit `start`: the
  // number of macroblocks read whole; *stop is where the reading stopped
  // (where the damage showed, or the end of the last one).
  int32_t ResidualsForwards(int32_t start, int32_t* stop) {
    int32_t at = start;
    for (int32_t k = 0; k < count_; ++k) {
      PartitionRecord& m = records_[k];
      m.textureAt = at;
      std::fill(m.blockBits, m.blockBits + 6, uint16_t{0});
      for (int32_t block = 0; block < 6; ++block) {
        if (m.notCoded || !CodedBlock(m, block)) continue;
        const int32_t end = BlockForwards(m, at, stop);
        if (end < 0) return k;
        m.blockBits[block] = static_cast<uint16_t>(end - at);
        at = end;
      }
    }
    *stop = at;
    return count_;
  }

  // The same from bit `end` backwards to `start` (reversible codes): the
  // number of macroblocks, counted from the last, read whole, into the
  // records' backAt and backBits; *stop is where the reading stopped.
  int32_t ResidualsBackwards(int32_t start, int32_t end, int32_t* stop) {
    int64_t at = end;
    for (int32_t k = count_ - 1; k >= 0; --k) {
      PartitionRecord& m = records_[k];
      std::fill(m.backBits, m.backBits + 6, uint16_t{0});
      for (int32_t block = 5; block >= 0; --block) {
        if (m.notCoded || !CodedBlock(m, block)) continue;
        int64_t blockStart = 0;
        const PrimitiveStatus s = coefficients::ReadReversibleBlockBackwards(
            r_.bufferStart, at, start, Intra(m), FirstIndex(m), events_, &blockStart);
        if (s != Ok) {
          *stop = static_cast<int32_t>(blockStart);
          return count_ - 1 - k;
        }
        m.backBits[block] = static_cast<uint16_t>(at - blockStart);
        at = blockStart;
      }
      m.backAt = static_cast<int32_t>(at);
    }
    *stop = static_cast<int32_t>(at);
    // The first macroblock's residuals must begin where the second part
    // ended.
    return at == start ? count_ : count_ - 1;
  }

  static int32_t Bits(const uint16_t* bits) {
    int32_t sum = 0;
    for (int32_t block = 0; block < 6; ++block) sum += bits[block];
    return sum;
  }

  void Residuals() {
    const int32_t start = Position(r_);
    int32_t stop = 0;
    const int32_t forwardWhole = ResidualsForwards(start, &stop);
    if (forwardWhole == count_ && (p_.end < 0 || stop == p_.end)) return;
    // Damage in the residuals: what lies after it is lost, and the
    // macroblocks that began shortly before it showed are not trusted
    // either.
    int32_t keepBefore = stop - kSuspectBits;
    int32_t keepAfter = 0x7FFFFFFF;
    int32_t backwardWhole = 0;
    if (c_.sequence.reversibleVlc && p_.end >= 0) {
      // Read from the end too.  One damaged stretch lies between where the
      // backward reading found it and where the forward one did; where the
      // two found it the other way round, there is more than one, and a
      // margin is kept on both sides.
      int32_t backStop = 0;
      backwardWhole = ResidualsBackwards(start, p_.end, &backStop);
      if (backStop <= stop) {
        keepBefore = backStop;
        keepAfter = stop;
      } else {
        keepBefore = stop - kReversibleMargin;
        keepAfter = backStop + kReversibleMargin;
      }
    }
    for (int32_t k = 0; k < count_; ++k) {
      PartitionRecord& m = records_[k];
      if (!HasResidual(m)) continue;
      if (k < forwardWhole && m.textureAt + Bits(m.blockBits) <= keepBefore) continue;
      if (k >= count_ - backwardWhole && m.backAt >= keepAfter) {
        m.textureAt = m.backAt;
        std::copy(m.backBits, m.backBits + 6, m.blockBits);
        continue;
      }
      m.outcome = kTextureLost;
    }
  }

  DecoderContext& c_;
  const PartitionedPacket& p_;
  BitReader r_;
  PartitionRecord* records_;
  int32_t max_ = 0;
  int32_t count_ = 0;
  int32_t quant_ = p_.quant;
  coefficients::BlockEvents events_;
};

}  // namespace

int32_t ReadPartitionedPacket(DecoderContext& c, const PartitionedPacket& packet) {
  if (c.store.resilience.partitions == nullptr) return 0;
  return PacketReader(c, packet).Read();
}

}  // namespace tavrin
