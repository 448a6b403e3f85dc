// Setting a stream up from the host's header bytes.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

// Finds the video object start code in the copied header bytes, parses the
// layer header that follows, puts the host's size in place of the header's
// and allocates the frame store.  True when the stream can be decoded.
// Bytes that begin with a short-header picture (short_header_picture.h)
// set up a short-header stream instead, whose size the picture gives: a
// host size that differs from it is refused.
bool OpenStream(DecoderContext& context, int32_t width, int32_t height);

}  // namespace tavrin
