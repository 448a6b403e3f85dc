// Intra blocks on the second path, one step at a time: the prediction
// direction chosen from the neighbours' DCs, the coefficients decoded into a
// raster-order block, DC/AC prediction and inverse quantisation through the
// coefficient primitives, the DC bookkeeping of the neighbour buffers, and
// the second path's inverse transform with a clamped store.  Used by the intra and
// predicted pictures of the second path.
//
// AC values predicted from a neighbouring macroblock are rescaled from its
// quantiser to the block's, as on the first path.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"
#include "picture/intra_macroblock.h"
#include "primitives/primitive_types.h"

namespace tavrin {

// The three neighbour groups of one block.  DC(previous) is the DC of the
// block to the left, DC(left) that of the block above-left, DC(above) that
// of the block above; the AC values of above and left are the first row of
// the block above and the first column of the block to the left.
struct SecondPathIntraGroups {
  int16_t* above;
  int16_t* previous;  // the eight values just before above
  int16_t* left;
};

// The groups block 0..5 of the macroblock in column x uses.
SecondPathIntraGroups SecondPathIntraGroupsOf(FrameStore& f, int32_t x, int32_t block);

// Stores the reconstructed DC d of block 0..5 of the macroblock in column x
// and moves the DCs the following blocks see as left, above-left and above
// neighbours.
void RecordIntraDc(FrameStore& f, int32_t x, int32_t block, int16_t d);

// Prediction from the block above (2) or from the left block (1): above when
// |dA - dB| < |dB - dC| for the left, above-left and above DCs (each below 0
// read as 1024), left otherwise.
int32_t IntraPredictionDirection(const SecondPathIntraGroups& groups);

// The AC coefficients of a block whose DC is already in block[0], stored at
// their raster positions through scan 0 (zigzag), 1 (alternate vertical) or
// 2 (alternate horizontal).  0, or CoefficientCodeError with the position
// unchanged (the coefficients stored before the bad code stay).
int32_t decodeIntraAc(BytePointer* bytePos, int32_t* bitPos, int16_t* block, int32_t scan);

struct SecondPathIntraBlock {
  int32_t block;          // 0..3 luma, 4 Cb, 5 Cr
  int32_t coded;          // the block's coded-block bit
  int32_t acPred;         // ac_pred_flag
  int32_t quant;
  int32_t useIntraDcVlc;  // the DC has its own size code
  const uint8_t* matrix;  // intra weighting matrix, or null
  uint8_t* destination;
  int32_t stride;
  int32_t alternateScan = 0;  // every block in the alternate vertical scan (interlaced pictures)
  bool checkDc = false;       // an impossible DC is damage (IntraDcChecked)
};

// A quantiser outside 1..31 (only a picture quantiser of 0 gives one):
// the block is not decoded.
inline constexpr int32_t kIntraQuantiserRefused = QuantiserError;

// One intra block of the macroblock in column x, its coefficients read at
// the reader's position into `coefficients` (64 values, 16-byte aligned).
// 0; kInvalidMacroblockCode when its coefficients cannot be decoded (the
// block is not stored); kIntraQuantiserRefused.
int32_t reconstructIntraBlock(BitReader& reader, FrameStore& f, int32_t x,
                              const SecondPathIntraBlock& job, int16_t* coefficients);

using SecondPathIntraMacroblock = IntraMacroblock;

// Blocks 0 to 5 into currentPicture: 0, or the first block's nonzero
// result.
int32_t ReconstructIntraMacroblockSecondPath(DecoderContext& c, const SecondPathIntraMacroblock& mb,
                                      const uint8_t* matrix, int16_t* coefficients);

}  // namespace tavrin
