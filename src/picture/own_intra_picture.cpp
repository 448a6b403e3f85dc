// Intra pictures on the second path: the macroblock syntax of the first
// path, each block rebuilt step by step with the own inverse transform.
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"
#include "picture/neighbours.h"
#include "picture/own_intra_block.h"
#include "picture/picture_decoders.h"

namespace tavrin {
namespace {

struct OwnIntraPicture {
  DecoderContext& c;
  const uint8_t* matrix;
  int32_t quant;
  alignas(16) int16_t coefficients[64];

  bool ReadsBits(int32_t) const { return true; }
  void StartRow(int32_t) { ResetPredictionColumns(c.store); }
  void EndRow() { FinishPredictionRow(c.store); }
  // Nothing before a packet's first macroblock is a neighbour.
  void StartPacket(int32_t packetQuant) {
    ResetPredictionRows(c.store);
    ResetPredictionColumns(c.store);
    quant = packetQuant;
  }

  int32_t Macroblock(int32_t x, int32_t y) {
    BitReader& reader = c.reader;
    Mcbpc mcbpc;
    int32_t status = ReadIntraMcbpc(reader, mcbpc);
    if (status != 0) return status;
    const int32_t acPred = c.sequence.shortVideoHeader ? 0 : reader.GetBit();
    int32_t cbpy = 0;
    if ((status = ReadCbpy(reader, cbpy)) != 0) return status;
    if (mcbpc.mbType == MbIntraQuant) ApplyDquant(reader, quant);
    const OwnIntraMacroblock mb{x, y, cbpy, mcbpc.cbpc, acPred, quant,
                                UseIntraDcVlc(quant, c.picture.intraDcVlcThr) ? 1 : 0};
    if ((status = ReconstructIntraMacroblockOwn(c, mb, matrix, coefficients)) != 0) return status;
    c.store.qpRow[x + 1] = static_cast<uint8_t>(quant);
    return 0;
  }
};

}  // namespace

int32_t DecodeIntraPictureOwn(DecoderContext& c) {
  ClearMotionStores(c.store);
  ResetPredictionRows(c.store);
  OwnIntraPicture picture{c, c.sequence.quantType ? c.sequence.intraQuantMat : nullptr,
                          c.picture.vopQuant, {}};
  return WalkMacroblocks(c, picture);
}

}  // namespace tavrin
