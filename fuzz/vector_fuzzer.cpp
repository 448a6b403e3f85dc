// The motion vector primitives on their own (table rows 17 to 25): the
// portable reference and every variant of the row on the same input.  None
// may read or write outside what it is given, and all must agree on status,
// position and vectors.
//
// Input layout: byte 0 picks the row, byte 1 the starting bit offset, then
// fcodes, macroblock type, block geometry and time distances, the flags of
// the four macroblocks, twenty vectors (left, above, above-right, current or
// co-located, and a spare), and the rest is the bitstream.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_input.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/vectors/vectors.h"

namespace {

using namespace tavrin;
using tavrin::fuzz::FuzzInput;

struct Arguments {
  uint8_t row;
  int32_t bitPos;
  int32_t fcode, secondFcode, mbType, blockX, blockY, blockSize, trb, trd;
  ClipRect rect;
  // left, above, above-right, current; 4-byte aligned as the rows require.
  alignas(4) std::array<std::array<uint8_t, 4>, 4> flags;
  std::array<MotionVector, 20> vectors;
};

struct Outcome {
  int32_t status = 0;
  ptrdiff_t consumedBytes = 0;
  int32_t bitPos = 0;
  std::array<MotionVector, 20> vectors{};
  bool operator==(const Outcome& o) const {
    return status == o.status && consumedBytes == o.consumedBytes && bitPos == o.bitPos &&
           vectors == o.vectors;
  }
};

// One implementation of each row.
struct Rows {
  DecodeMacroblockVectorsFn macroblock;
  DecodeVectorFn forward;
  DecodeVectorFn backward;
  DecodeBidirVectorsFn bidir;
  DecodeDirectVectorsFn direct;
  DeriveDirectVectorsFn deriveDirect;
  ClipVectorFn clip;
  DeriveChromaVectorFn chroma;
  DeriveChromaVector4Fn chroma4;
};

constexpr Rows kReference{reference::DecodeMacroblockVectors, reference::DecodeForwardVector,
                          reference::DecodeBackwardVector,    reference::DecodeBidirVectors,
                          reference::DecodeDirectVectors,     reference::DeriveDirectVectors,
                          reference::ClipVector,              reference::DeriveChromaVector,
                          reference::DeriveChromaVector4};

// A variant's candidates (not the process-wide slots).
Rows VariantRows(const PrimitiveTable& t, int v) {
  return {t.DecodeMacroblockVectors.candidate(v), t.DecodeForwardVector.candidate(v),
          t.DecodeBackwardVector.candidate(v),    t.DecodeBidirVectors.candidate(v),
          t.DecodeDirectVectors.candidate(v),     t.DeriveDirectVectors.candidate(v),
          t.ClipVector.candidate(v),              t.DeriveChromaVector.candidate(v),
          t.DeriveChromaVector4.candidate(v)};
}

Outcome Call(const Rows& rows, const Arguments& a, const std::vector<uint8_t>& bits) {
  Outcome o;
  o.vectors = a.vectors;
  MotionVector* v = o.vectors.data();
  BytePointer byte = bits.data();
  int32_t bit = a.bitPos;
  switch (a.row % 9) {
    case 0:
      o.status = rows.macroblock(
          &byte, &bit, v, v + 4, v + 8, v + 12, a.flags[0].data(), a.flags[1].data(),
          a.flags[2].data(), a.flags[3].data(), a.fcode, a.mbType);
      break;
    case 1:
      o.status = rows.forward(&byte, &bit, v, a.fcode);
      break;
    case 2:
      o.status = rows.backward(&byte, &bit, v, a.fcode);
      break;
    case 3:
      o.status = rows.bidir(&byte, &bit, v, v + 1, a.fcode,
                                                             a.secondFcode);
      break;
    case 4:
      o.status = rows.direct(&byte, &bit, v, v + 4, v + 8,
                                                              a.flags[0].data(), a.trb, a.trd);
      break;
    case 5:
      o.status = rows.deriveDirect(v, v + 4, v + 8, a.flags[0].data(),
                                                              a.trb, a.trd);
      break;
    case 6:
      o.status = rows.clip(v, v + 1, &a.rect, a.blockX, a.blockY,
                                                     a.blockSize);
      break;
    case 7:
      o.status = rows.chroma(v, v + 1);
      break;
    default:
      o.status = rows.chroma4(v, v + 4, a.flags[0].data());
      break;
  }
  o.consumedBytes = byte - bits.data();
  o.bitPos = bit;
  if (o.consumedBytes < 0 || o.consumedBytes > static_cast<ptrdiff_t>(bits.size()) - 4) __builtin_trap();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  Arguments a{};
  a.row = in.Byte();
  a.bitPos = in.Byte() & 7;
  a.fcode = in.Byte() % 9;  // 0 and 8 are outside 1..7
  a.secondFcode = in.Byte() % 9;
  a.mbType = in.Byte() % 8;
  // Positions and the rectangle as the picture decoders make them, in
  // 16-bit ranges.
  a.blockX = static_cast<int16_t>(in.Word());
  a.blockY = static_cast<int16_t>(in.Word());
  a.blockSize = (in.Byte() & 1) ? 16 : 8;
  // Time distances as the B-picture decoder passes them: any 32-bit value.
  a.trb = static_cast<int32_t>(uint32_t{in.Word()} << 16 | in.Word());
  a.trd = static_cast<int32_t>(uint32_t{in.Word()} << 16 | in.Word());
  a.rect = {static_cast<int16_t>(in.Word()), static_cast<int16_t>(in.Word()),
            static_cast<int16_t>(in.Word()), static_cast<int16_t>(in.Word())};
  for (auto& f : a.flags)
    for (uint8_t& b : f) b = in.Byte();
  for (MotionVector& v : a.vectors) {
    v.x = static_cast<int16_t>(in.Word());
    v.y = static_cast<int16_t>(in.Word());
  }
  const std::vector<uint8_t> bits = tavrin::fuzz::Padded(in.rest(), in.restSize());

  static const PrimitiveTable table = MakeInitialPrimitiveTable();
  const Outcome expected = Call(kReference, a, bits);
  for (int variant = 1; variant <= 3; ++variant)
    if (!(Call(VariantRows(table, variant), a, bits) == expected)) __builtin_trap();
  return 0;
}
