// Table slots 33 (ReconstructIntraCoded) and 35 (ReconstructIntraUncoded):
// one intra block from its codes to clamped pixels, with DC and AC
// prediction from the neighbour entries the picture decoder keeps.
//
// Neighbour entries are 8 signed 16-bit values: the block's reconstructed DC,
// then the quantised levels of its first row (row entries) or first column
// (column entries).  predRow is the row entry of the block above, predRow[-8]
// the entry of the block to the left, predRow[-16] the one two block columns
// to the left; predCol[0] is the DC of the block above-left, predCol[1..7]
// the first column of the block to the left, predCol[8] the DC of the entry
// after it.  A negative DC marks a neighbour that is no intra block.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/reconstruction/block_arithmetic.h"
#include "primitives/reconstruction/reconstruction_bodies.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/scan_tables.h"

namespace tavrin::reconstruction {
namespace {

using coefficients::CoefficientList;
using coefficients::FirstColumnIndex;
using coefficients::FirstRowIndex;

int32_t DcOrDefault(int16_t dc) { return dc < 0 ? 1024 : dc; }

// A neighbour's quantised level rescaled from the predictor quantiser to
// the current one, rounding half away from zero; the quotient keeps 16 bits.
int32_t RescaledLevel(int32_t level, int32_t predictorQuant, int32_t quant) {
  if (predictorQuant == quant) return level;
  const int32_t half = quant >> 1;
  const int32_t scaled = level * predictorQuant + (level > 0 ? half : -half);
  return static_cast<int16_t>(scaled / quant);
}

// Adds the neighbour's levels (edge[1..7]) to the block's levels on one
// edge, whose raster positions are step * i.  Levels the block lacks there
// are appended to the list.  The edge's map then points at every level on
// the edge.
void PredictEdge(const int16_t* edge, std::array<uint8_t, 8>& map, int32_t step,
                 int32_t predictorQuant, int32_t quant, CoefficientList& list) {
  for (int32_t i = 1; i < 8; ++i) {
    const int32_t neighbour = edge[i];
    if (neighbour == 0) continue;
    const int32_t predicted = RescaledLevel(neighbour, predictorQuant, quant);
    const uint8_t k = map[static_cast<std::size_t>(i)];
    if (k != 0) {
      list.levels[k] = static_cast<int16_t>(ClampCoefficient(list.levels[k] + predicted));
    } else {
      const int32_t n = list.count++;
      list.positions[n] = static_cast<uint8_t>(step * i);
      list.levels[n] = static_cast<int16_t>(predictorQuant == quant ? predicted
                                                                    : ClampCoefficient(predicted));
      map[static_cast<std::size_t>(i)] = static_cast<uint8_t>(n);
    }
  }
}

// Stores the block's levels on one edge (0 where it has none) into a
// neighbour entry.  levels[0] reads as 0 here (the caller clears it).
void SaveEdge(const std::array<uint8_t, 8>& map, const CoefficientList& list, int16_t* edge) {
  for (std::size_t i = 1; i < 8; ++i) edge[i] = list.levels[map[i]];
}

}  // namespace

PrimitiveStatus ReconstructIntra(InverseDctStoreFn store, bool coded, BytePointer* bytePos,
                                 int32_t* bitPos, uint8_t* destination, int32_t stride,
                                 int16_t* predRow, int16_t* predCol, int32_t quantArgument,
                                 const uint8_t* qpNeighbours, const uint8_t* matrix,
                                 int32_t blockIndex, int32_t useIntraDcVlc, int32_t acPrediction) {
  if (bytePos == nullptr || bitPos == nullptr || destination == nullptr || *bytePos == nullptr) {
    return NullPointer;
  }
  if (*bitPos < 0 || *bitPos > 7) return BitOffsetError;
  if (stride <= 0) return StepError;
  if (predRow == nullptr || predCol == nullptr || qpNeighbours == nullptr) return NullPointer;
  if (blockIndex < 0 || blockIndex > 9) return BlockIndexError;
  const int32_t quant = quantArgument & 0xFF;
  if (quant < 1 || quant > 31) return QuantiserError;
  const bool chrominance = blockIndex == 4 || blockIndex == 5;

  // Direction: from above (vertical) when the left and above-left DCs
  // differ less than the above-left and above DCs, else from the left.
  const int32_t left = DcOrDefault(predRow[-8]);
  const int32_t above = DcOrDefault(predRow[0]);
  const int32_t aboveLeft = DcOrDefault(predCol[0]);
  const bool vertical = std::abs(left - aboveLeft) < std::abs(aboveLeft - above);
  const int32_t dcPredictor = vertical ? above : left;
  const bool acOn = acPrediction != 0 && (vertical ? predRow[0] : predRow[-8]) >= 0;
  const ScanTable& scan = acPrediction == 0 ? kZigzagScan
                          : vertical        ? kAlternateHorizontalScan
                                            : kAlternateVerticalScan;

  // Levels predicted from another macroblock were quantised with its
  // quantiser; inside the macroblock the quantiser is the current one.
  int32_t predictorQuant = quant;
  if (acOn && vertical && blockIndex != 2 && blockIndex != 3) predictorQuant = qpNeighbours[1];
  if (acOn && !vertical && blockIndex != 1 && blockIndex != 3) predictorQuant = qpNeighbours[0];
  if (predictorQuant < 1 || predictorQuant > 31) return QuantiserError;

  CoefficientList list;
  std::copy(scan.begin(), scan.end(), list.positions);
  list.count = 0;
  BytePointer byte = *bytePos;
  int32_t bit = *bitPos;
  if (useIntraDcVlc != 0) {
    if (PrimitiveStatus s = coefficients::DecodeDcDifferential(&byte, &bit, chrominance ? 1 : 0,
                                                               &list.levels[0]);
        s != Ok) {
      return s;
    }
    list.count = 1;
  } else if (!coded) {
    list.levels[0] = 0;
    list.count = 1;
  }
  FirstRowIndex firstRow{};
  FirstColumnIndex firstColumn{};
  if (coded) {
    if (PrimitiveStatus s =
            coefficients::DecodeIntraCoefficientList(&byte, &bit, list, firstRow, firstColumn);
        s != Ok) {
      return s;
    }
  }
  *bytePos = byte;
  *bitPos = bit;

  // AC prediction and the neighbour edges, on quantised levels.  The DC
  // entry reads as 0 meanwhile, so that map entries of 0 read as "none".
  const int16_t dcLevel = list.levels[0];
  list.levels[0] = 0;
  if (acOn && vertical) {
    PredictEdge(predRow, firstRow, 1, predictorQuant, quant, list);
    SaveEdge(firstRow, list, predRow);
    SaveEdge(firstColumn, list, predCol);
  } else if (acOn) {
    SaveEdge(firstRow, list, predRow);
    PredictEdge(predCol, firstColumn, 8, predictorQuant, quant, list);
    SaveEdge(firstColumn, list, predCol);
  } else if (list.count == 1) {
    // Only the DC: both edges are all zero (the entries' DCs are set below).
    std::fill_n(predRow + 1, 7, int16_t{0});
    std::fill_n(predCol + 1, 7, int16_t{0});
  } else {
    SaveEdge(firstRow, list, predRow);
    SaveEdge(firstColumn, list, predCol);
  }

  // DC reconstruction (the sum keeps 16 bits).
  const int32_t scaler = DcScaler(quant, chrominance);
  const int16_t quantisedDc = static_cast<int16_t>(dcLevel + (dcPredictor + (scaler >> 1)) / scaler);
  const int32_t dc = ClampCoefficient(ClampCoefficient(quantisedDc) * scaler);
  list.levels[0] = static_cast<int16_t>(dc);

  // The DCs the next blocks see.  Block 3 leaves its DC in the lower column
  // entry only, while the row entry of its block column still holds the DC
  // of block 1 of the same macroblock.  Block 1 of the next macroblock
  // exchanges the two (predCol[8] and predRow[-16]), so that its block 2
  // finds block 1's DC above-left and block 3's DC to the left, where the
  // next macroblock row also looks for it.
  if (blockIndex == 1) {
    std::swap(predCol[8], predRow[-16]);
    predCol[0] = predRow[0];
    predRow[0] = static_cast<int16_t>(dc);
  } else if (blockIndex == 3) {
    predCol[0] = static_cast<int16_t>(dc);
  } else {
    predCol[0] = predRow[0];
    predRow[0] = static_cast<int16_t>(dc);
  }

  if (!coded && list.count == 1 && matrix == nullptr) {
    const uint8_t pixel = static_cast<uint8_t>(std::clamp<int32_t>((dc + 4) >> 3, 0, 255));
    for (int32_t r = 0; r < 8; ++r) {
      std::fill_n(destination + static_cast<std::ptrdiff_t>(r) * stride, 8, pixel);
    }
    return Ok;
  }

  // Cleared 16 bytes at a time: for a plain = {} GCC emits a string store,
  // whose start-up costs more than the eight stores.
  alignas(16) int16_t block[64];
  for (int32_t i = 0; i < 64; i += 8) std::memset(block + i, 0, 16);
  int32_t sum = dc;
  block[list.positions[0]] = static_cast<int16_t>(dc);
  if (matrix == nullptr) {
    // The levels may have been changed by the AC prediction: 0 and large
    // values occur.
    const H263Dequantiser dequantise(quant);
    for (int32_t k = 1; k < list.count; ++k) {
      const int32_t level = list.levels[k];
      const int32_t value = level == 0 ? 0 : ClampCoefficient(dequantise(level));
      block[list.positions[k]] = static_cast<int16_t>(value);
    }
  } else {
    for (int32_t k = 1; k < list.count; ++k) {
      const uint8_t position = list.positions[k];
      const int32_t value = ClampCoefficient(list.levels[k] * quant * matrix[position] / 8);
      sum += value;
      block[position] = static_cast<int16_t>(value);
    }
    ApplyMismatchControl(block, sum);
  }
  store(block, destination, stride);
  return Ok;
}

}  // namespace tavrin::reconstruction

