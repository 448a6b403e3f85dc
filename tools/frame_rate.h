// The picture rate of a stream: the rate its layer header states, or one
// estimated from the times of its first pictures.
#pragma once

#include <cstdint>
#include <span>

#include "elementary_stream.h"
#include "stream_headers.h"

namespace tavrin::tool {

// resolution / fixed increment when the header fixes the rate; otherwise
// resolution / the smallest positive step between the display times of the
// first pictures; 25:1 when neither gives an answer.
Ratio StreamFrameRate(std::span<const uint8_t> bytes, const ElementaryStream& stream,
                      const VideoObjectLayer& layer);

}  // namespace tavrin::tool
