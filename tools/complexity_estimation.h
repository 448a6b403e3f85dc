// The complexity estimation header of a video object layer, and the
// per-picture estimation counts it announces, which the picture header
// parsing steps over.
#pragma once

#include "header_bit_reader.h"
#include "stream_headers.h"

namespace tavrin::tool {

void ReadComplexityEstimation(HeaderBits& reader, ComplexityEstimation& c);

// The per-picture estimation counts: 8 bits each, 4 for vlc_bits, in the
// order of the picture's coding type.
void SkipComplexityCounts(HeaderBits& reader, const ComplexityEstimation& c, CodingType type);

}  // namespace tavrin::tool
