// Taking the values a fuzzing target needs from the front of its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // The next byte, or 0 once the input is used up.
  uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }

  uint16_t Word() {
    const uint16_t high = Byte();
    return static_cast<uint16_t>(high << 8 | Byte());
  }

  // Everything not taken yet.
  const uint8_t* rest() const { return data_ + used_; }
  size_t restSize() const { return size_ - used_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

// Bytes as the decoder holds them: the data followed by 64 zero bytes, in a
// block of exactly that size, so that any read beyond the padding is caught.
inline std::vector<uint8_t> Padded(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  bytes.resize(size + 64, 0);
  return bytes;
}

}  // namespace tavrin::fuzz
