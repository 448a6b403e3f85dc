// Median prediction of a luma block's vector from its neighbours, shared by
// the vector-decoding primitive and the predicted-picture decoder, which
// decodes a one-vector macroblock's vector inline.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "primitives/primitive_types.h"

namespace tavrin::vectors {

// A neighbour's four flag bytes taken as one word: nonzero when any of its
// blocks is present.
inline bool AnyPresent(const uint8_t* flags) {
  uint32_t word = 0;
  std::memcpy(&word, flags, sizeof word);
  return word != 0;
}

inline int16_t Median3(int16_t a, int16_t b, int16_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Where a prediction candidate comes from.
enum class Source : uint8_t { Left, Above, AboveRight, Current };

struct CandidateRef {
  Source source;
  uint8_t vector;  // which of that macroblock's four vectors
};

// K1, K2, K3 of each luma block.
inline constexpr CandidateRef kCandidates[4][3] = {
    {{Source::Left, 1}, {Source::Above, 2}, {Source::AboveRight, 2}},
    {{Source::Current, 0}, {Source::Above, 3}, {Source::AboveRight, 2}},
    {{Source::Left, 3}, {Source::Current, 0}, {Source::Current, 1}},
    {{Source::Current, 2}, {Source::Current, 0}, {Source::Current, 1}},
};

struct Neighbourhood {
  const MotionVector* left;
  const MotionVector* above;
  const MotionVector* aboveRight;
  bool leftPresent;
  bool abovePresent;
  bool aboveRightPresent;
};

// The block is a template argument: each block's candidate sources are
// then known where the prediction is compiled, and the selection below
// folds away.
template <int block>
[[gnu::always_inline]] inline MotionVector PredictBlockVector(const Neighbourhood& n,
                                                              const MotionVector* current,
                                                              const uint8_t* currentFlags) {
  MotionVector k[3] = {};
  int valid = 0;
  int lastValid = 0;
  for (int i = 0; i < 3; ++i) {
    const CandidateRef c = kCandidates[block][i];
    const MotionVector* from = nullptr;
    bool present = false;
    switch (c.source) {
      case Source::Left: from = n.left; present = n.leftPresent; break;
      case Source::Above: from = n.above; present = n.abovePresent; break;
      case Source::AboveRight: from = n.aboveRight; present = n.aboveRightPresent; break;
      case Source::Current: from = current; present = currentFlags[c.vector] != 0; break;
    }
    if (present) {
      k[i] = from[c.vector];
      ++valid;
      lastValid = i;
    }
  }
  if (valid == 0) return MotionVector{0, 0};
  if (valid == 1) return k[lastValid];
  return MotionVector{Median3(k[0].x, k[1].x, k[2].x), Median3(k[0].y, k[1].y, k[2].y)};
}

}  // namespace tavrin::vectors
