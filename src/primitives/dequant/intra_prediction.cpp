// Intra DC and AC prediction of one block from its above or left neighbour,
// with the neighbour groups refreshed from the predicted block.
#include <cstdint>

#include "primitives/dequant/dc_scaler.h"
#include "primitives/dequant/dequant.h"

namespace tavrin::reference {

namespace {

// A neighbour's AC value brought to this block's quantiser.  The sum stays
// far inside 32 bits: |g| <= 32768 and both quantisers are at most 31.
int32_t RescaleAc(int32_t g, int32_t blockQuant, int32_t predictorQuant) {
  if (blockQuant == predictorQuant) return g;
  const int32_t half = blockQuant >> 1;
  return (g * predictorQuant + (g < 0 ? -half : half)) / blockQuant;
}

}  // namespace

PrimitiveStatus PredictIntraDcAc(int16_t* block, int16_t* aboveGroup, int16_t* leftGroup,
                                 int32_t blockQuant, int32_t predictorQuant, int32_t direction,
                                 int32_t acPrediction, int32_t selector) {
  if (block == nullptr || aboveGroup == nullptr || leftGroup == nullptr) return NullPointer;
  if (!dequant::IsValidQuant(blockQuant) || !dequant::IsValidQuant(predictorQuant)) {
    return QuantiserError;
  }
  int32_t predictor = 0;
  switch (direction) {
    case 2: predictor = aboveGroup[0]; break;
    case 1: predictor = aboveGroup[-8]; break;  // the left block's group precedes the above one
    case 0: predictor = 1024; break;
    default: return TypeError;
  }
  if (predictor < 0) predictor = 1024;

  const int32_t scaler = dequant::DcScaler(blockQuant, selector);
  block[0] = static_cast<int16_t>(
      dequant::ClampCoefficient(block[0] + (predictor + (scaler >> 1)) / scaler));

  if (acPrediction != 0 && direction != 0) {
    const int16_t* group = direction == 2 ? aboveGroup : leftGroup;
    const int step = direction == 2 ? 1 : 8;  // first row or first column
    for (int i = 1; i < 8; ++i) {
      const int32_t g = group[i];
      if (g == 0) continue;
      int16_t& value = block[i * step];
      value = static_cast<int16_t>(
          dequant::ClampCoefficient(value + RescaleAc(g, blockQuant, predictorQuant)));
    }
  }

  for (int i = 1; i < 8; ++i) {
    aboveGroup[i] = block[i];
    leftGroup[i] = block[8 * i];
  }
  return Ok;
}

}  // namespace tavrin::reference
