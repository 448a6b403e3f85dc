// Intra blocks with a matrix: through a coefficient list, as the matrix
// method's mismatch control needs the coefficient sum.  The neighbour
// entries are described in intra_reconstruction.cpp.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/reconstruction/intra_block.h"

namespace tavrin::reconstruction {
namespace {

using coefficients::CoefficientList;
using coefficients::FirstColumnIndex;
using coefficients::FirstRowIndex;

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

PrimitiveStatus ReconstructIntraList(InverseDctStoreFn store, bool coded,
                                     const IntraBlockSetup& setup, BytePointer* bytePos,
                                     int32_t* bitPos, uint8_t* destination, int32_t stride,
                                     int16_t* predRow, int16_t* predCol, const uint8_t* matrix) {
  const int32_t quant = setup.quant;
  const int32_t predictorQuant = setup.predictorQuant;
  const ScanTable& scan = *setup.scan;
  const bool chrominance = setup.chrominance;
  const bool acOn = setup.acOn;
  const bool vertical = setup.vertical;
  const int32_t useIntraDcVlc = setup.dcCoded ? 1 : 0;
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

  const int32_t dc = ReconstructDc(dcLevel, setup, predRow, predCol);
  list.levels[0] = static_cast<int16_t>(dc);

  alignas(16) int16_t block[64];
  ClearBlock(block);
  int32_t sum = dc;
  block[list.positions[0]] = static_cast<int16_t>(dc);
  for (int32_t k = 1; k < list.count; ++k) {
    const uint8_t position = list.positions[k];
    const int32_t value = ClampCoefficient(list.levels[k] * quant * matrix[position] / 8);
    sum += value;
    block[position] = static_cast<int16_t>(value);
  }
  ApplyMismatchControl(block, sum);
  store(block, 0xFF, destination, stride);
  return Ok;
}


}  // namespace tavrin::reconstruction
