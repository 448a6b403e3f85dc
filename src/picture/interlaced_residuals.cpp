#include "picture/interlaced_residuals.h"

#include <bit>
#include <cstddef>

#include "picture/interlaced_blocks.h"
#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/reconstruction/alternate_scan_routines.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/reconstruction/second_path_block_routines.h"
#include "primitives/scan_tables.h"

namespace tavrin {

// The coded blocks in block order: block 0 is the highest of the six bits.
int32_t AddInterlacedResiduals(BitReader& reader, const PictureBuffer& cur,
                               const InterlacedResidual& r, const uint8_t* matrix) {
  const ReconstructInterAddFn add = r.alternateScan
                                        ? alternateScanRoutines.reconstructInterAdd.get()
                                        : reconstructionRoutines.reconstructInterAdd.get();
  uint32_t cbp = r.cbp & 63;
  while (cbp != 0) {
    const int32_t high = 31 - std::countl_zero(cbp);
    cbp ^= 1u << high;
    const int32_t block = 5 - high;
    const int32_t status =
        add(&reader.bytePos, &reader.bitPos, r.quant, matrix,
            TextureBlockOrigin(cur, r.x, r.y, block, r.fieldDct),
            TextureBlockStride(cur, block, r.fieldDct));
    if (status != 0) return status;
  }
  return 0;
}

int32_t AddInterlacedResidualsSecondPath(BitReader& reader, const PictureBuffer& cur,
                                         const InterlacedResidual& r, const uint8_t* matrix,
                                         int16_t* scratch) {
  if (r.cbp == 0) return 0;
  if (r.quant < 1 || r.quant > 31) return QuantiserError;
  for (int32_t block = 0; block < 6; ++block) {
    if (((r.cbp >> (5 - block)) & 1) == 0) continue;
    if (r.alternateScan) {
      // The coefficient primitive reads the zigzag scan only: the codes are
      // taken in scan order and placed through the alternate scan.  A
      // block that fails to decode stays all zero, as the primitive leaves
      // it.
      alignas(16) int16_t scanOrder[64] = {};
      int32_t covered = 0;
      primitives.ZeroBytes(scratch, 64 * sizeof(int16_t));
      if (coefficients::DecodeInterCoefficientsInScanOrder(&reader.bytePos, &reader.bitPos,
                                                           scanOrder, 0, &covered) == Ok) {
        for (int32_t i = 0; i < covered && i < 64; ++i)
          scratch[kAlternateVerticalScan[static_cast<std::size_t>(i)]] = scanOrder[i];
      }
    } else {
      primitives.DecodeInterCoefficients(&reader.bytePos, &reader.bitPos, scratch);
    }
    primitives.DequantInter(scratch, r.quant, matrix);
    blockRoutines.inverseTransform(scratch);
    primitives.AddResidual8x8(TextureBlockOrigin(cur, r.x, r.y, block, r.fieldDct), scratch,
                              TextureBlockStride(cur, block, r.fieldDct));
  }
  return 0;
}

}  // namespace tavrin
