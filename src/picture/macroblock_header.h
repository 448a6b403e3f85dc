// Macroblock header elements shared by the picture decoders of both paths:
// mcbpc of intra and predicted pictures, cbpy, dquant and the intra DC
// code switch.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"

namespace tavrin {

// Macroblock types.
enum MacroblockType : int32_t {
  MbInter = 0,
  MbInterQuant = 1,
  MbInter4v = 2,
  MbIntra = 3,
  MbIntraQuant = 4,
};

struct Mcbpc {
  int32_t mbType;
  int32_t cbpc;  // bit 1 Cb, bit 0 Cr
};

// mcbpc of an intra picture, stuffing codes consumed: 0, or -5 for the
// all-zero pattern.
int32_t ReadIntraMcbpc(BitReader& reader, Mcbpc& out);

// mcbpc of a predicted picture, stuffing codes consumed: 0, or -5 for the
// all-zero pattern.
int32_t ReadPredictedMcbpc(BitReader& reader, Mcbpc& out);

// cbpy as the intra table gives it (bit 3 block 0 ... bit 0 block 3): 0, or
// -5 for the patterns 000000 and 000001.
int32_t ReadCbpy(BitReader& reader, int32_t& cbpy);

// Reads dquant and applies it to the running quantiser, clamped to 1..31.
void ApplyDquant(BitReader& reader, int32_t& quant);

// The header of a coded macroblock of a predicted picture (after its
// not_coded bit): mcbpc, ac_pred_flag for intra types, mcsel for the
// one-vector inter types of S pictures with global motion, cbpy (inverted
// for inter types) and dquant, applied to the running quantiser.
struct PredictedMacroblockHeader {
  Mcbpc mcbpc;
  bool intra;
  int32_t acPred;
  int32_t mcsel;  // 1: predicted through the global motion, no vector
  int32_t cbpy;
};
int32_t ReadPredictedMacroblockHeader(BitReader& reader, bool shortVideoHeader, int32_t& quant,
                                      PredictedMacroblockHeader& out, bool globalMotion = false);

// Asks for every line of the code tables the macroblocks of a picture look
// up (header, vector and coefficient codes, about 25 KB), so that a picture
// decoded with cold caches does not wait for them one miss at a time.
// Out of line on purpose: where GCC sees that a function's body does
// nothing but prefetch, it drops the calls to it.
void PrefetchMacroblockTables();

// Whether the intra DC has its own size code at this quantiser.
bool UseIntraDcVlc(int32_t quant, int32_t intraDcVlcThr);

}  // namespace tavrin
