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

// Splitting a stream into pictures as hosts do.  MPEG-4 Visual: the header
// before the first picture start code (00 00 01 B6), then one picture from
// each start code to the next.  Short-header (H.263) streams, which begin
// with a short-header picture start code (00 00 80..83, perhaps behind a
// video object start code): one picture from each such start code on a
// byte boundary to the next, the first picture being the header too.
struct StreamPictures {
  StreamPictures(const uint8_t* data, size_t size) : data_(data), size_(size) {
    shortHeader_ = ShortHeaderStartAt(0) ||
                   (size > 4 && data[0] == 0 && data[1] == 0 && data[2] == 1 && data[3] <= 0x1F &&
                    ShortHeaderStartAt(4));
  }
  bool shortHeader() const { return shortHeader_; }
  // Offset of the next picture start code at or after `from`, or size.
  size_t NextPicture(size_t from) const {
    for (size_t i = from; i + 3 <= size_; ++i) {
      if (shortHeader_ ? ShortHeaderStartAt(i)
                       : i + 3 < size_ && data_[i] == 0 && data_[i + 1] == 0 && data_[i + 2] == 1 &&
                             data_[i + 3] == 0xB6)
        return i;
    }
    return size_;
  }
  // Where the pictures begin, and where the header ends.
  size_t FirstPicture() const { return shortHeader_ ? 0 : NextPicture(0); }
  size_t HeaderEnd() const { return shortHeader_ ? NextPicture(3) : NextPicture(0); }

 private:
  bool ShortHeaderStartAt(size_t at) const {
    return at + 2 < size_ && data_[at] == 0 && data_[at + 1] == 0 && (data_[at + 2] & 0xFC) == 0x80;
  }
  const uint8_t* data_;
  size_t size_;
  bool shortHeader_ = false;
};

}  // namespace tavrin::fuzz
