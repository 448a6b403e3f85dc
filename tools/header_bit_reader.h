// The bit reader of the tool's header parsing: most significant bit
// first, with the header element being read named in the error that ends
// the parse when the bytes run out or a marker bit is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavrin::tool {

// Thrown by the reader when the bytes end or a marker bit is 0; caught by
// the parsers and turned into their error text.
struct HeaderError {
  std::string what;
};

class HeaderBits {
 public:
  HeaderBits(std::span<const uint8_t> bytes, std::size_t byteOffset) : bytes_(bytes), bit_(byteOffset * 8) {}

  uint32_t Read(int count, const char* element) {
    if (bit_ + static_cast<std::size_t>(count) > bytes_.size() * 8) {
      throw HeaderError{std::string("the header ends before ") + element};
    }
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++bit_) {
      value = (value << 1) | ((bytes_[bit_ >> 3] >> (7 - (bit_ & 7))) & 1u);
    }
    return value;
  }
  bool Flag(const char* element) { return Read(1, element) != 0; }
  void Marker(const char* after) {
    if (Read(1, "a marker bit") == 0) throw HeaderError{std::string("the marker bit after ") + after + " is 0"};
  }
  std::size_t position() const { return bit_; }

 private:
  std::span<const uint8_t> bytes_;
  std::size_t bit_;
};

}  // namespace tavrin::tool
