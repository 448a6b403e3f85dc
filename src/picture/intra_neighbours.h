// Bookkeeping of the intra prediction neighbour buffers: a first value of
// -1 in a group marks "no intra block there".
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

inline constexpr int16_t kNoIntraBlock = -1;

// Every entry of the row buffers unavailable (picture start).
void ResetPredictionRows(FrameStore& f);
// The left-neighbour groups unavailable (row start).
void ResetPredictionColumns(FrameStore& f);
// At the end of a row: the DC of the row's last lower-right luma block,
// which no following macroblock stores, goes into the last entry.
void FinishPredictionRow(FrameStore& f);
// Stands in for what the intra block primitives would have stored, for a
// macroblock in column x that is not intra coded.
inline void MarkNotIntra(FrameStore& f, int32_t x) {
  int16_t* own = f.predRowY + (x + 1) * 16;
  int16_t* left = f.predRowY + x * 16;
  f.predColY[0] = own[8];
  left[8] = f.predColY[8];
  f.predColY[8] = kNoIntraBlock;
  own[0] = kNoIntraBlock;
  own[8] = kNoIntraBlock;
  f.predColCb[0] = f.predRowCb[(x + 1) * 8];
  f.predRowCb[(x + 1) * 8] = kNoIntraBlock;
  f.predColCr[0] = f.predRowCr[(x + 1) * 8];
  f.predRowCr[(x + 1) * 8] = kNoIntraBlock;
}

// The groups each block of the macroblock in column x uses.
struct BlockGroups {
  int16_t* above;  // predRow: the above group, the left block's just before it
  int16_t* left;   // predCol
};
inline BlockGroups GroupsOf(FrameStore& f, int32_t x, int32_t block) {
  if (block < 4)
    return {f.predRowY + (x + 1) * 16 + (block & 1) * 8, f.predColY + (block >> 1) * 8};
  if (block == 4) return {f.predRowCb + (x + 1) * 8, f.predColCb};
  return {f.predRowCr + (x + 1) * 8, f.predColCr};
}

}  // namespace tavrin
