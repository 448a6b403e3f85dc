// The walk of one picture for the damage scan (damage_scan.h): the
// macroblock codes of every picture type, video packets, and the
// partitions of data-partitioned packets, by the decoder's rules.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "damage_scan.h"

namespace tavrin::tool {

// Reads bits at any position of a picture's bytes, zeros past their end.
class BitSpan {
 public:
  BitSpan(std::span<const uint8_t> bytes, int64_t bit) : pos(bit), bytes_(bytes) {}
  int Bit(int64_t p) const {
    if (p < 0 || p >= size()) return 0;
    return (bytes_[static_cast<std::size_t>(p >> 3)] >> (7 - (p & 7))) & 1;
  }
  uint32_t Peek(int n) const {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 1 | static_cast<uint32_t>(Bit(pos + i));
    return v;
  }
  uint32_t Read(int n) {
    const uint32_t v = Peek(n);
    pos += n;
    return v;
  }
  int64_t size() const { return static_cast<int64_t>(bytes_.size()) * 8; }
  std::span<const uint8_t> bytes() const { return bytes_; }

  int64_t pos;

 private:
  std::span<const uint8_t> bytes_;
};

class PictureWalk {
 public:
  PictureWalk(DamageScanner& scanner, std::span<const uint8_t> bytes, const PictureHeader& header);
  // The concealed macroblocks (0 for an intact picture) and whether the
  // picture was damaged.
  PictureDamage Run();

 private:
  // Macroblock codes (damage_walk.cpp).
  bool Macroblock(int index);
  bool IntraMacroblock();
  bool PredictedMacroblock(int index);
  bool BidirectionalMacroblock(int index);
  bool IntraMcbpc(int& type, int& cbpc);
  bool PredictedMcbpc(int& type, int& cbpc);
  bool Cbpy(int& cbpy);
  void Dquant();
  bool Vector(int fcode);
  bool Dc(int block);
  bool Block(bool intra, int firstIndex);
  bool BlockCodes(bool intra, int firstIndex);
  bool UseDcCodes() const;

  // Packets.
  void CombinedPicture();
  int NextMarker(int from) const;
  bool MarkerFollows() const;
  bool ReadHeaderAt(int marker, int after, int& macroblock, int& quant);
  bool EndsCleanly() const;
  void Lose(int from, int to);
  int SuspectFrom(int first, int at, int64_t detected) const;

  // Short-header pictures: groups of blocks where video packets would be
  // (damage_short_header.cpp).
  bool ShortHeaderMacroblock(int index);
  bool GroupStartFollows() const;
  int NextGroupMarker(int from) const;
  bool ReadGroupHeaderAt(int marker, int after, int& macroblock, int& quant);

  // Data partitioning (damage_partitions.cpp).
  void PartitionedPicture();
  int PartitionedPacket(int first, int expected, int64_t begin, int64_t end, int64_t limit);

  DamageScanner& s_;
  const PictureHeader& h_;
  BitSpan bits_;
  int markerLength_ = 17;
  int macroblockBits_ = 1;
  int quant_ = 1;
  int64_t limit_ = 0;  // reading past this bit is damage
  bool damaged_ = false;
  std::vector<uint8_t> lost_;
  std::vector<uint8_t> skipped_;  // decoded as not coded
  std::vector<int64_t> start_;
};

}  // namespace tavrin::tool
