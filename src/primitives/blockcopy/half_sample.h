// The half-sample interpolation shared by the prediction primitives of this
// folder.
#pragma once

#include <cstddef>

#include "primitives/primitive_types.h"

namespace tavrin::blockcopy_internal {

// Predicts a width x height block (width 4, 8 or 16) at a half-sample
// vector.  `reference` addresses the reference sample at the block's own
// position; the vector's integer part (arithmetic halving, so -1 becomes -1)
// moves that origin and its low bits choose the interpolation: copy,
// horizontal, vertical or four-sample average, each rounded down by one
// step when `rounding` is nonzero.  Horizontal interpolation reads one column right of the block,
// vertical one row below it.  Every result lies in 0..255.
void PredictHalfSampleBlock(const uint8_t* reference, ptrdiff_t referenceStride,
                            MotionVector vector, int32_t rounding, int width, int height,
                            uint8_t* out, ptrdiff_t outStride);

}  // namespace tavrin::blockcopy_internal
