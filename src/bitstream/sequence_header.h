// The video object layer header: found at creation in the header bytes,
// checked against what the picture decoders implement, kept in the
// context; and the frame store it sizes.
#pragma once

#include <cstdint>

#include "api/decoder_context.h"

namespace tavrin {

// Results of the header parsers.
inline constexpr int32_t kMissingLayerStartCode = -3;
inline constexpr int32_t kUnsupportedHeader = -4;
inline constexpr int32_t kFrameStoreAllocationFailed = -1;

// Finds the video object start code in the copied header bytes, parses the
// layer header that follows, puts the host's size in place of the header's
// and allocates the frame store.  True when the stream can be decoded.
bool OpenStream(DecoderContext& context, int32_t width, int32_t height);

// Parses the layer header from its start code on: 0, kMissingLayerStartCode
// or kUnsupportedHeader.  Elements read before a failure stay in the context.
int32_t ParseVideoObjectLayer(DecoderContext& context);

// Reads a quantiser matrix in zigzag order into raster order; a 0 ends the
// list and the last value stored fills the rest.  Always 0.
int32_t ReadQuantMatrix(BitReader& reader, uint8_t* destination);

// The number of bits of each picture's vop_time_increment for a
// vop_time_increment_resolution.
int32_t TimeIncrementBits(int32_t resolution);

}  // namespace tavrin
