#include "matroska_blocks.h"

#include "ebml.h"

namespace tavrin::tool::matroska {

std::optional<BlockHead> ReadBlockHead(std::span<const uint8_t> body) {
  const std::optional<ebml::VarInt> track = ebml::ReadVarInt(body, 0, 8);
  if (!track || body.size() - track->length < 3) return std::nullopt;
  BlockHead head;
  head.track = track->value;
  const std::size_t at = track->length;
  head.relativeTime = static_cast<int16_t>(static_cast<uint16_t>(body[at] << 8 | body[at + 1]));
  head.flags = body[at + 2];
  head.lacing = static_cast<Lacing>((head.flags >> 1) & 3);
  head.dataOffset = at + 3;
  return head;
}

bool SplitFrames(std::span<const uint8_t> data, Lacing lacing, std::vector<std::span<const uint8_t>>& frames,
                 std::string& error) {
  frames.clear();
  if (lacing == Lacing::kNone) {
    frames.push_back(data);
    return true;
  }
  if (data.empty()) {
    error = "a laced block holds no lace head";
    return false;
  }
  const std::size_t count = std::size_t{data[0]} + 1;
  std::size_t at = 1;
  std::vector<uint64_t> sizes;  // every frame's but the last
  if (lacing == Lacing::kXiph) {
    for (std::size_t i = 0; i + 1 < count; ++i) {
      uint64_t size = 0;
      uint8_t b = 255;
      while (b == 255) {
        if (at >= data.size()) {
          error = "a block's Xiph lace sizes run past its end";
          return false;
        }
        b = data[at++];
        size += b;
      }
      sizes.push_back(size);
    }
  } else if (lacing == Lacing::kEbml) {
    uint64_t size = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
      const std::optional<ebml::VarInt> code = ebml::ReadVarInt(data, at, 8);
      if (!code) {
        error = "a block's EBML lace sizes run past its end or are damaged";
        return false;
      }
      at += code->length;
      if (i == 0) {
        size = code->value;
      } else {
        // Later sizes are differences from the one before, stored with a
        // bias of half their range.
        const int64_t bias = (int64_t{1} << (7 * code->length - 1)) - 1;
        const int64_t delta = static_cast<int64_t>(code->value) - bias;
        if (delta < 0 && static_cast<uint64_t>(-delta) > size) {
          error = "a block's EBML lace sizes fall below zero";
          return false;
        }
        size = static_cast<uint64_t>(static_cast<int64_t>(size) + delta);
      }
      if (size > data.size()) {
        error = "a block's EBML lace sizes run past its end";
        return false;
      }
      sizes.push_back(size);
    }
  } else {
    const std::size_t rest = data.size() - 1;
    if (rest % count != 0) {
      error = "a block's " + std::to_string(rest) + " bytes do not split into " + std::to_string(count) +
              " frames of one size";
      return false;
    }
    sizes.assign(count - 1, rest / count);
  }
  for (const uint64_t size : sizes) {
    if (size > data.size() - at) {
      error = "a block's laced frames run past its end";
      frames.clear();
      return false;
    }
    frames.push_back(data.subspan(at, static_cast<std::size_t>(size)));
    at += static_cast<std::size_t>(size);
  }
  frames.push_back(data.subspan(at));
  return true;
}

}  // namespace tavrin::tool::matroska
