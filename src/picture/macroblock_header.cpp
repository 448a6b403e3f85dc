#include "picture/macroblock_header.h"

#include <array>

#include "picture/picture_decoders.h"
#include "primitives/coefficients/coefficient_tables.h"
#include "primitives/prefetch.h"
#include "primitives/vectors/motion_code_table.h"

namespace tavrin {
namespace {

constexpr uint32_t kStuffing = 1;  // 0000 0000 1 in a 9-bit peek

// One code of a variable-length table looked up with a fixed-width peek.
struct CodeEntry {
  uint8_t length;  // 0: no code
  uint8_t mbType;
  uint8_t cbpc;
};

struct McbpcCode {
  const char* bits;
  uint8_t mbType;
  uint8_t cbpc;
};

// The mcbpc codes of predicted pictures.
constexpr McbpcCode kPredictedMcbpcCodes[] = {
    {"1", 0, 0},          {"0011", 0, 1},       {"0010", 0, 2},       {"000101", 0, 3},
    {"011", 1, 0},        {"0000111", 1, 1},    {"0000110", 1, 2},    {"000000101", 1, 3},
    {"010", 2, 0},        {"0000101", 2, 1},    {"0000100", 2, 2},    {"00000101", 2, 3},
    {"00011", 3, 0},      {"00000100", 3, 1},   {"00000011", 3, 2},   {"0000011", 3, 3},
    {"000100", 4, 0},     {"000000100", 4, 1},  {"000000011", 4, 2},  {"000000010", 4, 3},
};

constexpr std::array<CodeEntry, 512> BuildPredictedMcbpcTable() {
  std::array<CodeEntry, 512> table{};
  for (const McbpcCode& c : kPredictedMcbpcCodes) {
    uint32_t code = 0;
    uint8_t length = 0;
    for (const char* p = c.bits; *p; ++p, ++length) code = code * 2 + static_cast<uint32_t>(*p - '0');
    const uint32_t first = code << (9 - length);
    for (uint32_t v = first; v < first + (1u << (9 - length)); ++v)
      table[v] = CodeEntry{length, c.mbType, c.cbpc};
  }
  return table;
}

constexpr std::array<CodeEntry, 512> kPredictedMcbpcTable = BuildPredictedMcbpcTable();

// cbpy (intra values) and the code's length by the next six bits; 0 length
// for the two peeks that start no code.
struct CbpyEntry {
  uint8_t cbpy;
  uint8_t length;
};
constexpr std::array<CbpyEntry, 64> BuildCbpyTable() {
  std::array<CbpyEntry, 64> t{};
  struct Code { uint8_t first, last, cbpy; };
  constexpr Code codes[] = {
      {48, 63, 15}, {44, 47, 7},  {40, 43, 11}, {36, 39, 3},  {32, 35, 13}, {28, 31, 5},
      {24, 27, 14}, {20, 23, 10}, {16, 19, 12}, {12, 15, 0},  {10, 11, 1},  {8, 9, 2},
      {6, 7, 4},    {4, 5, 8},    {3, 3, 9},    {2, 2, 6}};
  for (const Code& c : codes) {
    const uint8_t length = c.first >= 48 ? 2 : c.first >= 12 ? 4 : c.first >= 4 ? 5 : 6;
    for (int v = c.first; v <= c.last; ++v) t[static_cast<size_t>(v)] = CbpyEntry{c.cbpy, length};
  }
  return t;
}
constexpr std::array<CbpyEntry, 64> kCbpyTable = BuildCbpyTable();
constexpr std::array<int32_t, 8> kIntraDcThresholds{512, 13, 15, 17, 19, 21, 23, 0};

}  // namespace

void PrefetchMacroblockTables() {
  PrefetchTable(kPredictedMcbpcTable);
  PrefetchTable(kCbpyTable);
  PrefetchTable(vectors::detail::kMotionCodeTables);
  PrefetchTable(coefficients::kInterTcoefTable);
  PrefetchTable(coefficients::kIntraTcoefTable);
  PrefetchTable(coefficients::kLuminanceDcSizeTable);
  PrefetchTable(coefficients::kChrominanceDcSizeTable);
}

int32_t ReadIntraMcbpc(BitReader& reader, Mcbpc& out) {
  for (;;) {
    const uint32_t v = reader.ShowBits(9);
    if (v >= 64) {
      out.mbType = MbIntra;
      if (v >= 256) {
        out.cbpc = 0;
        reader.SkipBits(1);
      } else {
        out.cbpc = static_cast<int32_t>(v >> 6);
        reader.SkipBits(3);
      }
      return 0;
    }
    if (v >= 32) {
      out.mbType = MbIntraQuant;
      out.cbpc = 0;
      reader.SkipBits(4);
      return 0;
    }
    if (v == 0) return kInvalidMacroblockCode;
    if (v == kStuffing) {
      reader.SkipBits(9);
      continue;
    }
    out.mbType = MbIntraQuant;
    out.cbpc = static_cast<int32_t>((v >> 3) & 3);
    reader.SkipBits(6);
    return 0;
  }
}

int32_t ReadPredictedMcbpc(BitReader& reader, Mcbpc& out) {
  for (;;) {
    const uint32_t v = reader.ShowBits(9);
    if (v == 0) return kInvalidMacroblockCode;
    if (v == kStuffing) {
      reader.SkipBits(9);
      continue;
    }
    const CodeEntry& e = kPredictedMcbpcTable[v];
    out.mbType = e.mbType;
    out.cbpc = e.cbpc;
    reader.SkipBits(e.length);
    return 0;
  }
}

int32_t ReadCbpy(BitReader& reader, int32_t& cbpy) {
  const uint32_t w = reader.ShowBits(6);
  if (w < 2) return kInvalidMacroblockCode;
  const CbpyEntry e = kCbpyTable[w];
  cbpy = e.cbpy;
  reader.SkipBits(e.length);
  return 0;
}

void ApplyDquant(BitReader& reader, int32_t& quant) {
  static constexpr int32_t kChange[4] = {-1, -2, 1, 2};
  quant += kChange[reader.GetBits(2)];
  if (quant < 1) quant = 1;
  if (quant > 31) quant = 31;
}

int32_t ReadPredictedMacroblockHeader(BitReader& reader, bool shortVideoHeader, int32_t& quant,
                                      PredictedMacroblockHeader& out, bool globalMotion) {
  int32_t status = ReadPredictedMcbpc(reader, out.mcbpc);
  if (status != 0) return status;
  const int32_t type = out.mcbpc.mbType;
  out.intra = type == MbIntra || type == MbIntraQuant;
  out.acPred = out.intra && !shortVideoHeader ? reader.GetBit() : 0;
  out.mcsel = globalMotion && (type == MbInter || type == MbInterQuant) ? reader.GetBit() : 0;
  if ((status = ReadCbpy(reader, out.cbpy)) != 0) return status;
  if (!out.intra) out.cbpy = 15 - out.cbpy;
  if (type == MbInterQuant || type == MbIntraQuant) ApplyDquant(reader, quant);
  return 0;
}

bool UseIntraDcVlc(int32_t quant, int32_t intraDcVlcThr) {
  return quant < kIntraDcThresholds[static_cast<size_t>(intraDcVlcThr & 7)];
}

}  // namespace tavrin
