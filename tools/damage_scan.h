// Telling which pictures of a stream are damaged, and how many macroblocks
// the decoder conceals in each, without decoding: the tool reaches the
// decoder only through its exported interface, which says nothing of
// damage, so it walks every macroblock's codes itself, by the decoder's
// rules.  A packet stops at its first code that cannot be right (or when it
// runs past the next resynchronisation marker); the macroblocks from there
// (and those that began shortly before: kSuspectBits, the decoder's) to
// the next packet, or to the picture's end, are concealed; a packet that
// ends early or late, or a picture whose data goes on after its last
// macroblock, is damaged too.  Data-partitioned packets are read part by
// part, and their reversible residuals from both ends, as the decoder
// reads them.  The walk follows the decoder closely but not in every
// detail (runs of escaped codes, time distances, intra DCs no block can
// have, which only the rebuilt values show), so on damaged data its
// count can differ from the decoder's by a few macroblocks; intact
// pictures read as intact.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

struct PictureDamage {
  bool readable = true;  // the picture header reads
  bool decoded = true;   // a coded I, P or B picture the decoder decodes
  bool damaged = false;
  int concealed = 0;     // macroblocks the decoder conceals
};

// The decoder's distance (bits) before the point where damage showed
// within which a macroblock that began there is not trusted either (more
// in intra pictures).
inline constexpr int64_t kSuspectBits = 512;
inline constexpr int64_t kIntraSuspectBits = 2048;
// How many times a packet is read again with the bound of a marker that
// turned out not to be one moved on.
inline constexpr int kPacketRetries = 4;

class DamageScanner {
 public:
  explicit DamageScanner(const VideoObjectLayer& layer);

  // One picture's bytes (from its start code, as the decoder is handed
  // them), in stream order.
  PictureDamage Scan(std::span<const uint8_t> picture);

  int macroblocks() const { return total_; }

 private:
  friend class PictureWalk;
  VideoObjectLayer layer_;
  int mbWidth_ = 0;
  int total_ = 0;
  // Per macroblock of the newest I or P picture: whether the decoder keeps
  // it as not coded (what B pictures read).
  std::vector<uint8_t> anchorSkipped_;
};

}  // namespace tavrin::tool
