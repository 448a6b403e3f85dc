// Concealment: rebuilding the macroblocks a damaged picture lost from the
// pictures around it, so that what is shown (and what later pictures
// predict from) continues the scene instead of keeping whatever an older
// picture left in the record.
//
// It takes the picture as decoded and the map of lost macroblocks
// (ResilienceState), whatever marked them: the packet walk of MPEG-4
// pictures, or any other syntax with its own resynchronisation points.
// Each lost macroblock is motion-compensated from a reference with a vector
// guessed from what is around it: the vectors of its intact (or already
// rebuilt) neighbours, their median, the vector the reference had at the
// same place, and no motion; of these (and of vectors a step or two from
// the best), the one that moves the samples around the macroblock's place
// in the reference onto the known samples around it best.  A macroblock
// with no intact neighbour takes the vector the reference had at the same
// place.  Intact neighbours that are intra leave no motion to guess from,
// so an intra picture copies from the reference.  A B picture guesses from
// the vector of the later anchor at the same place, scaled to each anchor
// (the nearer one first).  A macroblock decoded shortly before the damage
// showed (suspect) keeps what was decoded where that continues the intact
// samples around it clearly better than the guess does.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

struct ConcealmentJob {
  int32_t codingType;  // 0 I, 1 P, 2 B
  int32_t rounding;    // the picture's rounding control
  int32_t trb;         // B pictures: time from the earlier anchor
  int32_t trd;         // B pictures: time between the anchors
};

// Rebuilds in currentPicture every macroblock the map marks lost, in
// raster order, from forwardReference (and backwardReference for B
// pictures).  P pictures leave the guessed vectors in mvStore, as their
// decoded ones, for the pictures that follow.  Does nothing when nothing
// was lost.
void ConcealLostMacroblocks(DecoderContext& c, const ConcealmentJob& job);

// The same for the picture just decoded, with the job its header and the
// anchor times give.
void ConcealPicture(DecoderContext& c);

// Before an intra picture (which clears the vectors): keeps the newest
// anchor's mean motion for the guesses of the intra picture's lost
// macroblocks.
void RememberAnchorMotion(DecoderContext& c);

}  // namespace tavrin
