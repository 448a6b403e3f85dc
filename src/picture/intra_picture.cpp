// Intra pictures on the first path: every macroblock intra coded, each
// block reconstructed by one fused primitive.
#include "picture/intra_macroblock.h"
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"
#include "picture/neighbours.h"
#include "picture/picture_decoders.h"
#include "primitives/dispatch/primitive_table.h"

namespace tavrin {
namespace {

struct IntraPicture {
  DecoderContext& c;
  const uint8_t* matrix;
  int32_t quant;

  bool ReadsBits(int32_t) const { return true; }
  void StartRow(int32_t) { ResetPredictionColumns(c.store); }
  void EndRow() { FinishPredictionRow(c.store); }
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
    const IntraMacroblock mb{x, y, cbpy, mcbpc.cbpc, acPred, quant,
                             UseIntraDcVlc(quant, c.picture.intraDcVlcThr) ? 1 : 0};
    if ((status = ReconstructIntraMacroblock(c, mb, matrix)) != 0) return status;
    c.store.qpRow[x + 1] = static_cast<uint8_t>(quant);
    return 0;
  }
};

}  // namespace

void ClearMotionStores(FrameStore& f) {
  const int32_t mbs = f.mbWidth * f.mbHeight;
  primitives.ZeroBytes(f.mbStateMap, mbs);
  primitives.ZeroBytes(f.mvStore, mbs * 16);
}

int32_t DecodeIntraPicture(DecoderContext& c) {
  ClearMotionStores(c.store);
  ResetPredictionRows(c.store);
  IntraPicture picture{c, c.sequence.quantType ? c.sequence.intraQuantMat : nullptr,
                       c.picture.vopQuant};
  return WalkMacroblocks(c, picture);
}

}  // namespace tavrin
