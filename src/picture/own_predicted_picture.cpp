// Predicted pictures on the second path: the macroblock syntax, vectors and
// prediction of the first path; residuals decoded, dequantised and
// inverse-transformed in separate steps with the own transform, intra
// macroblocks rebuilt as in intra pictures of this path.
#include "picture/block_routines.h"
#include "picture/inter_block.h"
#include "picture/intra_macroblock.h"
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"
#include "picture/motion.h"
#include "picture/neighbours.h"
#include "picture/own_intra_block.h"
#include "picture/picture_decoders.h"
#include "primitives/dispatch/primitive_table.h"

namespace tavrin {
namespace {

struct OwnPredictedPicture {
  DecoderContext& c;
  FrameStore& f;
  BitReader& reader;
  const PictureBuffer& ref;
  const PictureBuffer& cur;
  const uint8_t* intraMatrix;
  const uint8_t* interMatrix;
  const ClipRect clip;
  const int32_t rounding;
  int32_t quant;
  // One residual per luma block; the chroma blocks reuse the first.
  alignas(16) int16_t residual[4][64];

  bool ReadsBits(int32_t) const { return true; }
  void StartRow(int32_t) { ResetPredictionColumns(f); }
  void EndRow() { FinishPredictionRow(f); }
  // Nothing before a packet's first macroblock is a neighbour: neither for
  // intra prediction nor for vector prediction.
  void StartPacket(int32_t packetQuant) {
    ResetPredictionRows(f);
    ResetPredictionColumns(f);
    primitives.ZeroBytes(f.blockFlagRow, 4 * f.mbWidth + 8);
    quant = packetQuant;
  }

  int32_t Macroblock(int32_t x, int32_t y) {
    const int32_t status = MacroblockData(x, y);
    if (status != 0) return status;
    // The macroblock is now a neighbour for vector prediction.
    uint8_t* flags = BlockFlagEntry(f, x + 1);
    for (int32_t b = 0; b < 4; ++b) flags[b] = kAllBlocksPresent[b];
    f.qpRow[x + 1] = static_cast<uint8_t>(quant);
    return 0;
  }

  void Skip(int32_t x, int32_t y, int32_t index) {
    CopyMacroblock(ref, cur, x, y);
    SetFourVectors(MvRowEntry(f, x + 1), MotionVector{0, 0});
    SetFourVectors(MvStoreEntry(f, index), MotionVector{0, 0});
    MarkNotIntra(f, x);
  }

  // Reads and dequantises one residual.  Damage in it does not stop the
  // picture: the block is rebuilt from what the buffer holds.  Only a
  // quantiser the dequantisation refuses (a picture quantiser of 0) stops
  // it, before anything is read, as on the first path.
  int32_t ReadResidual(int16_t* block) {
    if (quant < 1 || quant > 31) return QuantiserError;
    primitives.DecodeInterCoefficients(&reader.bytePos, &reader.bitPos, block);
    primitives.DequantInter(block, quant, interMatrix);
    return 0;
  }

  void PredictWithResidual(int32_t x, int32_t y, int32_t block, const MotionVector& v,
                           int16_t* residualBlock) {
    const int32_t stride = BlockStride(cur, block);
    blockRoutines.inverseTransform(residualBlock);
    primitives.PredictAddResidual8x8(BlockOrigin(ref, x, y, block), stride, residualBlock,
                                     BlockOrigin(cur, x, y, block), stride, &v, rounding);
  }

  void PredictOnly(int32_t x, int32_t y, int32_t block, const MotionVector& v) {
    const int32_t stride = BlockStride(cur, block);
    primitives.PredictHalfSample8x8(BlockOrigin(ref, x, y, block), stride,
                                    BlockOrigin(cur, x, y, block), stride, &v, rounding);
  }

  int32_t Luma(int32_t x, int32_t y, const Mcbpc& mcbpc, int32_t cbpy, const MotionVector* v) {
    for (int32_t b = 0; b < 4; ++b) {
      if (!((cbpy >> (3 - b)) & 1)) continue;
      if (const int32_t status = ReadResidual(residual[b]); status != 0) return status;
    }
    if (cbpy == 0 && mcbpc.mbType != MbInter4v) {
      primitives.PredictHalfSample16x16(BlockOrigin(ref, x, y, 0), cur.strideY,
                                        BlockOrigin(cur, x, y, 0), cur.strideY, &v[0], rounding);
      return 0;
    }
    for (int32_t b = 0; b < 4; ++b) {
      if ((cbpy >> (3 - b)) & 1)
        PredictWithResidual(x, y, b, v[b], residual[b]);
      else
        PredictOnly(x, y, b, v[b]);
    }
    return 0;
  }

