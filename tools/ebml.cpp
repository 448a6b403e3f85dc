#include "ebml.h"

namespace tavrin::tool::ebml {

std::optional<VarInt> ReadVarInt(std::span<const uint8_t> bytes, std::size_t offset, std::size_t maxLength) {
  if (offset >= bytes.size()) return std::nullopt;
  const uint8_t first = bytes[offset];
  if (first == 0) return std::nullopt;
  std::size_t length = 1;
  while ((first & (0x80 >> (length - 1))) == 0) ++length;
  if (length > maxLength || length > bytes.size() - offset) return std::nullopt;
  // The first byte keeps the bits after its marker.
  const uint64_t firstBits = first & ((1u << (8 - length)) - 1);
  uint64_t value = firstBits;
  for (std::size_t i = 1; i < length; ++i) value = (value << 8) | bytes[offset + i];
  const uint64_t ones = (uint64_t{1} << (7 * length)) - 1;
  return VarInt{value, length, value == ones};
}

std::optional<Element> ReadElement(std::span<const uint8_t> bytes, std::size_t offset, std::size_t end) {
  if (end > bytes.size() || offset >= end) return std::nullopt;
  const std::span<const uint8_t> range = bytes.first(end);
  const std::optional<VarInt> idCode = ReadVarInt(range, offset, 4);
  if (!idCode) return std::nullopt;
  // IDs whose value bits are all 0 or all 1 are reserved.
  if (idCode->value == 0 || idCode->allOnes) return std::nullopt;
  uint32_t id = 0;
  for (std::size_t i = 0; i < idCode->length; ++i) id = (id << 8) | range[offset + i];
  const std::optional<VarInt> size = ReadVarInt(range, offset + idCode->length, 8);
  if (!size) return std::nullopt;
  Element e;
  e.id = id;
  e.offset = offset;
  e.bodyBegin = offset + idCode->length + size->length;
  e.declaredSize = size->value;
  e.unknownSize = size->allOnes;
  if (e.unknownSize) {
    e.bodyEnd = end;
  } else if (size->value > end - e.bodyBegin) {
    e.bodyEnd = end;
    e.clipped = true;
  } else {
    e.bodyEnd = e.bodyBegin + static_cast<std::size_t>(size->value);
  }
  return e;
}

std::optional<uint64_t> ReadUnsigned(std::span<const uint8_t> body) {
  if (body.size() > 8) return std::nullopt;
  uint64_t value = 0;
  for (const uint8_t b : body) value = (value << 8) | b;
  return value;
}

std::string ReadString(std::span<const uint8_t> body) {
  std::string text;
  for (const uint8_t b : body) {
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  return text;
}

}  // namespace tavrin::tool::ebml
