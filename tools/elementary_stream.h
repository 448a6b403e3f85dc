// Splitting a raw MPEG-4 Visual elementary stream (the start-code form that
// .m4v, .cmp and .bits files hold) into what the decoder takes: the header
// bytes once, then one compressed picture (video object plane) per call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavrin::tool {

// Start code values: the byte that follows the prefix 00 00 01.
inline constexpr uint8_t kVideoObjectFirst = 0x00;  // 00..1F: video object
inline constexpr uint8_t kVideoObjectLast = 0x1F;
inline constexpr uint8_t kVideoObjectLayerFirst = 0x20;  // 20..2F: video object layer
inline constexpr uint8_t kVideoObjectLayerLast = 0x2F;
inline constexpr uint8_t kVisualObjectSequence = 0xB0;
inline constexpr uint8_t kVisualObjectSequenceEnd = 0xB1;
inline constexpr uint8_t kUserData = 0xB2;
inline constexpr uint8_t kGroupOfVop = 0xB3;
inline constexpr uint8_t kVisualObject = 0xB5;
inline constexpr uint8_t kVideoObjectPlane = 0xB6;

inline bool IsVideoObject(uint8_t code) { return code <= kVideoObjectLast; }
inline bool IsVideoObjectLayer(uint8_t code) {
  return code >= kVideoObjectLayerFirst && code <= kVideoObjectLayerLast;
}

struct StartCode {
  std::size_t offset;  // of the first 00 of the prefix
  uint8_t value;       // the byte after 00 00 01
};

// Every start code prefix 00 00 01 followed by one more byte, in order.
// Overlapping prefixes (00 00 00 01) are found at their last two zeros.
std::vector<StartCode> FindStartCodes(std::span<const uint8_t> bytes);

// Offset of the first start code with the given value at or after `from`, or
// bytes.size() when there is none.
std::size_t FindStartCode(std::span<const uint8_t> bytes, uint8_t value, std::size_t from = 0);

// A short name for a start code value ("video object plane", "user data",
// "video object layer 0", ...), for listings.
std::string StartCodeName(uint8_t value);

struct PictureUnit {
  // Offset of the picture start code 00 00 01 B6.
  std::size_t offset = 0;
  // Bytes up to the next picture start code, or to the end of the stream:
  // what the decoder is handed for this picture.  Headers that come between
  // two pictures (group of pictures, repeated sequence headers, user data)
  // stay at the end of the earlier picture, where the decoder ignores them.
  std::size_t size = 0;
  // Bytes up to the next start code of any kind: the picture alone.
  std::size_t codedSize = 0;
};

struct ElementaryStream {
  // Header bytes for the decoder: from the first video object start code up
  // to the first picture start code after it.  Visual object sequence,
  // visual object and user data in front of it are not part of it.
  std::size_t headerOffset = 0;
  std::size_t headerSize = 0;
  // Offset of the video object layer start code inside the stream.
  std::size_t layerOffset = 0;
  std::vector<PictureUnit> pictures;

  // What came in front of the video object start code.
  bool hasVisualObjectSequence = false;
  bool hasVisualObject = false;
  // Picture start codes in front of the first video object start code; such
  // pictures cannot be decoded (their header comes later) and are dropped.
  std::size_t droppedLeadingPictures = 0;
  // Start codes between the first and last picture that belong to no
  // picture (group of pictures, repeated video object and layer headers,
  // user data, sequence end).
  std::size_t headersBetweenPictures = 0;

  std::span<const uint8_t> Header(std::span<const uint8_t> bytes) const {
    return bytes.subspan(headerOffset, headerSize);
  }
  std::span<const uint8_t> Picture(std::span<const uint8_t> bytes, std::size_t index) const {
    return bytes.subspan(pictures[index].offset, pictures[index].size);
  }
  std::span<const uint8_t> CodedPicture(std::span<const uint8_t> bytes, std::size_t index) const {
    return bytes.subspan(pictures[index].offset, pictures[index].codedSize);
  }
};

struct SplitResult {
  ElementaryStream stream;
  // Empty on success, else why the bytes are not a stream the tool can hand
  // to the decoder, in words for a person ("no video object start code
  // (00 00 01 00..1F) found: ...").
  std::string error;
  bool ok() const { return error.empty(); }
};

// Splits the bytes of a raw elementary stream.  Fails when there is no video
// object start code, when no video object layer start code follows it
// directly, or when no picture start code follows the layer header.
// (Short-header streams, whose pictures follow a video object start code
// directly, are read by short_header.h.)
SplitResult SplitElementaryStream(std::span<const uint8_t> bytes);

}  // namespace tavrin::tool
