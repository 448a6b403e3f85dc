#include "support/rvlc_rewriter.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "bitstream/picture_header.h"
#include "bitstream/sequence_header.h"
#include "decoder/frame_store.h"
#include "decoder/stream_setup.h"
#include "picture/partitions_packet.h"
#include "picture/partitions_walk.h"
#include "picture/video_packet.h"
#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/coefficients/reversible_codes.h"
#include "support/stream_builder.h"

namespace testsupport {
namespace {

using namespace tavrin;

bool IsStart(const std::vector<uint8_t>& s, size_t i, uint8_t code) {
  return i + 3 < s.size() && s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && s[i + 3] == code;
}

// A decoding context with its own input buffer, as the decoder sets one up.
class Context {
 public:
  Context() : context_(std::make_unique<DecoderContext>()), input_(kCapacity + kInputPadding) {
    context_->input.inputBytes = input_.data();
    context_->input.inputCapacity = kCapacity;
  }
  ~Context() { ReleaseFrameStore(*context_); }

  DecoderContext& operator*() { return *context_; }

  void Load(const std::vector<uint8_t>& bytes) {
    DecoderContext& c = *context_;
    const size_t n = std::min(bytes.size(), size_t{kCapacity});
    c.reader.Reset(c.input.inputBytes, c.input.inputCapacity);
    std::memcpy(c.input.inputBytes, bytes.data(), n);
    std::memset(c.input.inputBytes + n, 0, kInputPadding);
    c.input.inputLength = c.reader.dataLength = static_cast<int32_t>(n);
  }

 private:
  static constexpr int32_t kCapacity = 1 << 21;
  std::unique_ptr<DecoderContext> context_;
  std::vector<uint8_t> input_;
};

void CopyBits(BitWriter& w, const uint8_t* input, int64_t from, int64_t to) {
  for (int64_t p = from; p < to; ++p) w.Bit((input[p >> 3] >> (7 - (p & 7))) & 1);
}

// One block's ordinary residual codes at bit `at`, written again in the
// reversible codes.  False when they cannot be read.
bool RewriteBlock(BitWriter& w, DecoderContext& c, int32_t at, bool intra, int32_t firstIndex) {
  BitReader r = c.reader;
  r.bytePos = r.bufferStart + (at >> 3);
  r.bitPos = at & 7;
  int16_t scanOrder[64] = {};
  int32_t covered = 0;
  const PrimitiveStatus s =
      intra ? coefficients::DecodeIntraCoefficientsInScanOrder(&r.bytePos, &r.bitPos, scanOrder, firstIndex, &covered)
            : coefficients::DecodeInterCoefficientsInScanOrder(&r.bytePos, &r.bitPos, scanOrder, 0, &covered);
  if (s != Ok) return false;
  int32_t run = 0;
  for (int32_t i = firstIndex; i < covered; ++i) {
    if (scanOrder[i] == 0) {
      ++run;
      continue;
    }
    const coefficients::CoefficientEvent e{scanOrder[i], static_cast<uint8_t>(run),
                                           static_cast<uint8_t>(i == covered - 1 ? 1 : 0)};
    uint64_t bits = 0;
    const int32_t length = coefficients::ReversibleCodeOf(e, intra, &bits);
    for (int32_t k = length - 1; k >= 0; --k) w.Bit(static_cast<int>((bits >> k) & 1));
    run = 0;
  }
  return true;
}

// Rewrites one I or P picture (its bytes loaded in c, the header read):
// the picture's new bytes, or an error.
std::string RewritePicture(DecoderContext& c, size_t picture, int64_t inputBits, int64_t offsetBits,
                           BitWriter& w, std::vector<ReversibleStream::Residuals>& residuals) {
  BitReader& r = c.reader;
  const uint8_t* input = r.bufferStart;
  const VideoPackets packets(c);
  const int32_t total = c.store.mbWidth * c.store.mbHeight;
  const int32_t pictureEnd = PictureDataEnd(r);
  CopyBits(w, input, 0, DamageMap::BitPosition(r));
  int32_t first = 0;
  int32_t quant = c.picture.vopQuant;
  while (first < total) {
    const int32_t begin = DamageMap::BitPosition(r);
    const int32_t end = packets.enabled() ? std::min(packets.NextMarker(r, begin >> 3), pictureEnd) : pictureEnd;
    VideoPacketHeader header{};
    int32_t next = total;
    const bool found = end < pictureEnd && packets.ReadHeaderAt(c, end, first, header) == 0;
    if (found) next = header.macroblockNumber;
    const PartitionedPacket p{first, next - first, quant, begin, CodesEnd(r, begin >> 3, end), end * 8};
    const int32_t count = ReadPartitionedPacket(c, p);
    if (count != next - first) return "a packet of picture " + std::to_string(picture) + " cannot be read";
    const PartitionRecord* records = c.store.resilience.partitions + first;
    const int32_t textureAt = records[0].textureAt;
    CopyBits(w, input, begin, textureAt);
    const int64_t written = offsetBits + static_cast<int64_t>(w.BitCount());
    for (int32_t k = 0; k < count; ++k) {
      const PartitionRecord& m = records[k];
      if (m.outcome != kPartitionsIntact) return "damage in picture " + std::to_string(picture);
      const bool intra = m.mbType == MbIntra || m.mbType == MbIntraQuant;
      int32_t at = m.textureAt;
      for (int32_t block = 0; block < 6; ++block) {
        if (m.blockBits[block] == 0) continue;
        if (!RewriteBlock(w, c, at, intra, intra && m.dcCoded ? 1 : 0)) return "unreadable residuals";
        at += m.blockBits[block];
      }
    }
    residuals.push_back({picture, written, offsetBits + static_cast<int64_t>(w.BitCount()),
                         inputBits + textureAt, inputBits + (p.end >= 0 ? p.end : p.limit)});
    w.Stuff();
    if (!found) break;
    // The marker and the next packet's header as they were.
    CopyBits(w, input, int64_t{end} * 8, DamageMap::BitPosition(r));
    first = next;
    quant = header.quant;
  }
  // Whatever follows the last packet.
  CopyBits(w, input, int64_t{pictureEnd} * 8, int64_t{r.dataLength} * 8);
  return "";
}

// Opens the layer whose video object start code is the first at or after
// byte `from` of bytes, and sets reversible_vlc in it: the bit after
// data_partitioned, which the layer header parser reads three bits
// (version 1: one) before it ends with newpred, reduced resolution and
// scalability.  The pictures are then read as they are (ordinary codes).
bool OpenLayer(Context& c, std::vector<uint8_t>& bytes, size_t from) {
  size_t object = from;
  while (object + 3 < bytes.size() &&
         !(bytes[object] == 0 && bytes[object + 1] == 0 && bytes[object + 2] == 1 && bytes[object + 3] <= 0x1F))
    ++object;
  c.Load(std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(object), bytes.end()));
  DecoderContext& context = *c;
  if (!OpenStream(context, 16, 16) || !context.sequence.dataPartitioned) return false;
  const int64_t end = static_cast<int64_t>(object) * 8 + DamageMap::BitPosition(context.reader);
  const int64_t flag = end - (context.sequence.videoObjectLayerVerid != 1 ? 3 : 1) - 1;
  bytes[static_cast<size_t>(flag >> 3)] |= static_cast<uint8_t>(0x80u >> (flag & 7));
  context.sequence.reversibleVlc = 0;
  return true;
}

}  // namespace

