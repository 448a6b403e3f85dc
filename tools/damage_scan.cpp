#include "damage_scan.h"

#include <algorithm>

#include "damage_walk.h"

namespace tavrin::tool {

DamageScanner::DamageScanner(const VideoObjectLayer& layer) : layer_(layer) {
  mbWidth_ = (layer.videoObjectLayerWidth + 15) / 16;
  total_ = mbWidth_ * ((layer.videoObjectLayerHeight + 15) / 16);
  anchorSkipped_.assign(static_cast<std::size_t>(std::max(total_, 0)), 0);
}

PictureDamage DamageScanner::Scan(std::span<const uint8_t> picture) {
  PictureDamage d;
  const PictureHeaderResult r = ParsePictureHeader(picture, layer_);
  if (!r.ok()) {
    // The decoder finds no picture there and shows the one before again.
    d.readable = false;
    d.decoded = false;
    d.damaged = true;
    d.concealed = total_;
    return d;
  }
  const PictureHeader& h = r.header;
  if (!h.vopCoded || !h.detailsKnown || total_ <= 0) {  // static sprites have no details
    d.decoded = false;
    return d;
  }
  if (h.vopCodingType == CodingType::kIntra)
    std::fill(anchorSkipped_.begin(), anchorSkipped_.end(), uint8_t{0});
  return PictureWalk(*this, picture, h).Run();
}

// ---- The packet walk of pictures without partitions -------------------

int PictureWalk::NextMarker(int from) const {
  if (s_.layer_.shortVideoHeader) return NextGroupMarker(from);
  const std::span<const uint8_t> b = bits_.bytes();
  const int length = static_cast<int>(b.size());
  const int tail = markerLength_ - 16;
  for (int p = std::max(from, 0); p + 2 < length; ++p)
    if (b[static_cast<std::size_t>(p)] == 0 && b[static_cast<std::size_t>(p + 1)] == 0 &&
        (b[static_cast<std::size_t>(p + 2)] >> (8 - tail)) == 1)
      return p;
  return length;
}

bool PictureWalk::MarkerFollows() const {
  if (s_.layer_.shortVideoHeader) return GroupStartFollows();
  if (s_.layer_.resyncMarkerDisable) return false;
  const int stuffing = 8 - static_cast<int>(bits_.pos & 7);
  BitSpan probe = bits_;
  if (probe.Read(stuffing) != (1u << (stuffing - 1)) - 1) return false;
  return probe.Read(markerLength_) == 1;
}

bool PictureWalk::ReadHeaderAt(int marker, int after, int& macroblock, int& quant) {
  if (s_.layer_.shortVideoHeader) return ReadGroupHeaderAt(marker, after, macroblock, quant);
  bits_.pos = int64_t{marker} * 8 + markerLength_;
  macroblock = static_cast<int>(bits_.Read(macroblockBits_));
  quant = static_cast<int>(bits_.Read(s_.layer_.quantPrecision));
  if (bits_.Read(1)) {  // header extension
    for (int n = 0; n < 64 && bits_.Read(1); ++n) {
    }
    bits_.pos += 1 + s_.layer_.vopTimeIncrementBits + 1;
    const uint32_t type = bits_.Read(2);
    bits_.pos += 3;
    if (type != 0) bits_.pos += 3;
    if (type == 2) bits_.pos += 3;
  }
  return macroblock < s_.total_ && quant >= 1 && macroblock > after;
}

bool PictureWalk::EndsCleanly() const {
  const int64_t size = bits_.size();
  if (s_.layer_.shortVideoHeader) {
    // Zero bits to the end, or at least the 16 of a start code before the
    // first 1.  (The decoder keeps what it decoded when this fails, as the
    // damage then lies far back; the picture is damaged all the same.)
    if (bits_.pos > size) return false;
    int64_t zeros = 0;
    BitSpan probe = bits_;
    while (probe.pos < size && probe.Peek(1) == 0) {
      ++probe.pos;
      ++zeros;
    }
    return probe.pos >= size || zeros >= 16;
  }
  if (bits_.pos == size && (bits_.pos & 7) == 0) return true;
  if (bits_.pos >= size) return false;
  const int stuffing = 8 - static_cast<int>(bits_.pos & 7);
  const uint32_t v = bits_.Peek(stuffing);
  const bool stuffed = v == (1u << (stuffing - 1)) - 1;
  if (!stuffed && v != 0) return false;
  const std::span<const uint8_t> b = bits_.bytes();
  const std::size_t next = static_cast<std::size_t>((bits_.pos + stuffing) >> 3);
  if (stuffed && next + 3 <= b.size() && b[next] == 0 && b[next + 1] == 0 && b[next + 2] == 1) return true;
  return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(next), b.end(), [](uint8_t x) { return x == 0; });
}

