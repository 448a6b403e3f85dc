#include "picture/partitions_remux.h"

#include <algorithm>
#include <cstring>

#include "picture/macroblock_header.h"
#include "primitives/coefficients/reversible_codes.h"

namespace tavrin {
namespace {

class Writer {
 public:
  Writer(uint8_t* out, int32_t capacity) : out_(out), capacityBits_(capacity * 8) {}

  // The zero bytes the decoder's readers may look at after the bits.
  void Finish() {
    const int32_t used = (bits_ + 7) >> 3;
    std::memset(out_ + used, 0, static_cast<size_t>(kInputPadding));
  }

  void Put(uint32_t value, int32_t n) {
    for (int32_t i = n - 1; i >= 0; --i) PutBit((value >> i) & 1);
  }

  // Copies n bits from bit `from` of the input.
  void Copy(const uint8_t* input, int32_t from, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t p = from + i;
      PutBit((input[p >> 3] >> (7 - (p & 7))) & 1);
    }
  }

  bool ok() const { return ok_; }
  int32_t bits() const { return bits_; }

 private:
  void PutBit(uint32_t b) {
    if (bits_ >= capacityBits_) {
      ok_ = false;
      return;
    }
    if ((bits_ & 7) == 0) out_[bits_ >> 3] = 0;
    if (b) out_[bits_ >> 3] |= static_cast<uint8_t>(0x80u >> (bits_ & 7));
    ++bits_;
  }

  uint8_t* out_;
  int32_t capacityBits_;
  int32_t bits_ = 0;
  bool ok_ = true;
};

bool Intra(const PartitionRecord& m) { return m.mbType == MbIntra || m.mbType == MbIntraQuant; }

// An escaped event of the ordinary codes: 0000 011, 11, last, run, a 1,
// the level in 12 bits, a 1.
void PutEscaped(Writer& w, const coefficients::CoefficientEvent& e) {
  w.Put(0x03, 7);
  w.Put(3, 2);
  w.Put(e.last, 1);
  w.Put(e.run, 6);
  w.Put(1, 1);
  w.Put(static_cast<uint32_t>(e.level) & 0xFFF, 12);
  w.Put(1, 1);
}

void PutResidual(Writer& w, const DecoderContext& c, const PartitionRecord& m, int32_t at,
                 int32_t bits) {
  const uint8_t* input = c.reader.bufferStart;
  if (!c.sequence.reversibleVlc) {
    w.Copy(input, at, bits);
    return;
  }
  coefficients::BlockEvents events;
  int64_t end = 0;
  const int32_t first = Intra(m) && m.dcCoded ? 1 : 0;
  if (coefficients::ReadReversibleBlock(input, at, at + bits, Intra(m), first, events, &end) != Ok) {
    w.Put(0, 32);  // no code: the decoder stops here
    return;
  }
  for (int32_t k = 0; k < events.count; ++k) PutEscaped(w, events.events[k]);
}

}  // namespace

int32_t RemuxMacroblock(const DecoderContext& c, const PartitionRecord& m, bool withResiduals,
                        uint8_t* out, int32_t capacity) {
  Writer w(out, capacity);
  const uint8_t* input = c.reader.bufferStart;
  const bool predicted = c.picture.vopCodingType == 1;
  if (predicted) {
    w.Put(m.notCoded, 1);
    if (m.notCoded) {
      w.Finish();
      return w.bits();
    }
  }
  const bool intra = Intra(m);
  const bool quantChange = m.mbType == MbInterQuant || m.mbType == MbIntraQuant;
  if (withResiduals) {
    w.Copy(input, m.mcbpcAt, m.mcbpcBits);
    if (intra) w.Put(m.acPred, 1);
    w.Copy(input, m.cbpyAt, m.cbpyBits);
    if (quantChange) w.Put(m.dquant, 2);
  } else if (!intra) {
    // Predicted only: the type without dquant and no coded block.
    w.Put(m.mbType == MbInter4v ? 0x2 : 0x1, m.mbType == MbInter4v ? 3 : 1);  // 010, 1
    w.Put(0x3, 2);                                                           // cbpy 11
  } else {
    // The DCs alone: cbpc 0, no AC prediction, cbpy 0.
    if (predicted) {
      w.Put(m.mbType == MbIntraQuant ? 0x4 : 0x3, m.mbType == MbIntraQuant ? 6 : 5);  // 000100, 00011
    } else {
      w.Put(1, m.mbType == MbIntraQuant ? 4 : 1);  // 0001, 1
    }
    w.Put(0, 1);
    w.Put(0x3, 4);  // 0011
    if (quantChange) w.Put(m.dquant, 2);
  }
  if (!intra) w.Copy(input, m.vectorsAt, m.vectorBits);
  int32_t dcAt = m.dcAt;
  int32_t textureAt = m.textureAt;
  const int32_t pattern = (m.cbpy << 2) | m.cbpc;
  for (int32_t block = 0; block < 6; ++block) {
    if (intra && m.dcCoded) {
      w.Copy(input, dcAt, m.dcBits[block]);
      dcAt += m.dcBits[block];
    }
    if (!((pattern >> (5 - block)) & 1)) continue;
    if (withResiduals) PutResidual(w, c, m, textureAt, m.blockBits[block]);
    textureAt += m.blockBits[block];
  }
  w.Finish();
  return w.ok() ? w.bits() : -1;
}

}  // namespace tavrin
