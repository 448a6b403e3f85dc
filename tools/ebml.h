// Bounds-checked reading of EBML, the binary markup Matroska is written in:
// elements of an ID, a size and a body, IDs and sizes coded as
// variable-length integers whose first byte tells their length.
//
// Nothing here reads outside the span it is given, and every function that
// walks forward either advances or fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tavrin::tool::ebml {

// Element IDs, with their length marker bits kept (as written).
namespace id {
inline constexpr uint32_t kHeader = 0x1A45DFA3;
inline constexpr uint32_t kDocType = 0x4282;
inline constexpr uint32_t kDocTypeVersion = 0x4287;
inline constexpr uint32_t kDocTypeReadVersion = 0x4285;
inline constexpr uint32_t kVoid = 0xEC;
inline constexpr uint32_t kCrc32 = 0xBF;

inline constexpr uint32_t kSegment = 0x18538067;
inline constexpr uint32_t kSeekHead = 0x114D9B74;
inline constexpr uint32_t kInfo = 0x1549A966;
inline constexpr uint32_t kTracks = 0x1654AE6B;
inline constexpr uint32_t kCluster = 0x1F43B675;
inline constexpr uint32_t kCues = 0x1C53BB6B;
inline constexpr uint32_t kChapters = 0x1043A770;
inline constexpr uint32_t kTags = 0x1254C367;
inline constexpr uint32_t kAttachments = 0x1941A469;

inline constexpr uint32_t kTimestampScale = 0x2AD7B1;
inline constexpr uint32_t kMuxingApp = 0x4D80;
inline constexpr uint32_t kWritingApp = 0x5741;

inline constexpr uint32_t kTrackEntry = 0xAE;
inline constexpr uint32_t kTrackNumber = 0xD7;
inline constexpr uint32_t kTrackType = 0x83;
inline constexpr uint32_t kCodecId = 0x86;
inline constexpr uint32_t kCodecPrivate = 0x63A2;
inline constexpr uint32_t kDefaultDuration = 0x23E383;
inline constexpr uint32_t kVideo = 0xE0;
inline constexpr uint32_t kPixelWidth = 0xB0;
inline constexpr uint32_t kPixelHeight = 0xBA;
inline constexpr uint32_t kContentEncodings = 0x6D80;
inline constexpr uint32_t kContentEncoding = 0x6240;
inline constexpr uint32_t kContentEncodingOrder = 0x5031;
inline constexpr uint32_t kContentEncodingScope = 0x5032;
inline constexpr uint32_t kContentEncodingType = 0x5033;
inline constexpr uint32_t kContentCompression = 0x5034;
inline constexpr uint32_t kContentCompAlgo = 0x4254;
inline constexpr uint32_t kContentCompSettings = 0x4255;
inline constexpr uint32_t kContentEncryption = 0x5035;

inline constexpr uint32_t kTimestamp = 0xE7;
inline constexpr uint32_t kPosition = 0xA7;
inline constexpr uint32_t kPrevSize = 0xAB;
inline constexpr uint32_t kSilentTracks = 0x5854;
inline constexpr uint32_t kSimpleBlock = 0xA3;
inline constexpr uint32_t kBlockGroup = 0xA0;
inline constexpr uint32_t kBlock = 0xA1;
inline constexpr uint32_t kEncryptedBlock = 0xAF;
}  // namespace id

// A variable-length integer: its value with the length marker removed, and
// how many bytes it took.  `allOnes` is set when every value bit is 1 (an
// element size of that form means "unknown").
struct VarInt {
  uint64_t value = 0;
  std::size_t length = 0;
  bool allOnes = false;
};

// The integer at `offset`, 1 to `maxLength` bytes; nothing when its first
// byte is 0 (or longer than allowed) or it does not fit.
std::optional<VarInt> ReadVarInt(std::span<const uint8_t> bytes, std::size_t offset, std::size_t maxLength = 8);

// An element's head: where its body lies in the span it was read from.  An
// element of unknown size (live recordings) has `unknownSize` set and its
// body running to the end of the range it was read in; so does one whose
// declared size runs past that end, with `clipped` set.
struct Element {
  uint32_t id = 0;
  std::size_t offset = 0;     // where the ID starts
  std::size_t bodyBegin = 0;  // after ID and size
  std::size_t bodyEnd = 0;
  uint64_t declaredSize = 0;  // as written; meaningless when unknownSize
  bool unknownSize = false;
  bool clipped = false;
  std::size_t bodySize() const { return bodyEnd - bodyBegin; }
};

// Reads the element head at `offset` within [.., end) of `bytes`: a valid
// ID (1 to 4 bytes, not all value bits 0 or 1) and a size (1 to 8 bytes).
// Nothing when the head is not valid or does not fit before `end`.
std::optional<Element> ReadElement(std::span<const uint8_t> bytes, std::size_t offset, std::size_t end);

// Body values.  An unsigned integer of 0 to 8 bytes (0 bytes is 0);
// nothing when longer.
std::optional<uint64_t> ReadUnsigned(std::span<const uint8_t> body);
// A string body, stopped at its first zero byte (the padding writers may
// leave).
std::string ReadString(std::span<const uint8_t> body);

// Walks the child elements of [begin, end), calling visit(element) for
// each until visit returns false or a child head cannot be read; returns
// the offset where the walk stopped (end when every child was read).  A
// child that claims more bytes than remain is clipped to `end` (and is the
// last).  A child of unknown size ends the walk after it.
template <typename Visit>
std::size_t WalkChildren(std::span<const uint8_t> bytes, std::size_t begin, std::size_t end, Visit&& visit) {
  std::size_t at = begin;
  while (at < end) {
    const std::optional<Element> e = ReadElement(bytes, at, end);
    if (!e) return at;
    if (!visit(*e)) return at;
    if (e->unknownSize || e->clipped || e->bodyEnd <= at) return e->bodyEnd > at ? e->bodyEnd : end;
    at = e->bodyEnd;
  }
  return end;
}

}  // namespace tavrin::tool::ebml
