// Inverse quantisation of intra and inter blocks, by the H.263 method
// without a weighting matrix or the matrix method with one (then with the
// standard's mismatch control on the last coefficient).
#include <cstdint>

#include "primitives/dequant/dc_scaler.h"
#include "primitives/dequant/dequant.h"

namespace tavrin::reference {

namespace {

using dequant::ClampCoefficient;

// H.263 method: |value| = 2·QP·|q| + QP for odd QP, one less for even QP.
int16_t DequantUniform(int32_t q, int32_t quant) {
  const int32_t offset = (quant & 1) != 0 ? quant : quant - 1;
  return static_cast<int16_t>(ClampCoefficient(2 * quant * q + (q < 0 ? -offset : offset)));
}

// Makes the sum of the block odd by moving the last coefficient one step
// towards an odd value when the sum is even.
void ControlMismatch(int16_t* block, int32_t sum) {
  if ((sum & 1) != 0) return;
  block[63] = static_cast<int16_t>((block[63] & 1) != 0 ? block[63] - 1 : block[63] + 1);
}

}  // namespace

PrimitiveStatus DequantIntra(int16_t* block, int32_t quant, const uint8_t* matrix,
                             int32_t selector) {
  if (block == nullptr) return NullPointer;
  if (!dequant::IsValidQuant(quant)) return QuantiserError;
  block[0] = static_cast<int16_t>(ClampCoefficient(block[0] * dequant::DcScaler(quant, selector)));
  if (matrix == nullptr) {
    for (int k = 1; k < 64; ++k) {
      if (block[k] != 0) block[k] = DequantUniform(block[k], quant);
    }
    return Ok;
  }
  int32_t sum = block[0];
  for (int k = 1; k < 64; ++k) {
    const int32_t q = block[k];
    if (q == 0) continue;
    block[k] = static_cast<int16_t>(ClampCoefficient(quant * matrix[k] * q / 8));
    sum += block[k];
  }
  ControlMismatch(block, sum);
  return Ok;
}

PrimitiveStatus DequantInter(int16_t* block, int32_t quant, const uint8_t* matrix) {
  if (block == nullptr) return NullPointer;
  if (!dequant::IsValidQuant(quant)) return QuantiserError;
  if (matrix == nullptr) {
    for (int k = 0; k < 64; ++k) {
      if (block[k] != 0) block[k] = DequantUniform(block[k], quant);
    }
    return Ok;
  }
  int32_t sum = 0;
  for (int k = 0; k < 64; ++k) {
    const int32_t q = block[k];
    if (q == 0) continue;
    const int32_t twice = 2 * q + (q < 0 ? -1 : 1);
    block[k] = static_cast<int16_t>(ClampCoefficient(twice * matrix[k] * quant / 16));
    sum += block[k];
  }
  ControlMismatch(block, sum);
  return Ok;
}

}  // namespace tavrin::reference
