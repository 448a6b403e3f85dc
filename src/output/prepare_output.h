// Tells the host where the picture to show is: the decoder's own planes, or
// a deblocked copy of them in the filter buffer.  The decoded pictures are
// never changed by filtering.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"
#include "tavrin.h"

namespace tavrin {

// Fills the plane pointers and strides of output for post-filter mode 0, 1
// or 2.  Writes nothing when there is no picture to show.
void PrepareOutput(DecoderContext& context, int32_t postFilter, DecoderOutput* output);

// Bytes of filter buffer a picture of this size needs: the filter works on
// whole macroblocks, which for small pictures is more than width * height * 4.
int64_t FilterBufferBytes(int32_t width, int32_t height);

}  // namespace tavrin
