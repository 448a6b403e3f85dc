#include "picture/second_path_intra_block.h"

#include <cstdlib>

#include "picture/interlaced_blocks.h"
#include "picture/intra_macroblock.h"
#include "picture/picture_decoders.h"
#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/dequant/dc_scaler.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/reconstruction/second_path_block_routines.h"
#include "primitives/scan_tables.h"

namespace tavrin {
namespace {

constexpr int32_t kNoNeighbourDc = 1024;

int32_t NeighbourDc(const int16_t* group) { return group[0] < 0 ? kNoNeighbourDc : group[0]; }

const ScanTable& ScanOfIndex(int32_t scan) {
  if (scan == 1) return kAlternateVerticalScan;
  if (scan == 2) return kAlternateHorizontalScan;
  return kZigzagScan;
}

// The DC of group g (0 left block column, 1 right) of predRowY entry e.
int16_t& RowY(FrameStore& f, int32_t e, int32_t g) { return f.predRowY[e * 16 + g * 8]; }
int16_t& ColY(FrameStore& f, int32_t g) { return f.predColY[g * 8]; }

}  // namespace

SecondPathIntraGroups SecondPathIntraGroupsOf(FrameStore& f, int32_t x, int32_t block) {
  const int32_t e = x + 1;
  int16_t* above = nullptr;
  int16_t* left = nullptr;
  if (block < 4) {
    above = f.predRowY + e * 16 + (block & 1) * 8;
    left = f.predColY + (block >> 1) * 8;
  } else if (block == 4) {
    above = f.predRowCb + e * 8;
    left = f.predColCb;
  } else {
    above = f.predRowCr + e * 8;
    left = f.predColCr;
  }
  return {above, above - 8, left};
}

void RecordIntraDc(FrameStore& f, int32_t x, int32_t block, int16_t d) {
  const int32_t e = x + 1;
  switch (block) {
    case 0:
      ColY(f, 0) = RowY(f, e, 0);
      RowY(f, e, 0) = d;
      break;
    case 1: {
      // The left macroblock's block 3 DC goes up into the row for the next
      // macroblock row; its block 1 DC becomes block 2's above-left.
      const int16_t leftLower = ColY(f, 1);
      ColY(f, 1) = RowY(f, e - 1, 1);
      RowY(f, e - 1, 1) = leftLower;
      ColY(f, 0) = RowY(f, e, 1);
      RowY(f, e, 1) = d;
      break;
    }
    case 2:
      ColY(f, 1) = RowY(f, e, 0);
      RowY(f, e, 0) = d;
      break;
    case 3:
      // Block 1's DC stays in the row until the next macroblock's block 1
      // or the end of the row moves this one there.
      ColY(f, 1) = d;
      break;
    case 4:
      f.predColCb[0] = f.predRowCb[e * 8];
      f.predRowCb[e * 8] = d;
      break;
    default:
      f.predColCr[0] = f.predRowCr[e * 8];
      f.predRowCr[e * 8] = d;
      break;
  }
}

int32_t IntraPredictionDirection(const SecondPathIntraGroups& groups) {
  const int32_t dA = NeighbourDc(groups.previous);
  const int32_t dB = NeighbourDc(groups.left);
  const int32_t dC = NeighbourDc(groups.above);
  return std::abs(dA - dB) < std::abs(dB - dC) ? 2 : 1;
}

int32_t decodeIntraAc(BytePointer* bytePos, int32_t* bitPos, int16_t* block, int32_t scan) {
  alignas(16) int16_t scanOrder[64] = {};
  int32_t covered = 0;
  const PrimitiveStatus status =
      coefficients::DecodeIntraCoefficientsInScanOrder(bytePos, bitPos, scanOrder, 1, &covered);
  const ScanTable& order = ScanOfIndex(scan);
  // Levels are never 0, so the zeros between them are gaps, not values.
  for (int32_t i = 1; i < covered && i < 64; ++i)
    if (scanOrder[i] != 0) block[order[static_cast<size_t>(i)]] = scanOrder[i];
  return status;
}

int32_t reconstructIntraBlock(BitReader& reader, FrameStore& f, int32_t x,
                              const SecondPathIntraBlock& job, int16_t* coefficients) {
  if (job.quant < 1 || job.quant > 31) return kIntraQuantiserRefused;
  const SecondPathIntraGroups groups = SecondPathIntraGroupsOf(f, x, job.block);
  const int32_t direction = IntraPredictionDirection(groups);
  const int32_t scan = job.alternateScan ? 1 : job.acPred ? direction : 0;
  // No AC values from a neighbour that is no intra block of this picture;
  // the scan stays what ac_pred_flag chose.
  const int16_t* chosen = direction == 2 ? groups.above : groups.previous;
  const int32_t acPrediction = chosen[0] < 0 ? 0 : job.acPred;
  const int32_t selector = job.block < 4 ? 0 : 1;

  primitives.ZeroBytes(coefficients, 64 * sizeof(int16_t));
  if (job.useIntraDcVlc &&
      primitives.DecodeIntraDc(&reader.bytePos, &reader.bitPos, coefficients, selector) != Ok)
    return kInvalidMacroblockCode;
  if (job.coded) {
    const int32_t status =
        job.useIntraDcVlc
            ? decodeIntraAc(&reader.bytePos, &reader.bitPos, coefficients, scan)
            : primitives.DecodeIntraCoefficientsNoDc(&reader.bytePos, &reader.bitPos,
                                                     coefficients, scan);
    if (status != 0) return kInvalidMacroblockCode;
  }
  // AC values predicted from a neighbouring macroblock are rescaled from
  // its quantiser to the block's, as encoders predict them: qpRow holds
  // the quantiser of the macroblock to the left (x) and above (x + 1).
  // Within the macroblock the quantiser is the block's own.
  int32_t predictorQuant = job.quant;
  if (acPrediction != 0) {
    if (direction == 2 && job.block != 2 && job.block != 3) predictorQuant = f.qpRow[x + 1];
    if (direction == 1 && job.block != 1 && job.block != 3) predictorQuant = f.qpRow[x];
    // A neighbour of a damaged picture may have left no quantiser.
    if (predictorQuant < 1 || predictorQuant > 31) predictorQuant = job.quant;
  }
  primitives.PredictIntraDcAc(coefficients, groups.above, groups.left, job.quant, predictorQuant,
                              direction, acPrediction, selector);
  primitives.DequantIntra(coefficients, job.quant, job.matrix, selector);
  const bool impossible =
      job.checkDc && ImpossibleIntraDc(coefficients[0], dequant::DcScaler(job.quant, selector));
  RecordIntraDc(f, x, job.block, coefficients[0]);
  blockRoutines.transformAndStore(job.destination, coefficients, job.stride);
  return impossible ? kImpossibleIntraDc : 0;
}

int32_t ReconstructIntraMacroblockSecondPath(DecoderContext& c, const SecondPathIntraMacroblock& mb,
                                      const uint8_t* matrix, int16_t* coefficients) {
  const PictureBuffer& picture = c.store.currentPicture;
  const int32_t coded = (mb.cbpy << 2) | mb.cbpc;  // bit 5 block 0 ... bit 0 block 5
  const bool fieldDct = mb.fieldDct != 0;
  const bool checkDc = IntraDcChecked(c);
  bool impossible = false;
  for (int32_t block = 0; block < 6; ++block) {
    const SecondPathIntraBlock job{block,
                            (coded >> (5 - block)) & 1,
                            mb.acPred,
                            mb.quant,
                            mb.useIntraDcVlc,
                            matrix,
                            TextureBlockOrigin(picture, mb.x, mb.y, block, fieldDct),
                            TextureBlockStride(picture, block, fieldDct),
                            mb.alternateScan,
                            checkDc};
    const int32_t status = reconstructIntraBlock(c.reader, c.store, mb.x, job, coefficients);
    if (status == kImpossibleIntraDc) {
      impossible = true;
    } else if (status != 0) {
      return status;
    }
  }
  return impossible ? kImpossibleIntraDc : 0;
}

}  // namespace tavrin
