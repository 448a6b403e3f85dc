// Padding of a new reference picture's borders, only where they changed.
#pragma once

#include "decoder/decoder_context.h"

namespace tavrin {

// Pads the borders of the current picture from its macroblock-aligned area
// (16 mbWidth x 16 mbHeight luma samples), which the last macroblock
// column and row fill beyond a visible size that is not a multiple of 16.
// Each border segment is copied from the edge samples of one macroblock; a
// segment whose macroblock holds the samples it held when the segment was
// last padded (its content tag says so) is left as it is.  The result is
// that of padding the whole aligned planes.
void PadChangedBorders(FrameStore& f);

}  // namespace tavrin
