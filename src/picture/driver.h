// The per-call picture driver: finds the call's picture, parses its header,
// runs the decoder for its type, pads new reference pictures and moves the
// three picture records between their roles.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

// Decodes the first picture in the call's bytes.  The effect is on the
// picture records, outputPicture and the counters.
void DecodePicture(DecoderContext& context, int32_t videoQuality);

// Dispatches a parsed picture header by coding type.
void DecodeByType(DecoderContext& context, int32_t videoQuality);

}  // namespace tavrin
