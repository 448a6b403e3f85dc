// The macroblock layer of a predicted picture, shared by both
// reconstruction paths: not_coded and skipped macroblocks, the macroblock
// header, vector decoding with prediction and clipping, the chroma vector,
// the vector stores and the neighbour bookkeeping.  What differs between the
// paths, how intra macroblocks and coded residuals are rebuilt, comes from
// Texture:
//   int32_t Intra(const IntraMacroblock&)
//   int32_t Inter(const InterMacroblock&)
//   int32_t Global(const InterMacroblock&, const GlobalMotion&)
// each returning 0 or a status that ends the picture, and the motion policy
// the texture predicts with (Texture::Motion, half_sample_motion.h), which
// clips the vectors and derives the chroma vector.  S pictures with global
// motion walk with kGlobal: their skipped macroblocks and those whose mcsel
// is 1 are predicted through the warp (global_motion.h), the others exactly
// as in P pictures.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"
#include "picture/band_prefetch.h"
#include "picture/global_motion.h"
#include "picture/intra_macroblock.h"
#include "picture/intra_neighbours.h"
#include "picture/macroblock_header.h"
#include "picture/macroblock_walk.h"
#include "picture/motion_compensation.h"
#include "picture/vector_storage.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/vectors/chroma_vector.h"
#include "primitives/vectors/vector_bits.h"
#include "primitives/vectors/vector_prediction.h"

namespace tavrin {

// An inter macroblock with its clipped vectors.
struct InterMacroblock {
  int32_t x, y;
  int32_t mbType;
  int32_t cbpy;  // bit 3 block 0 ... bit 0 block 3, after inversion
  int32_t cbpc;  // bit 1 Cb, bit 0 Cr
  int32_t quant;
  MotionVector luma[4];
  MotionVector chroma;
};

template <typename Texture, bool kGlobal = false>
struct PredictedPictureWalk {
  DecoderContext& c;
  FrameStore& f;
  BitReader& reader;
  const ClipRect clip;
  int32_t quant;
  Texture& texture;
  using Motion = typename Texture::Motion;
  const GlobalMotion* global;  // S pictures only
  BandPrefetch referenceBand{f.forwardReference, 1};
  BandPrefetch currentBand{f.currentPicture};

  bool ReadsBits(int32_t) const { return true; }
  void StartRow(int32_t y) {
    ResetPredictionColumns(f);
    PrefetchRowState(y + 1);
  }

  // The per-macroblock records of the next row: the content tags that
  // skipped macroblocks compare, the vectors and skip flags this picture
  // leaves.  Small, but read or written one macroblock at a time and missed
  // on every new line when the caches are cold.  Always inlined, as
  // BandPrefetch::Ahead is, or GCC drops the calls.
  [[gnu::always_inline]] void PrefetchRowState(int32_t y) {
    if (y >= f.mbHeight) return;
    const int32_t first = y * f.mbWidth;
    for (int32_t i = 0; i < f.mbWidth; i += 16) {
      if (f.forwardReference.contentTags != nullptr) {
        __builtin_prefetch(f.forwardReference.contentTags + first + i);
      }
      if (f.currentPicture.contentTags != nullptr) {
        __builtin_prefetch(f.currentPicture.contentTags + first + i, 1);
      }
    }
    for (int32_t i = 0; i < f.mbWidth; i += 4) __builtin_prefetch(MvStoreEntry(f, first + i), 1);
    for (int32_t i = 0; i < f.mbWidth; i += 64) __builtin_prefetch(f.mbStateMap + first + i, 1);
  }
  void EndRow() { FinishPredictionRow(f); }
  // Nothing before a packet's first macroblock is a neighbour: neither for
  // intra prediction nor for vector prediction.
  void StartPacket(int32_t packetQuant) {
    ResetPredictionRows(f);
    ResetPredictionColumns(f);
    primitives.ZeroBytes(f.blockFlagRow, 4 * f.mbWidth + 8);
    quant = packetQuant;
    packetFirst = true;
  }

