// Judging what a damaged picture with nothing before it decoded.  Such a
// picture can only be mended from its own rows, and whatever it keeps
// wrongly every picture after it predicts from.  Damage there may read as
// valid codes for a long stretch; the samples it leaves show it: rubbish
// steps at the 8x8 block edges where real pictures run on smoothly.
#pragma once

#include <cstdint>

#include "decoder/picture_buffer.h"

namespace tavrin {

// Whether the macroblocks decoded from `from` on (up to `to`) run on from
// those before them: over two rows of macroblocks on each side, the steps
// across the block edges after `from` are at most twice those before it,
// give or take two levels.  Without a row on either side, they do.
bool DecodedRunsOn(const PictureBuffer& p, int32_t mbWidth, int32_t from, int32_t to);

// The first macroblock of the stretch just before `from` (back to `first`)
// that looks like rubbish: each one's steps across the edges inside it more
// than twice those inside the macroblock above it and three levels more,
// with at most one that looks right between them.  `from` when there is
// none.
int32_t RubbishStart(const PictureBuffer& p, int32_t mbWidth, int32_t first, int32_t from);

}  // namespace tavrin
