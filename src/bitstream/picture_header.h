// The video object plane header, read right after its start code.
#pragma once

#include <cstdint>

#include "api/decoder_context.h"

namespace tavrin {

inline constexpr int32_t kSourceTypeUnpadded = 6800;

// Reads the header into the context and leaves the reader at the first
// macroblock: 0, or -4 when a marker bit is 0 (the fields read so far keep
// their new values).
int32_t ParsePictureHeader(DecoderContext& context);

}  // namespace tavrin
