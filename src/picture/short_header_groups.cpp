#include "picture/short_header_groups.h"

#include <algorithm>
#include <cstring>

#include "picture/picture_decoders.h"

namespace tavrin {

namespace {

// The bit (0 to 7) of byte p at which a start code begins, or -1.  Sixteen
// zeros from bit k of byte p on take all of byte p + 1.
int32_t StartCodeBit(const uint8_t* p) {
  if (p[1] != 0) return -1;
  const uint32_t word = BitReader::LoadBigEndian32(p);
  for (int32_t k = 0; k < 8; ++k) {
    if (((word << k) >> 15) == 1) return k;
  }
  return -1;
}

}  // namespace

int32_t GroupsOfBlocks::NextMarker(const BitReader& reader, int32_t from) const {
  const uint8_t* data = reader.bufferStart;
  const int32_t length = reader.dataLength;
  for (int32_t p = std::max(from, 0); p + 2 < length;) {
    // A code that begins inside byte p has the zero byte p + 1 after it.
    const void* zero = std::memchr(data + p + 1, 0, static_cast<size_t>(length - 2 - p));
    if (zero == nullptr) break;
    p = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - data) - 1;
    if (const int32_t k = StartCodeBit(data + p); k >= 0) return k == 0 ? p : p + 1;
    ++p;
  }
  return length;
}

int32_t GroupsOfBlocks::ReadHeaderAt(DecoderContext& c, int32_t marker, int32_t after,
                                     VideoPacketHeader& header) const {
  BitReader& r = c.reader;
  const uint8_t* p = r.bufferStart + marker;
  int32_t k = StartCodeBit(p);
  if (k != 0 && marker > 0) {
    k = StartCodeBit(p - 1);
    p -= 1;
  }
  if (k < 0) return kInvalidMacroblockCode;
  r.bytePos = p;
  r.bitPos = k;
  GroupOfBlocksHeader group;
  ReadGroupOfBlocksHeader(r, group);
  header.macroblockNumber = group.groupNumber * macroblocksPerGroup_;
  header.quant = group.quant;
  if (group.groupNumber < 1 || group.groupNumber >= groupCount_ || header.macroblockNumber <= after ||
      group.quant < 1)
    return kInvalidMacroblockCode;
  return 0;
}

}  // namespace tavrin
