// Matroska blocks (Block and SimpleBlock bodies): the head that names the
// track, the timestamp relative to the cluster's and the flags, then one
// frame or several laced together (Xiph, EBML or fixed-size lacing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavrin::tool::matroska {

enum class Lacing { kNone = 0, kXiph = 1, kFixed = 2, kEbml = 3 };

struct BlockHead {
  uint64_t track = 0;
  int16_t relativeTime = 0;  // in timestamp-scale units from the cluster's timestamp
  uint8_t flags = 0;
  Lacing lacing = Lacing::kNone;
  std::size_t dataOffset = 0;  // where the lacing head (or the one frame) starts
};

// The head of a block body; nothing when the body is too short for one.
std::optional<BlockHead> ReadBlockHead(std::span<const uint8_t> body);

// The frames of the block data after the head (`body` from
// head.dataOffset on).  False, with the reason, when the lace sizes do not
// fit the data; frames then holds nothing.
bool SplitFrames(std::span<const uint8_t> data, Lacing lacing, std::vector<std::span<const uint8_t>>& frames,
                 std::string& error);

}  // namespace tavrin::tool::matroska
