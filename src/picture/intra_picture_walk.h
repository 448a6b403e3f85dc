// The macroblock layer of an intra picture, shared by both reconstruction
// paths: the header of every macroblock, the running quantiser and the
// neighbour resets; the blocks are rebuilt by the path's own routine.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"
#include "picture/intra_macroblock.h"
#include "picture/intra_neighbours.h"
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"

namespace tavrin {

// Reconstruct is called as reconstruct(header) and returns 0 or a status
// that ends the picture.
template <typename Reconstruct>
struct IntraPictureWalk {
  DecoderContext& c;
  int32_t quant;
  Reconstruct reconstruct;

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
    IntraMacroblock mb{x, y, cbpy, mcbpc.cbpc, acPred, quant,
                       UseIntraDcVlc(quant, c.picture.intraDcVlcThr) ? 1 : 0};
    if (c.sequence.interlaced) {
      mb.fieldDct = reader.GetBit();  // dct_type
      mb.alternateScan = c.picture.alternateVerticalScanFlag;
    }
    // A DC that could not be still leaves the macroblock read whole.
    status = reconstruct(mb);
    if (status != 0 && status != kImpossibleIntraDc) return status;
    c.store.qpRow[x + 1] = static_cast<uint8_t>(quant);
    return status;
  }
};

template <typename Packets = VideoPackets, typename Reconstruct>
int32_t WalkIntraPicture(DecoderContext& c, Reconstruct reconstruct) {
  ResetPredictionRows(c.store);
  IntraPictureWalk<Reconstruct> walk{c, c.picture.vopQuant, reconstruct};
  return WalkMacroblocks<Packets>(c, walk);
}

}  // namespace tavrin
