// What both forms of intra block reconstruction share: the block's setup
// (quantiser, prediction direction and scan, found from the neighbour
// entries), the rescaling of a neighbour's levels, the DC and its neighbour
// entries, and the flat block of a lone DC.  The neighbour entries are
// described in intra_reconstruction.cpp.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "primitives/primitive_types.h"
#include "primitives/reconstruction/block_arithmetic.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/scan_tables.h"

namespace tavrin::reconstruction {

struct IntraBlockSetup {
  int32_t quant;           // 1..31
  int32_t predictorQuant;  // the quantiser the predicted levels were made with
  int32_t dcPredictor;
  int32_t blockIndex;      // 0..5 (4 and 5 chrominance)
  bool chrominance;
  bool vertical;           // predicted from above, else from the left
  bool acOn;               // AC prediction on, and the neighbour is intra
  bool dcCoded;            // the DC has its own differential code
  const ScanTable* scan;
};

// A neighbour's quantised level rescaled from the predictor quantiser to
// the current one, rounding half away from zero; the quotient keeps 16 bits.
inline int32_t RescaledLevel(int32_t level, int32_t predictorQuant, int32_t quant) {
  if (predictorQuant == quant) return level;
  const int32_t half = quant >> 1;
  const int32_t scaled = level * predictorQuant + (level > 0 ? half : -half);
  return static_cast<int16_t>(scaled / quant);
}

// The block's DC from its quantised differential, and the DC entries the
// next blocks see.  Block 3 leaves its DC in the lower column entry only,
// while the row entry of its block column still holds the DC of block 1 of
// the same macroblock.  Block 1 of the next macroblock exchanges the two
// (predCol[8] and predRow[-16]), so that its block 2 finds block 1's DC
// above-left and block 3's DC to the left, where the next macroblock row
// also looks for it.
inline int32_t ReconstructDc(int32_t dcLevel, const IntraBlockSetup& setup, int16_t* predRow,
                             int16_t* predCol) {
  // The sum keeps 16 bits.
  const int32_t scaler = DcScaler(setup.quant, setup.chrominance);
  const int16_t quantisedDc =
      static_cast<int16_t>(dcLevel + (setup.dcPredictor + (scaler >> 1)) / scaler);
  const int32_t dc = ClampCoefficient(ClampCoefficient(quantisedDc) * scaler);
  if (setup.blockIndex == 1) {
    std::swap(predCol[8], predRow[-16]);
    predCol[0] = predRow[0];
    predRow[0] = static_cast<int16_t>(dc);
  } else if (setup.blockIndex == 3) {
    predCol[0] = static_cast<int16_t>(dc);
  } else {
    predCol[0] = predRow[0];
    predRow[0] = static_cast<int16_t>(dc);
  }
  return dc;
}

// A block of a lone DC without a matrix: the transform of it is flat.
inline void FillFlat(uint8_t* destination, int32_t stride, int32_t dc) {
  const uint8_t pixel = static_cast<uint8_t>(std::clamp<int32_t>((dc + 4) >> 3, 0, 255));
  for (int32_t r = 0; r < 8; ++r) {
    std::fill_n(destination + static_cast<std::ptrdiff_t>(r) * stride, 8, pixel);
  }
}

// The block with a matrix (intra_list.cpp); the arguments are checked.
PrimitiveStatus ReconstructIntraList(InverseDctStoreFn store, bool coded,
                                     const IntraBlockSetup& setup, BytePointer* bytePos,
                                     int32_t* bitPos, uint8_t* destination, int32_t stride,
                                     int16_t* predRow, int16_t* predCol, const uint8_t* matrix);

}  // namespace tavrin::reconstruction
