// The coefficient-reading and block primitives on their own (table rows 26
// to 35): the portable reference and every variant of the row on the same
// input.  None may read or write outside what it is given, and all must
// agree on status, position and output.
//
// Input layout: byte 0 picks the row, byte 1 the starting bit offset, bytes
// 2-7 the small arguments, then 8 bytes of flags saying which 16-bit
// predictor values and matrix bytes come from the input, the predictor and
// matrix values, and the rest is the bitstream.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "primitives/coefficients/coefficients.h"
#include "primitives/dequant/dequant.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/reconstruction/reconstruction.h"

namespace {

using namespace tavrin;
using tavrin::fuzz::FuzzInput;

// Everything a call may change, so that variants can be compared.
struct Outcome {
  int32_t status = 0;
  ptrdiff_t consumedBytes = 0;
  int32_t bitPos = 0;
  std::array<int16_t, 64> block{};
  std::array<int16_t, 40> prediction{};  // predRow[-16..+8) and predCol[0..16)
  std::array<uint8_t, 64> pixels{};
  bool operator==(const Outcome&) const = default;
};

struct Arguments {
  uint8_t row;
  int32_t bitPos;
  int32_t scan, selector, quant, predictorQuant, blockIndex, flags;
  std::array<int16_t, 40> prediction;
  std::array<uint8_t, 64> matrix;
  bool useMatrix;
  std::array<int16_t, 64> block;
};

// One implementation of each row.
struct Rows {
  DecodeIntraCoefficientsFn intra;
  DecodeIntraCoefficientsNoDcFn intraNoDc;
  DecodeInterCoefficientsFn inter;
  DecodeIntraDcFn intraDc;
  ReconstructIntraFn intraCoded;
  ReconstructIntraFn intraUncoded;
  ReconstructInterFn reconstructInter;
  PredictIntraDcAcFn predict;
  DequantIntraFn dequantIntra;
  DequantInterFn dequantInter;
};

constexpr Rows kReference{reference::DecodeIntraCoefficients, reference::DecodeIntraCoefficientsNoDc,
                          reference::DecodeInterCoefficients, reference::DecodeIntraDc,
                          reference::ReconstructIntraCoded,   reference::ReconstructIntraUncoded,
                          reference::ReconstructInter,        reference::PredictIntraDcAc,
                          reference::DequantIntra,            reference::DequantInter};

// A variant's candidates (not the process-wide slots).
Rows VariantRows(const PrimitiveTable& t, int v) {
  return {t.DecodeIntraCoefficients.candidate(v), t.DecodeIntraCoefficientsNoDc.candidate(v),
          t.DecodeInterCoefficients.candidate(v), t.DecodeIntraDc.candidate(v),
          t.ReconstructIntraCoded.candidate(v),   t.ReconstructIntraUncoded.candidate(v),
          t.ReconstructInter.candidate(v),        t.PredictIntraDcAc.candidate(v),
          t.DequantIntra.candidate(v),            t.DequantInter.candidate(v)};
}

// Calls the row the arguments pick on a fresh copy of everything.
Outcome Call(const Rows& rows, const Arguments& a, const std::vector<uint8_t>& bits) {
  Outcome o;
  o.block = a.block;
  o.prediction = a.prediction;
  std::array<uint8_t, 64 + 8 * 24> picture{};
  BytePointer byte = bits.data();
  int32_t bit = a.bitPos;
  int16_t* predRow = o.prediction.data() + 16;  // [-16, +8)
  int16_t* predCol = o.prediction.data() + 24;  // [0, 16)
  const uint8_t qp[2] = {static_cast<uint8_t>(a.predictorQuant), static_cast<uint8_t>(a.quant)};
  const uint8_t* matrix = a.useMatrix ? a.matrix.data() : nullptr;
  uint8_t* destination = picture.data() + 8;
  switch (a.row % 10) {
    case 0:
      o.status = rows.intra(&byte, &bit, o.block.data(),
                                                                   a.scan, a.selector);
      break;
    case 1:
      o.status = rows.intraNoDc(&byte, &bit, o.block.data(), a.scan);
      break;
    case 2:
      o.status = rows.inter(&byte, &bit, o.block.data());
      break;
    case 3:
      o.status = rows.intraDc(&byte, &bit, o.block.data(), a.selector);
      break;
    case 4:
    case 5:
      o.status = (a.row % 10 == 4 ? rows.intraCoded : rows.intraUncoded)(&byte, &bit, destination, 24, predRow, predCol, a.quant, qp,
                                         matrix, a.blockIndex, a.flags & 1, (a.flags >> 1) & 1);
      break;
    case 6:
      o.status = rows.reconstructInter(&byte, &bit, o.block.data(), a.quant, matrix);
      break;
    case 7:
      o.status = rows.predict(o.block.data(), predRow, predCol,
                                                           a.quant, a.predictorQuant, a.scan,
                                                           a.flags & 1, a.selector);
      break;
    case 8:
      o.status = rows.dequantIntra(o.block.data(), a.quant, matrix, a.selector);
      break;
    default:
      o.status = rows.dequantInter(o.block.data(), a.quant, matrix);
      break;
  }
  o.consumedBytes = byte - bits.data();
  o.bitPos = bit;
  for (int y = 0; y < 8; ++y) std::memcpy(&o.pixels[y * 8], destination + y * 24, 8);
  // Nothing may be consumed beyond the zero padding after the data.
  if (o.consumedBytes < 0 || o.consumedBytes > static_cast<ptrdiff_t>(bits.size()) - 4) __builtin_trap();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  Arguments a{};
  a.row = in.Byte();
  a.bitPos = in.Byte() & 7;
  a.scan = in.Byte() % 4;  // 3: a scan or direction outside the range
  a.selector = in.Byte() & 1;
  a.quant = in.Byte() % 34;   // 0, 32 and 33 are outside 1..31
  a.predictorQuant = in.Byte() % 34;
  a.blockIndex = in.Byte() % 11;
  a.flags = in.Byte();
  a.useMatrix = (a.flags & 4) != 0;
  // Predictor values either from the input or "none" (-1), chosen per value.
  uint64_t present = 0;
  for (int i = 0; i < 5; ++i) present = present << 8 | in.Byte();
  for (size_t i = 0; i < a.prediction.size(); ++i)
    a.prediction[i] = (present >> i) & 1 ? static_cast<int16_t>(in.Word()) : int16_t{-1};
  if (a.useMatrix)
    for (uint8_t& w : a.matrix) w = in.Byte();
  if (a.row % 10 >= 7)
    for (int16_t& v : a.block) v = static_cast<int16_t>(in.Word());
  const std::vector<uint8_t> bits = tavrin::fuzz::Padded(in.rest(), in.restSize());

  static const PrimitiveTable table = MakeInitialPrimitiveTable();
  const Outcome expected = Call(kReference, a, bits);
  for (int variant = 1; variant <= 3; ++variant)
    if (Call(VariantRows(table, variant), a, bits) != expected) __builtin_trap();
  return 0;
}