  // ffmpeg's decoder and encoder, when the first macroblock of a video
  // packet has four vectors, overwrite the vector of block 3 of the
  // macroblock to its left with zero (its prediction takes that block as a
  // missing neighbour by clearing it).  No later prediction of the P
  // picture reads it (it lies in another packet), but direct mode in the B
  // pictures that follow does, where that left macroblock had four vectors
  // too (one with one vector lends its block 0).  Streams ffmpeg made are
  // decoded as it made them: the stored vector is cleared the same way.
  bool packetFirst = false;  // the macroblock being decoded starts a packet
  bool leftFour = false;     // the macroblock before it had four vectors
  bool thisFour = false;

  int32_t Macroblock(int32_t x, int32_t y) {
    thisFour = false;
    const int32_t status = MacroblockData(x, y);
    packetFirst = false;
    leftFour = thisFour;
    if (status != 0) return status;
    // The macroblock is now a neighbour for vector prediction.
    uint8_t* flags = BlockFlagEntry(f, x + 1);
    for (int32_t b = 0; b < 4; ++b) flags[b] = kAllBlocksPresent[b];
    f.qpRow[x + 1] = static_cast<uint8_t>(quant);
    return 0;
  }

  void StoreVectors(int32_t x, int32_t index, const MotionVector* v) {
    MotionVector* row = MvRowEntry(f, x + 1);
    MotionVector* store = MvStoreEntry(f, index);
    for (int32_t b = 0; b < 4; ++b) row[b] = store[b] = v[b];
  }

  // A macroblock's vectors, predicted from the neighbours and their
  // differences read, inline: what the vector primitive does (its
  // arithmetic is shared), without the call and the checks of arguments the
  // walk always passes valid; only the forward code is the stream's and
  // checked.  Every block of the current macroblock is present.
  vectors::Neighbourhood Neighbours(int32_t x) const {
    return vectors::Neighbourhood{MvRowEntry(f, x),
                                  MvRowEntry(f, x + 1),
                                  MvRowEntry(f, x + 2),
                                  vectors::AnyPresent(BlockFlagEntry(f, x)),
                                  vectors::AnyPresent(BlockFlagEntry(f, x + 1)),
                                  vectors::AnyPresent(BlockFlagEntry(f, x + 2))};
  }

  int32_t DecodeOneVector(int32_t x, MotionVector& v) {
    const int32_t fcode = c.picture.vopFcodeForward;
    if (!vectors::IsValidFcode(fcode)) return RangeCodeError;
    v = vectors::PredictBlockVector<0>(Neighbours(x), nullptr, kAllBlocksPresent);
    return vectors::DecodeMotionDifference(&reader.bytePos, &reader.bitPos, &v, fcode);
  }

  // Each block's prediction takes the vectors of the blocks before it.
  template <int kBlock>
  int32_t DecodeBlockVector(const vectors::Neighbourhood& n, MotionVector* v, int32_t fcode) {
    v[kBlock] = vectors::PredictBlockVector<kBlock>(n, v, kAllBlocksPresent);
    return vectors::DecodeMotionDifference(&reader.bytePos, &reader.bitPos, &v[kBlock], fcode);
  }

  int32_t DecodeFourVectors(int32_t x, MotionVector* v) {
    const int32_t fcode = c.picture.vopFcodeForward;
    if (!vectors::IsValidFcode(fcode)) return RangeCodeError;
    const vectors::Neighbourhood n = Neighbours(x);
    int32_t status = DecodeBlockVector<0>(n, v, fcode);
    if (status == 0) status = DecodeBlockVector<1>(n, v, fcode);
    if (status == 0) status = DecodeBlockVector<2>(n, v, fcode);
    if (status == 0) status = DecodeBlockVector<3>(n, v, fcode);
    return status;
  }

  int32_t Inter(int32_t x, int32_t y, int32_t index, const PredictedMacroblockHeader& header) {
    InterMacroblock mb{x, y, header.mcbpc.mbType, header.cbpy, header.mcbpc.cbpc, quant, {}, {}};
    MotionVector* v = mb.luma;
    const bool four = mb.mbType == MbInter4v;
    int32_t status = four ? DecodeFourVectors(x, v) : DecodeOneVector(x, v[0]);
    if (status != 0) return status;
    if (four) {
      for (int32_t b = 0; b < 4; ++b)
        Motion::Clip(v[b], clip, BlockX(x, b), BlockY(y, b), 8);
      mb.chroma = Motion::ChromaOfFour(v);
    } else {
      Motion::Clip(v[0], clip, BlockX(x, -1), BlockY(y, -1), 16);
      v[1] = v[2] = v[3] = v[0];
      mb.chroma = Motion::ChromaOf(v[0]);
    }
    if ((status = texture.Inter(mb)) != 0) return status;
    StoreVectors(x, index, v);
    thisFour = four;
    if (four && packetFirst && leftFour && x > 0) MvStoreEntry(f, index - 1)[3] = MotionVector{};
    MarkNotIntra(f, x);
    return 0;
  }

