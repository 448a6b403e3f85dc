// Padding of a new reference picture's borders, only where they changed.
#pragma once

#include "decoder/decoder_context.h"

namespace tavrin {

// Pads the borders of the current picture (width x height visible luma
// samples).  Each border segment is copied from the edge samples of one
// macroblock; a segment whose macroblock holds the samples it held when the
// segment was last padded (its content tag says so) is left as it is.  The
// result is that of padding the whole planes.
void PadChangedBorders(FrameStore& f, int32_t width, int32_t height);

}  // namespace tavrin
