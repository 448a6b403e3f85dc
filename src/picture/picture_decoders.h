// The macroblock-layer decoders of each picture type.  Each takes the
// context with the reader at the first macroblock, writes the picture into
// currentPicture and returns 0 or a negative status; macroblocks decoded
// before a failure stay.
#pragma once

#include <cstdint>

#include "decoder/decoder_context.h"

namespace tavrin {

// A picture decoder's status when the picture's data ended before all its
// macroblocks: the rest keep what the record held.
inline constexpr int32_t kInvalidMacroblockCode = -5;

// A macroblock's status when it was read whole but holds a DC no block can
// have (ImpossibleIntraDc): the codes may run on right after it, so the
// packet walk reads on and decides once it knows whether they did.
inline constexpr int32_t kImpossibleIntraDc = -6;

// Clears the skip flags and vectors B pictures read (intra pictures leave
// none).
void ClearMotionStores(FrameStore& store);

int32_t DecodeIntraPicture(DecoderContext& context);            // I, first path
int32_t DecodePredictedPicture(DecoderContext& context);        // P, first path
int32_t DecodeBidirectionalPicture(DecoderContext& context);    // B, both paths
int32_t DecodeIntraPictureSecondPath(DecoderContext& context);         // I, second path
int32_t DecodePredictedPictureSecondPath(DecoderContext& context);     // P, second path
// Short-header I and P pictures, either path (video quality 0 or 1).
int32_t DecodeShortHeaderPicture(DecoderContext& context, int32_t videoQuality);

}  // namespace tavrin