  int32_t Inter(int32_t x, int32_t y, int32_t index, const Mcbpc& mcbpc, int32_t cbpy) {
    MotionVector v[4];
    int32_t status = primitives.DecodeMacroblockVectors(
        &reader.bytePos, &reader.bitPos, MvRowEntry(f, x), MvRowEntry(f, x + 1),
        MvRowEntry(f, x + 2), v, BlockFlagEntry(f, x), BlockFlagEntry(f, x + 1),
        BlockFlagEntry(f, x + 2), kAllBlocksPresent, c.picture.vopFcodeForward, mcbpc.mbType);
    if (status != 0) return status;
    if (mcbpc.mbType == MbInter4v) {
      for (int32_t b = 0; b < 4; ++b)
        primitives.ClipVector(&v[b], &v[b], &clip, BlockX(x, b), BlockY(y, b), 8);
    } else {
      primitives.ClipVector(&v[0], &v[0], &clip, BlockX(x, -1), BlockY(y, -1), 16);
      v[1] = v[2] = v[3] = v[0];
    }

    // Overlapped prediction is not done: with it enabled the luma is left
    // out (the layer header refuses such streams).
    if (c.sequence.obmcDisable && (status = Luma(x, y, mcbpc, cbpy, v)) != 0) return status;

    MotionVector chroma;
    if (mcbpc.mbType == MbInter4v)
      primitives.DeriveChromaVector4(v, &chroma, kAllBlocksPresent);
    else
      primitives.DeriveChromaVector(&v[0], &chroma);
    for (int32_t block = 4; block < 6; ++block) {
      if ((mcbpc.cbpc >> (5 - block)) & 1) {
        if ((status = ReadResidual(residual[0])) != 0) return status;
        PredictWithResidual(x, y, block, chroma, residual[0]);
      } else {
        PredictOnly(x, y, block, chroma);
      }
    }

    MotionVector* row = MvRowEntry(f, x + 1);
    MotionVector* store = MvStoreEntry(f, index);
    for (int32_t b = 0; b < 4; ++b) row[b] = store[b] = v[b];
    MarkNotIntra(f, x);
    return 0;
  }

  int32_t MacroblockData(int32_t x, int32_t y) {
    const int32_t index = y * f.mbWidth + x;
    const int32_t notCoded = reader.GetBit();
    f.mbStateMap[index] = static_cast<uint8_t>(notCoded);
    if (notCoded) {
      Skip(x, y, index);
      return 0;
    }
    PredictedMacroblockHeader header;
    int32_t status = ReadPredictedMacroblockHeader(reader, c.sequence.shortVideoHeader != 0, quant, header);
    if (status != 0) return status;
    const Mcbpc& mcbpc = header.mcbpc;
    const int32_t acPred = header.acPred;
    const int32_t cbpy = header.cbpy;
    if (!header.intra) return Inter(x, y, index, mcbpc, cbpy);

    const OwnIntraMacroblock mb{x, y, cbpy, mcbpc.cbpc, acPred, quant,
                                UseIntraDcVlc(quant, c.picture.intraDcVlcThr) ? 1 : 0};
    if ((status = ReconstructIntraMacroblockOwn(c, mb, intraMatrix, residual[0])) != 0)
      return status;
    SetFourVectors(MvRowEntry(f, x + 1), MotionVector{0, 0});
    SetFourVectors(MvStoreEntry(f, index), MotionVector{0, 0});
    return 0;
  }
};

}  // namespace

int32_t DecodePredictedPictureOwn(DecoderContext& c) {
  FrameStore& f = c.store;
  const bool matrices = c.sequence.quantType != 0;
  OwnPredictedPicture p{c,
                        f,
                        c.reader,
                        f.forwardReference,
                        f.currentPicture,
                        matrices ? c.sequence.intraQuantMat : nullptr,
                        matrices ? c.sequence.nonintraQuantMat : nullptr,
                        PictureClipRect(c),
                        c.picture.vopRoundingType,
                        c.picture.vopQuant,
                        {}};
  ResetPredictionRows(f);
  primitives.ZeroBytes(f.blockFlagRow, 4 * f.mbWidth + 8);
  return WalkMacroblocks(c, p);
}

}  // namespace tavrin
