// The codes the damage walk of the tool reads beyond those of
// macroblock_codes.h: the transform-coefficient codes with their runs (so
// that a run beyond the block shows as damage, as it does to the
// decoder) and the reversible residual codes of data-partitioned streams
// (each code's last flag; the intra and inter tables differ only in
// their events with last 0).
#pragma once

#include <cstdint>

namespace tavrin::tool {

struct TcoefRun {
  const char* bits;
  uint8_t interLast, interRun, intraLast, intraRun;
};
inline constexpr int kTcoefRunCount = 102;
extern const TcoefRun kTcoefRuns[kTcoefRunCount];

struct ReversibleLast {
  const char* bits;
  uint8_t last;
};
inline constexpr int kReversibleCount = 169;
extern const ReversibleLast kReversibleLasts[kReversibleCount];

// A prefix tree of a code set, read one bit at a time, forwards or
// backwards (each code reversed).  Lookup returns the entry of the code
// that the bits read begin with, or -1; reading stops after 16 bits.
class CodeTree {
 public:
  CodeTree(const char* const* codes, int count, bool backwards);
  template <typename NextBit>
  int Lookup(NextBit&& next) const {
    int node = 0;
    for (int n = 0; n < 16; ++n) {
      const int bit = next();
      if (bit < 0) return -1;
      const int v = nodes_[static_cast<unsigned>(node)][static_cast<unsigned>(bit)];
      if (v == 0) return -1;
      if (v < 0) return -v - 1;
      node = v;
    }
    return -1;
  }

 private:
  int nodes_[1024][2] = {};
};

// The trees of the reversible codes, forwards and backwards; entry
// kReversibleCount is the escape (0000).
const CodeTree& ReversibleForwards();
const CodeTree& ReversibleBackwards();
// The tree of the TCOEF codes (entries of kTcoefRuns; kTcoefRunCount is
// the escape).
const CodeTree& TcoefTree();

}  // namespace tavrin::tool
