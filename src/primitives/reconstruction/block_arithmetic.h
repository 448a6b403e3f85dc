// Small pieces of arithmetic shared by the block reconstruction primitives:
// block clearing, coefficient clamping, the DC scaler, the first (H.263)
// inverse quantisation and the mismatch control of the matrix method.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace tavrin::reconstruction {

inline int32_t ClampCoefficient(int32_t v) { return std::clamp<int32_t>(v, -2048, 2047); }

// Clears a 64-value block 16 bytes at a time, written out: for a plain = {}
// GCC emits a string store, and for a loop of 16-byte clears a loop, each
// costing more than the eight stores.
template <std::size_t... kRow>
inline void ClearRows(int16_t* block, std::index_sequence<kRow...>) {
  (std::memset(block + 8 * kRow, 0, 16), ...);
}
inline void ClearBlock(int16_t* block) { ClearRows(block, std::make_index_sequence<8>{}); }

// The DC scaler for quantiser 1..31.
inline int32_t DcScaler(int32_t quant, bool chrominance) {
  if (quant <= 4) return 8;
  if (chrominance) return quant <= 24 ? (quant + 13) >> 1 : quant - 6;
  if (quant <= 8) return 2 * quant;
  return quant <= 24 ? quant + 8 : 2 * quant - 16;
}

// The H.263 inverse quantisation of a level L other than 0, not clamped:
// sign(L) * (QP * (2|L| + 1) - 1 when QP is even, QP * (2|L| + 1) when odd),
// computed as L * 2QP + sign(L) * a, a = QP (odd QP) or QP - 1 (even QP),
// with the factors formed once per block.
struct H263Dequantiser {
  explicit H263Dequantiser(int32_t quant) : scale(2 * quant), offset((quant - 1) | 1) {}
  int32_t operator()(int32_t level) const { return level * scale + (level < 0 ? -offset : offset); }
  int32_t scale;
  int32_t offset;
};

// With an even coefficient sum, the last coefficient moves by one towards an
// odd value: an odd value decreases, an even one increases.
inline void ApplyMismatchControl(int16_t* block, int32_t sum) {
  if ((sum & 1) != 0) return;
  block[63] = static_cast<int16_t>((block[63] & 1) != 0 ? block[63] - 1 : block[63] + 1);
}

}  // namespace tavrin::reconstruction
