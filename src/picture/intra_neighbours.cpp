#include "picture/intra_neighbours.h"

namespace tavrin {

void ResetPredictionRows(FrameStore& f) {
  for (int32_t e = 0; e <= f.mbWidth; ++e) {
    f.predRowY[e * 16] = kNoIntraBlock;
    f.predRowY[e * 16 + 8] = kNoIntraBlock;
    f.predRowCb[e * 8] = kNoIntraBlock;
    f.predRowCr[e * 8] = kNoIntraBlock;
  }
}

void ResetPredictionColumns(FrameStore& f) {
  f.predColY[0] = kNoIntraBlock;
  f.predColY[8] = kNoIntraBlock;
  f.predColCb[0] = kNoIntraBlock;
  f.predColCr[0] = kNoIntraBlock;
}

void FinishPredictionRow(FrameStore& f) { f.predRowY[f.mbWidth * 16 + 8] = f.predColY[8]; }

}  // namespace tavrin
