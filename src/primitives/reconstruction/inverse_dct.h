// The 8x8 inverse DCT shared by the block reconstruction primitives: a
// separable fixed-point transform, rows first.  The row pass works in 32-bit
// sums of 16x16-bit products; the column pass in 16-bit saturating
// arithmetic with multiplies that keep the upper 16 bits of the product.
// Every implementation of the transform must give exactly these outputs.
#pragma once

#include <cstdint>

#include "platform/avx2_forms.h"

namespace tavrin::reconstruction {

// Transforms 64 values (raster order) into 64 values; input and output may
// be the same block.
void InverseDct(const int16_t* input, int16_t* output);

// The same transform told which input rows may hold nonzero values (bit r
// of rows for row r); the rows whose bit is clear must be zero.  A zero row
// gives a known row-pass output, so fast forms may skip its arithmetic; the
// outputs are those of InverseDct.
void InverseDctRows(const int16_t* input, int16_t* output, uint32_t rows);

// Transforms the block (rows as for InverseDctRows) and stores the outputs,
// each saturated to 0..255, at destination + row * stride + column.  The
// block itself is not changed.
void InverseDctStore(const int16_t* block, uint32_t rows, uint8_t* destination, int32_t stride);

// The transform (rows as for InverseDctRows) added to the 8x8 samples at
// destination + row * stride + column, each sum clamped to 0..255: an inter
// block's residual put straight onto its prediction.
void InverseDctAdd(const int16_t* input, uint32_t rows, uint8_t* destination, int32_t stride);
// The same for a residual of one value throughout (the transform of a lone
// DC).
void AddFlat(int16_t value, uint8_t* destination, int32_t stride);

#if defined(__SSE2__)
// The same operations with SSE2, giving exactly the same outputs.
namespace sse2 {
void InverseDct(const int16_t* input, int16_t* output);
void InverseDctRows(const int16_t* input, int16_t* output, uint32_t rows);
void InverseDctStore(const int16_t* block, uint32_t rows, uint8_t* destination, int32_t stride);
void InverseDctAdd(const int16_t* input, uint32_t rows, uint8_t* destination, int32_t stride);
void AddFlat(int16_t value, uint8_t* destination, int32_t stride);
}  // namespace sse2
#endif

#if defined(TAVRIN_AVX2_FORMS)
// The same operations with AVX2 (the lone-DC add keeps its SSE2 form), for
// processors that report it: exactly the same outputs.
namespace avx2 {
void InverseDct(const int16_t* input, int16_t* output);
void InverseDctRows(const int16_t* input, int16_t* output, uint32_t rows);
void InverseDctStore(const int16_t* block, uint32_t rows, uint8_t* destination, int32_t stride);
void InverseDctAdd(const int16_t* input, uint32_t rows, uint8_t* destination, int32_t stride);
}  // namespace avx2
#endif

}  // namespace tavrin::reconstruction
