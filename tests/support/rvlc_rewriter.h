// A test tool that makes streams with reversible residual codes, which no
// encoder at hand writes: it takes a data-partitioned raw stream (ffmpeg's
// -data_partitioning 1), sets reversible_vlc in its layer header and
// rewrites the residual partition of every packet of its I and P pictures
// in the reversible codes, leaving everything else as it was.  The result
// holds the same coefficients, so it must decode to the same pictures.
//
// It finds the partitions with the decoder's own packet reader; the codes
// it writes come from the decoder's tables, so ffmpeg's decode of the
// result is the independent check of those.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct ReversibleStream {
  std::vector<uint8_t> bytes;
  // The residual partitions written, in bits from the stream's start:
  // [begin, end) of each packet's, the picture (stream order) it is in, and
  // where the same partition lay in the input stream.
  struct Residuals {
    size_t picture;
    int64_t begin;
    int64_t end;
    int64_t inputBegin;
    int64_t inputEnd;
  };
  std::vector<Residuals> residuals;
  std::string error;  // empty on success
};

// Rewrites a whole raw stream (headers, then pictures).
ReversibleStream RewriteWithReversibleCodes(const std::vector<uint8_t>& stream);

}  // namespace testsupport
