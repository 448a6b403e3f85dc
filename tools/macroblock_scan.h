// Walking over the macroblocks of a P picture without decoding them, to
// tell which macroblock types a stream uses (four vectors, intra
// macroblocks, quantiser changes, field DCT and field prediction).  The
// walk reads every code of the macroblock layer, video packet headers
// included (group-of-blocks headers in short-header pictures), and checks
// that it ends where the picture's data ends; a picture whose walk does not
// is left out of the counts.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

struct MacroblockCensus {
  int pictures = 0;       // P pictures walked
  int walked = 0;         // of those, the ones whose walk ended cleanly
  int notCoded = 0;       // counts over the clean pictures
  int inter = 0;          // one vector
  int fourVectors = 0;
  int intra = 0;
  int quantChanges = 0;   // macroblocks with dquant
  int videoPackets = 0;   // video packet headers met (group-of-blocks headers in short-header pictures)
  int fieldDct = 0;       // interlaced layers: macroblocks with dct_type 1
  int fieldPrediction = 0;  // and inter macroblocks predicted field by field
};

// Walks one coded P picture of a stream the decoder supports (bytes from
// its picture start code; header as ParsePictureHeader read it with
// detailsKnown) and adds it to the census.  Returns whether the walk ended
// cleanly.
bool WalkPredictedPicture(std::span<const uint8_t> picture, const VideoObjectLayer& layer, const PictureHeader& header,
                          MacroblockCensus& census);

// Walks the first `limit` coded P pictures of a stream the decoder supports.
MacroblockCensus WalkPredictedPictures(const std::vector<std::span<const uint8_t>>& pictures,
                                       const VideoObjectLayer& layer, int limit);

}  // namespace tavrin::tool
