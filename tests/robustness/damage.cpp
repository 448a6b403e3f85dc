#include "damage.h"

#include <algorithm>

namespace robustness {

void FlipBits(Bytes& bytes, size_t count, Random& random, size_t from) {
  if (bytes.size() <= from) return;
  for (size_t i = 0; i < count; ++i) {
    const size_t bit = Pick(random, from * 8, bytes.size() * 8 - 1);
    bytes[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
  }
}

void OverwriteRun(Bytes& bytes, size_t length, Random& random, size_t from) {
  if (bytes.size() <= from) return;
  const size_t start = Pick(random, from, bytes.size() - 1);
  const size_t end = std::min(bytes.size(), start + length);
  const size_t kind = Pick(random, 0, 3);
  for (size_t i = start; i < end; ++i)
    bytes[i] = kind == 0 ? 0x00 : kind == 1 ? 0xFF : static_cast<uint8_t>(Pick(random, 0, 255));
}

void AppendGarbage(Bytes& bytes, size_t length, Random& random) {
  for (size_t i = 0; i < length; ++i) {
    const size_t roll = Pick(random, 0, 63);
    if (roll == 0) {
      bytes.insert(bytes.end(), {0x00, 0x00, 0x01});
    } else if (roll == 1) {
      bytes.insert(bytes.end(), {0x00, 0x00, 0x01, 0xB6});
    } else {
      bytes.push_back(static_cast<uint8_t>(Pick(random, 0, 255)));
    }
  }
}

Bytes GarbagePicture(size_t length, Random& random) {
  Bytes bytes{0x00, 0x00, 0x01, 0xB6};
  for (size_t i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(Pick(random, 0, 255)));
  return bytes;
}

}  // namespace robustness
