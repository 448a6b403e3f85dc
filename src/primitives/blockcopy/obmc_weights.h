// Weighting matrices of overlapped block motion compensation (ISO/IEC
// 14496-2, the same as H.263 advanced prediction), raster order, row by row.
// At every position the three weights add up to 8.
#pragma once

#include <array>
#include <cstdint>

namespace tavrin::blockcopy_internal {

using ObmcWeights = std::array<uint8_t, 64>;

// clang-format off
// Weights of the prediction made with the block's own vector.
inline constexpr ObmcWeights kObmcCurrentWeights{
    4, 5, 5, 5, 5, 5, 5, 4,
    5, 5, 5, 5, 5, 5, 5, 5,
    5, 5, 6, 6, 6, 6, 5, 5,
    5, 5, 6, 6, 6, 6, 5, 5,
    5, 5, 6, 6, 6, 6, 5, 5,
    5, 5, 6, 6, 6, 6, 5, 5,
    5, 5, 5, 5, 5, 5, 5, 5,
    4, 5, 5, 5, 5, 5, 5, 4};

// Weights of the predictions made with the vectors of the blocks above (rows
// 0 to 3) and below (rows 4 to 7).
inline constexpr ObmcWeights kObmcVerticalWeights{
    2, 2, 2, 2, 2, 2, 2, 2,
    1, 1, 2, 2, 2, 2, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 2, 2, 2, 2, 1, 1,
    2, 2, 2, 2, 2, 2, 2, 2};

// Weights of the predictions made with the vectors of the blocks to the left
// (columns 0 to 3) and right (columns 4 to 7).
inline constexpr ObmcWeights kObmcHorizontalWeights{
    2, 1, 1, 1, 1, 1, 1, 2,
    2, 2, 1, 1, 1, 1, 2, 2,
    2, 2, 1, 1, 1, 1, 2, 2,
    2, 2, 1, 1, 1, 1, 2, 2,
    2, 2, 1, 1, 1, 1, 2, 2,
    2, 2, 1, 1, 1, 1, 2, 2,
    2, 2, 1, 1, 1, 1, 2, 2,
    2, 1, 1, 1, 1, 1, 1, 2};
// clang-format on

}  // namespace tavrin::blockcopy_internal