namespace tavrin::reference {

PrimitiveStatus ReconstructIntraCoded(BytePointer* bytePos, int32_t* bitPos, uint8_t* destination,
                                      int32_t stride, int16_t* predRow, int16_t* predCol,
                                      int32_t quant, const uint8_t* qpNeighbours,
                                      const uint8_t* matrix, int32_t blockIndex,
                                      int32_t useIntraDcVlc, int32_t acPrediction) {
  return reconstruction::ReconstructIntra(reconstruction::InverseDctStore, true, bytePos, bitPos,
                                          destination, stride, predRow, predCol, quant,
                                          qpNeighbours, matrix, blockIndex, useIntraDcVlc,
                                          acPrediction);
}

PrimitiveStatus ReconstructIntraUncoded(BytePointer* bytePos, int32_t* bitPos,
                                        uint8_t* destination, int32_t stride, int16_t* predRow,
                                        int16_t* predCol, int32_t quant,
                                        const uint8_t* qpNeighbours, const uint8_t* matrix,
                                        int32_t blockIndex, int32_t useIntraDcVlc,
                                        int32_t acPrediction) {
  return reconstruction::ReconstructIntra(reconstruction::InverseDctStore, false, bytePos, bitPos,
                                          destination, stride, predRow, predCol, quant,
                                          qpNeighbours, matrix, blockIndex, useIntraDcVlc,
                                          acPrediction);
}

}  // namespace tavrin::reference