void PictureWalk::Lose(int from, int to) {
  for (int i = std::max(from, 0); i < std::min(to, s_.total_); ++i) lost_[static_cast<std::size_t>(i)] = 1;
}

int PictureWalk::SuspectFrom(int first, int at, int64_t detected) const {
  int from = std::min(at, s_.total_);
  const int64_t suspect = h_.vopCodingType == CodingType::kIntra ? kIntraSuspectBits : kSuspectBits;
  while (from > first && start_[static_cast<std::size_t>(from - 1)] >= detected - suspect) --from;
  return from;
}

void PictureWalk::CombinedPicture() {
  // Short-header pictures always have groups of blocks.
  const bool packets = !s_.layer_.resyncMarkerDisable || s_.layer_.shortVideoHeader;
  const int total = s_.total_;
  const int64_t dataBits = bits_.size();
  auto limitPacket = [&]() {
    const int end = NextMarker(static_cast<int>(bits_.pos >> 3));
    limit_ = int64_t{end} * 8;
    return end;
  };
  int end = packets ? limitPacket() : static_cast<int>(dataBits >> 3);
  if (!packets) limit_ = dataBits;
  int first = 0;
  int i = 0;
  int64_t packetStart = bits_.pos;
  int packetQuant = quant_;
  int retries = 0;
  while (i < total) {
    bool ok = true;
    for (; i < total; ++i) {
      if (i > first && MarkerFollows()) break;
      start_[static_cast<std::size_t>(i)] = bits_.pos;
      ok = Macroblock(i) && bits_.pos <= limit_;
      if (!ok) break;
    }
    const int64_t detected = bits_.pos;
    // Intact data may hold a marker's bits at a byte boundary by chance; a
    // packet that fails after reading past the marker that bounded it is
    // read again up to the marker after it, as the decoder does.
    if (packets && !ok && detected > int64_t{end} * 8 && end < static_cast<int>(dataBits >> 3) &&
        retries < kPacketRetries) {
      ++retries;
      end = NextMarker(end + 1);
      limit_ = int64_t{end} * 8;
      bits_.pos = packetStart;
      i = first;
      quant_ = packetQuant;
      continue;
    }
    if (ok && i == total) {
      if (!EndsCleanly()) {
        Lose(SuspectFrom(first, total, detected), total);
        damaged_ = true;
      }
      break;
    }
    int next = -1, quant = 0;
    int marker = end;
    while (packets && marker < static_cast<int>(dataBits >> 3)) {
      if (ReadHeaderAt(marker, first, next, quant)) break;
      next = -1;
      marker = NextMarker(marker + 1);
    }
    if (next < 0) {
      Lose(!ok ? SuspectFrom(first, i, detected) : i, total);
      damaged_ = true;
      break;
    }
    bool intact = ok && next >= i && marker == end;
    for (int j = i; intact && j < next; ++j)
      intact = h_.vopCodingType == CodingType::kBidirectional && s_.anchorSkipped_[static_cast<std::size_t>(j)];
    if (!intact) {
      Lose(SuspectFrom(first, std::min(i, next), detected), next);
      damaged_ = true;
    }
    i = first = next;
    quant_ = packetQuant = quant;
    packetStart = bits_.pos;
    retries = 0;
    end = limitPacket();
  }
}

}  // namespace tavrin::tool
