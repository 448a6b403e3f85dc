// Bounds-checked reading of fixed-size integers and tags from a byte span,
// for the container readers.  Every read names the offset it wants and
// fails (returns false, leaving the value alone) instead of reading past
// the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavrin::tool {

class ByteView {
 public:
  ByteView() = default;
  explicit ByteView(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> bytes() const { return bytes_; }

  // True when [offset, offset + count) lies inside the view, without
  // overflowing.
  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }

  bool Le16(std::size_t offset, uint32_t& value) const { return Read(offset, 2, false, value); }
  bool Le32(std::size_t offset, uint32_t& value) const { return Read(offset, 4, false, value); }
  bool Be16(std::size_t offset, uint32_t& value) const { return Read(offset, 2, true, value); }
  bool Be24(std::size_t offset, uint32_t& value) const { return Read(offset, 3, true, value); }
  bool Be32(std::size_t offset, uint32_t& value) const { return Read(offset, 4, true, value); }
  bool Be64(std::size_t offset, uint64_t& value) const {
    uint32_t high = 0, low = 0;
    if (!Be32(offset, high) || !Be32(offset + 4, low)) return false;
    value = (static_cast<uint64_t>(high) << 32) | low;
    return true;
  }
  bool Byte(std::size_t offset, uint32_t& value) const { return Read(offset, 1, true, value); }

  // Four bytes as a tag ("RIFF", "moov"); empty when out of range.
  std::string Tag(std::size_t offset) const {
    if (!Has(offset, 4)) return {};
    return std::string(reinterpret_cast<const char*>(bytes_.data() + offset), 4);
  }

  // The bytes [offset, offset + count), clipped to the view.
  std::span<const uint8_t> Slice(std::size_t offset, std::size_t count) const {
    if (offset > bytes_.size()) return {};
    if (count > bytes_.size() - offset) count = bytes_.size() - offset;
    return bytes_.subspan(offset, count);
  }

 private:
  bool Read(std::size_t offset, std::size_t count, bool bigEndian, uint32_t& value) const {
    if (!Has(offset, count)) return false;
    uint32_t v = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const uint32_t b = bytes_[offset + (bigEndian ? i : count - 1 - i)];
      v = (v << 8) | b;
    }
    value = v;
    return true;
  }

  std::span<const uint8_t> bytes_;
};

// A tag made printable for messages: other bytes become '?'.
inline std::string PrintableTag(const std::string& tag) {
  std::string text = tag;
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  }
  return text;
}

}  // namespace tavrin::tool