  // A macroblock predicted through the global motion, with the residual
  // of a coded one: its vector is the warp's average over it.  B pictures
  // do not skip along with a skipped one.
  int32_t Global(int32_t x, int32_t y, int32_t index, const PredictedMacroblockHeader* header) {
    if (header == nullptr) {
      MarkMacroblockWritten(f, index);
      PredictGlobalMotion(*global, f.forwardReference, f.currentPicture, x, y);
    } else {
      const InterMacroblock mb{x, y, header->mcbpc.mbType, header->cbpy, header->mcbpc.cbpc,
                               quant, {}, {}};
      if (const int32_t status = texture.Global(mb, *global); status != 0) return status;
    }
    const MotionVector v = GlobalVector(*global, x, y);
    const MotionVector four[4] = {v, v, v, v};
    StoreVectors(x, index, four);
    MarkNotIntra(f, x);
    return 0;
  }

  int32_t MacroblockData(int32_t x, int32_t y) {
    const int32_t index = y * f.mbWidth + x;
    referenceBand.Ahead(x, y);
    currentBand.Ahead(x, y);
    const int32_t notCoded = reader.GetBit();
    f.mbStateMap[index] = static_cast<uint8_t>(kGlobal ? 0 : notCoded);
    const MotionVector zero[4] = {};
    if (notCoded) {
      if constexpr (kGlobal) return Global(x, y, index, nullptr);
      CopyMacroblock(f.forwardReference, f.currentPicture, x, y, index);
      StoreVectors(x, index, zero);
      MarkNotIntra(f, x);
      return 0;
    }
    MarkMacroblockWritten(f, index);
    PredictedMacroblockHeader header;
    int32_t status = ReadPredictedMacroblockHeader(reader, c.sequence.shortVideoHeader != 0, quant,
                                                   header, kGlobal);
    if (status != 0) return status;
    if constexpr (kGlobal) {
      if (header.mcsel) return Global(x, y, index, &header);
    }
    if (!header.intra) return Inter(x, y, index, header);
    const IntraMacroblock mb{x, y, header.cbpy, header.mcbpc.cbpc, header.acPred, quant,
                             UseIntraDcVlc(quant, c.picture.intraDcVlcThr) ? 1 : 0};
    if ((status = texture.Intra(mb)) != 0) return status;
    StoreVectors(x, index, zero);
    f.resilience.status[index] = kMacroblockIntra;
    return 0;
  }
};

template <typename Packets = VideoPackets, typename Texture>
int32_t WalkPredictedPicture(DecoderContext& c, Texture& texture) {
  FrameStore& f = c.store;
  ResetPredictionRows(f);
  primitives.ZeroBytes(f.blockFlagRow, 4 * f.mbWidth + 8);
  // Textures of pictures that can be S pictures predict through the warp.
  constexpr bool kCanBeGlobal = requires(Texture& t, const InterMacroblock& mb, const GlobalMotion& g) {
    t.Global(mb, g);
  };
  if constexpr (kCanBeGlobal) {
    if (c.picture.vopCodingType == 3) {
      GlobalMotion global;
      if (!SetUpGlobalMotion(c, global)) return kInvalidMacroblockCode;
      PredictedPictureWalk<Texture, true> walk{
          c, f, c.reader, PictureClipRect(c), c.picture.vopQuant, texture, &global};
      return WalkMacroblocks<Packets>(c, walk);
    }
  }
  PredictedPictureWalk<Texture> walk{c,       f, c.reader, PictureClipRect(c), c.picture.vopQuant,
                                     texture, nullptr};
  return WalkMacroblocks<Packets>(c, walk);
}

}  // namespace tavrin
