// The variable-length codes of the macroblock layer of ISO/IEC 14496-2 that
// the tool needs to walk over predicted pictures without decoding them:
// mcbpc of P pictures, cbpy, motion_code, dct_dc_size and the TCOEF codes.
// Each table is looked up with a peek of its longest code's length.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin::tool {

struct CodeEntry {
  uint8_t length = 0;  // 0: the peek starts no code
  uint8_t value = 0;
  uint8_t extra = 0;
};

class CodeTable {
 public:
  struct Code {
    const char* bits;  // '0' and '1'
    uint8_t value;
    uint8_t extra;
  };
  CodeTable(int peekBits, const std::vector<Code>& codes);
  int peekBits() const { return peekBits_; }
  const CodeEntry& Look(uint32_t peek) const { return entries_[peek]; }

 private:
  int peekBits_;
  std::vector<CodeEntry> entries_;
};

// value: mb_type (0 inter, 1 inter with dquant, 2 four vectors, 3 intra, 4
// intra with dquant, 5 stuffing); extra: cbpc.
const CodeTable& PredictedMcbpcCodes();
inline constexpr uint8_t kMcbpcStuffing = 5;
// value: cbpy as intra macroblocks read it (inter ones take 15 - value).
const CodeTable& CbpyCodes();
// value: motion_code magnitude; a sign bit follows nonzero magnitudes.
const CodeTable& MotionCodes();
// value: dct_dc_size.
const CodeTable& LuminanceDcSizeCodes();
const CodeTable& ChrominanceDcSizeCodes();
// value: last of the inter code, extra: last of the intra code (the two
// tables share their code words); a sign bit follows.  The escape has
// value kTcoefEscape and no sign bit.
const CodeTable& TcoefCodes();
inline constexpr uint8_t kTcoefEscape = 255;

}  // namespace tavrin::tool