ReversibleStream RewriteWithReversibleCodes(const std::vector<uint8_t>& stream) {
  ReversibleStream out;
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 < stream.size(); ++i)
    if (IsStart(stream, i, 0xB6)) starts.push_back(i);
  if (starts.empty()) {
    out.error = "no picture";
    return out;
  }
  // The headers: reversible_vlc is the bit after data_partitioned, which
  // the layer header parser reads three bits (version 1: one) before it
  // ends with newpred, reduced resolution and scalability.
  std::vector<uint8_t> header(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(starts[0]));
  Context c;
  DecoderContext& context = *c;
  if (!OpenLayer(c, header, 0)) {
    out.error = "not a data-partitioned layer";
    return out;
  }
  context.sequence.width = context.sequence.videoObjectLayerWidth;
  context.sequence.height = context.sequence.videoObjectLayerHeight;
  ReleaseFrameStore(context);
  if (AllocateFrameStore(context) != 0) {
    out.error = "no frame store";
    return out;
  }
  out.bytes = header;
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t to = i + 1 < starts.size() ? starts[i + 1] : stream.size();
    const std::vector<uint8_t> picture(stream.begin() + static_cast<ptrdiff_t>(starts[i]),
                                       stream.begin() + static_cast<ptrdiff_t>(to));
    c.Load(picture);
    BitReader& r = context.reader;
    const bool read = FindPictureStartCode(r, context.picture) &&
                      ParsePictureHeader(r, context.sequence, context.picture, 0) == 0;
    if (!read || !context.picture.vopCoded || context.picture.vopCodingType > 1) {
      out.bytes.insert(out.bytes.end(), picture.begin(), picture.end());
      continue;
    }
    BitWriter w;
    const std::string error =
        RewritePicture(context, i, static_cast<int64_t>(starts[i]) * 8, static_cast<int64_t>(out.bytes.size()) * 8, w,
                       out.residuals);
    if (!error.empty()) {
      out.error = error;
      return out;
    }
    const std::vector<uint8_t> bytes = w.Take();
    out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
  }
  // Encoders repeat the headers in front of intra pictures: every layer
  // header says so.
  for (size_t i = starts[0]; i + 3 < out.bytes.size(); ++i) {
    if (out.bytes[i] != 0 || out.bytes[i + 1] != 0 || out.bytes[i + 2] != 1 || out.bytes[i + 3] > 0x1F) continue;
    Context layer;
    OpenLayer(layer, out.bytes, i);
  }
  return out;
}

}  // namespace testsupport
