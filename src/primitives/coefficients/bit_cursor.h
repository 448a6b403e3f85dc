// A local reading position for the coefficient decoders: bits are taken
// most significant first.  Every look at the stream loads the four bytes
// starting at the byte that holds the next unread bit.  That byte is at most
// one past the last byte consumed so far, so no read goes more than four
// bytes beyond the last consumed byte; the decoder keeps 64 zero bytes after
// the valid data, which makes that safe.
//
// The cursor works on a copy of the caller's position; decoders write the
// position back only when they succeed.
#pragma once

#include <cstdint>

#include "primitives/primitive_types.h"

namespace tavrin::coefficients {

class BitCursor {
 public:
  BitCursor(BytePointer byte, int32_t bit) : base_(byte), consumed_(static_cast<uint32_t>(bit)) {}

  // The four bytes from the one that holds the next unread bit, the first
  // one most significant; its top bit() bits are consumed already.
  uint32_t Word() const {
    const uint8_t* p = base_ + (consumed_ >> 3);
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) |
           uint32_t{p[3]};
  }

  // The next bits, not consumed, from the most significant bit down; at
  // least the top 25 of them are stream bits, the rest are 0.
  uint32_t Window() const { return Word() << (consumed_ & 7); }

  // The next n bits (1 to 25), not consumed.
  uint32_t Peek(int32_t n) const { return Window() >> (32 - n); }

  void Skip(int32_t n) { consumed_ += static_cast<uint32_t>(n); }

  uint32_t Read(int32_t n) {
    const uint32_t v = Peek(n);
    Skip(n);
    return v;
  }

  // The position in the primitives' form.
  BytePointer byte() const { return base_ + (consumed_ >> 3); }
  int32_t bit() const { return static_cast<int32_t>(consumed_ & 7); }

  void StoreTo(BytePointer* bytePos, int32_t* bitPos) const {
    *bytePos = byte();
    *bitPos = bit();
  }

 private:
  BytePointer base_;
  uint32_t consumed_;  // bits consumed since base_
};

}  // namespace tavrin::coefficients
