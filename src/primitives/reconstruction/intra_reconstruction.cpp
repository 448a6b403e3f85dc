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
//
// Without a matrix the block needs no coefficient list: the codes go
// straight into two raster arrays, the quantised levels (which the AC
// prediction and the neighbour edges work on) and their dequantised values
// (which the transform takes), with the results of the list form
// (intra_list.cpp), which the matrix method needs for its mismatch control.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/coefficients/coefficient_events.h"
#include "primitives/reconstruction/intra_block.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/scan_tables.h"

namespace tavrin::reconstruction {
namespace {

int32_t DcOrDefault(int16_t dc) { return dc < 0 ? 1024 : dc; }


// The bit of the block row each raster position lies in.
constexpr std::array<uint8_t, 64> kRowBitOfPosition = [] {
  std::array<uint8_t, 64> bits{};
  for (std::size_t p = 0; p < 64; ++p) bits[p] = static_cast<uint8_t>(1u << (p >> 3));
  return bits;
}();

struct IntraLevels {
  alignas(16) int16_t quantised[64];
  alignas(16) int16_t block[64];
  uint32_t rows = 1;  // the rows that may hold values (bit r for row r); the DC's always
};

// Table levels dequantise inside the 12-bit range; only escaped ones need
// clamping.
static_assert(coefficients::kLongestLevel * 62 + 31 <= 2047);

PrimitiveStatus DecodeLevels(BytePointer* bytePos, int32_t* bitPos, const ScanTable& scan,
                             int32_t firstIndex, H263Dequantiser dequantise, IntraLevels& levels) {
  coefficients::BitCursor bits(*bytePos, *bitPos);
  int32_t lastIndex = 0;
  const PrimitiveStatus status = coefficients::WalkBlock(
      bits, coefficients::kIntraTcoefTable, firstIndex, lastIndex,
      [&](int32_t index, int32_t level, auto escaped) {
        const uint8_t position = scan[static_cast<std::size_t>(index)];
        int32_t value = dequantise(level);
        if constexpr (decltype(escaped)::value) value = ClampCoefficient(value);
        levels.quantised[position] = static_cast<int16_t>(level);
        levels.block[position] = static_cast<int16_t>(value);
        levels.rows |= kRowBitOfPosition[position];
      });
  if (status == Ok) bits.StoreTo(bytePos, bitPos);
  return status;
}

// Adds the neighbour's levels (edge[1..7]) to the block's on one edge, whose
// raster positions are step * i.  A position without a level reads as 0,
// which gives the list form's sums: every level and every stored edge value
// lies inside the 12-bit range, so clamping a lone prediction changes
// nothing.  Returns whether any level was predicted.
bool PredictEdge(const int16_t* edge, int32_t step, const IntraBlockSetup& setup,
                 H263Dequantiser dequantise, IntraLevels& levels) {
  bool predicted = false;
  for (int32_t i = 1; i < 8; ++i) {
    const int32_t neighbour = edge[i];
    if (neighbour == 0) continue;
    const std::size_t position = static_cast<std::size_t>(step * i);
    const int32_t level = ClampCoefficient(
        levels.quantised[position] + RescaledLevel(neighbour, setup.predictorQuant, setup.quant));
    levels.quantised[position] = static_cast<int16_t>(level);
    levels.block[position] =
        static_cast<int16_t>(level == 0 ? 0 : ClampCoefficient(dequantise(level)));
    levels.rows |= 1u << (position >> 3);
    predicted = true;
  }
  return predicted;
}

void SaveEdge(const IntraLevels& levels, int32_t step, int16_t* edge) {
  for (int32_t i = 1; i < 8; ++i) edge[i] = levels.quantised[step * i];
}

// Inline in its one caller, so that the setup stays in registers.
[[gnu::always_inline]] inline PrimitiveStatus ReconstructIntraLevels(
    InverseDctStoreFn store, bool coded, const IntraBlockSetup& setup, BytePointer* bytePos,
    int32_t* bitPos, uint8_t* destination, int32_t stride, int16_t* predRow, int16_t* predCol) {
  BytePointer byte = *bytePos;
  int32_t bit = *bitPos;
  const int32_t chrominance = setup.chrominance ? 1 : 0;
  if (!coded && !setup.acOn) {
    // Only a DC: both edges are all zero and the block is flat.
    int16_t dcLevel = 0;
    if (setup.dcCoded) {
      if (PrimitiveStatus s = coefficients::DecodeDcDifferential(&byte, &bit, chrominance, &dcLevel);
          s != Ok) {
        return s;
      }
    }
    *bytePos = byte;
    *bitPos = bit;
    std::fill_n(predRow + 1, 7, int16_t{0});
    std::fill_n(predCol + 1, 7, int16_t{0});
    FillFlat(destination, stride, ReconstructDc(dcLevel, setup, predRow, predCol));
    return Ok;
  }

  const H263Dequantiser dequantise(setup.quant);
  IntraLevels levels;
  ClearBlock(levels.quantised);
  ClearBlock(levels.block);
  if (setup.dcCoded) {
    if (PrimitiveStatus s =
            coefficients::DecodeDcDifferential(&byte, &bit, chrominance, &levels.quantised[0]);
        s != Ok) {
      return s;
    }
  }
  if (coded) {
    // Without its own code, the DC is the coefficient at scan index 0.
    if (PrimitiveStatus s =
            DecodeLevels(&byte, &bit, *setup.scan, setup.dcCoded ? 1 : 0, dequantise, levels);
        s != Ok) {
      return s;
    }
  }
  *bytePos = byte;
  *bitPos = bit;

  bool predicted = false;
  if (setup.acOn) {
    predicted = setup.vertical ? PredictEdge(predRow, 1, setup, dequantise, levels)
                               : PredictEdge(predCol, 8, setup, dequantise, levels);
  }
  SaveEdge(levels, 1, predRow);
  SaveEdge(levels, 8, predCol);
  const int32_t dc = ReconstructDc(levels.quantised[0], setup, predRow, predCol);
  if (!coded && !predicted) {
    FillFlat(destination, stride, dc);
    return Ok;
  }
  levels.block[0] = static_cast<int16_t>(dc);
  store(levels.block, levels.rows, destination, stride);
  return Ok;
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
  IntraBlockSetup setup;
  setup.quant = quantArgument & 0xFF;
  if (setup.quant < 1 || setup.quant > 31) return QuantiserError;
  setup.blockIndex = blockIndex;
  setup.chrominance = blockIndex == 4 || blockIndex == 5;
  setup.dcCoded = useIntraDcVlc != 0;

  // Direction: from above (vertical) when the left and above-left DCs
  // differ less than the above-left and above DCs, else from the left.
  const int32_t left = DcOrDefault(predRow[-8]);
  const int32_t above = DcOrDefault(predRow[0]);
  const int32_t aboveLeft = DcOrDefault(predCol[0]);
  const bool vertical = std::abs(left - aboveLeft) < std::abs(aboveLeft - above);
  setup.vertical = vertical;
  setup.dcPredictor = vertical ? above : left;
  const bool alternateScan = (acPrediction & kIntraAlternateVerticalScan) != 0;
  const bool acFlag = (acPrediction & ~kIntraAlternateVerticalScan) != 0;
  const bool acOn = acFlag && (vertical ? predRow[0] : predRow[-8]) >= 0;
  setup.acOn = acOn;
  setup.scan = alternateScan ? &kAlternateVerticalScan
               : !acFlag     ? &kZigzagScan
               : vertical    ? &kAlternateHorizontalScan
                             : &kAlternateVerticalScan;

  // Levels predicted from another macroblock were quantised with its
  // quantiser; inside the macroblock the quantiser is the current one.
  int32_t predictorQuant = setup.quant;
  if (acOn && vertical && blockIndex != 2 && blockIndex != 3) predictorQuant = qpNeighbours[1];
  if (acOn && !vertical && blockIndex != 1 && blockIndex != 3) predictorQuant = qpNeighbours[0];
  if (predictorQuant < 1 || predictorQuant > 31) return QuantiserError;
  setup.predictorQuant = predictorQuant;

  if (matrix == nullptr) {
    return ReconstructIntraLevels(store, coded, setup, bytePos, bitPos, destination, stride,
                                  predRow, predCol);
  }
  return ReconstructIntraList(store, coded, setup, bytePos, bitPos, destination, stride, predRow,
                              predCol, matrix);
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
