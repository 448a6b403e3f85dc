// The picture decoders of interlaced layers that replace the progressive
// ones whole (the predicted pictures share the progressive walk's parts:
// interlaced_predicted_walk.h).
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

// B pictures, both reconstruction paths: as DecodeBidirectionalPicture.
int32_t DecodeInterlacedBidirectionalPicture(DecoderContext& context);

}  // namespace tavrin
