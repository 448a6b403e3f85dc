#include "stream_decoder.h"

#include "elementary_stream.h"
#include "video_source.h"

namespace tavrin::gst {

using tool::CodingType;

std::vector<uint8_t> LayerBytes(std::span<const uint8_t> bytes) {
  const std::vector<tool::StartCode> codes = tool::FindStartCodes(bytes);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (!tool::IsVideoObjectLayer(codes[i].value)) continue;
    const std::size_t end = i + 1 < codes.size() ? codes[i + 1].offset : bytes.size();
    const auto layer = bytes.subspan(codes[i].offset, end - codes[i].offset);
    return {layer.begin(), layer.end()};
  }
  return {};
}

StreamDecoder::~StreamDecoder() {
  if (handle_ != 0) TavrinDecoder_ReleaseDecoder(handle_);
}

std::string StreamDecoder::Open(std::span<const uint8_t> header) {
  if (handle_ != 0) TavrinDecoder_ReleaseDecoder(handle_);
  handle_ = 0;
  const tool::LayerHeaderResult parsed = tool::ParseVideoObjectLayer(header);
  if (std::string refusal = parsed.DecoderRefusal(); !refusal.empty()) return refusal;
  layer_ = parsed.layer;
  header_.assign(header.begin(), header.end());
  layerBytes_ = LayerBytes(header);
  Reset();
  if (handle_ == 0) return "out of memory creating the decoder";
  return {};
}

void StreamDecoder::Create() {
  if (handle_ != 0) TavrinDecoder_ReleaseDecoder(handle_);
  handle_ = 0;
  if (header_.empty()) return;
  DecoderInput input{};
  input.data = header_.data();
  input.length = static_cast<uint32_t>(header_.size());
  input.width = width();
  input.height = height();
  DecoderOutput info{};
  handle_ = TavrinDecoder_CreateDecoder(&input, &info);
  ApplySettings();
}

void StreamDecoder::ApplySettings() {
  if (handle_ == 0) return;
  TavrinDecoder_SetVideoQuality(handle_, videoQuality_);
  TavrinDecoder_SetPostFilter(handle_, postFilter_);
}

void StreamDecoder::SetVideoQuality(int value) {
  videoQuality_ = value;
  if (handle_ != 0) TavrinDecoder_SetVideoQuality(handle_, value);
}

void StreamDecoder::SetPostFilter(int value) {
  postFilter_ = value;
  if (handle_ != 0) TavrinDecoder_SetPostFilter(handle_, value);
}

void StreamDecoder::Reset() {
  queue_.clear();
  queuedCoded_ = 0;
  held_ = Held::kNothing;
  waitingForIntra_ = true;
  skippingBidirectional_ = false;
  fresh_ = true;
  Create();
}

std::vector<uint8_t> StreamDecoder::ChangedHeader(std::span<const uint8_t> unit) const {
  // Most units carry no layer header: look for its start code first.
  bool hasLayer = false;
  for (const tool::StartCode& code : tool::FindStartCodes(unit)) {
    if (code.value == tool::kVideoObjectPlane) break;
    if (tool::IsVideoObjectLayer(code.value)) {
      hasLayer = true;
      break;
    }
  }
  if (!hasLayer) return {};
  std::vector<uint8_t> header = tool::ExtractHeader(unit);
  if (LayerBytes(header) == layerBytes_) return {};
  return header;
}

bool StreamDecoder::IsCoded(std::span<const uint8_t> picture) const {
  const tool::PictureHeaderResult parsed = tool::ParsePictureHeader(picture, layer_);
  return !parsed.ok() || parsed.header.vopCoded;
}

UnitKind StreamDecoder::Unit(std::span<const uint8_t> unit, SlotSink& sink) {
  ++counts_.units;
  fresh_ = false;
  // The unit's pictures: each from its picture start code to the next or to
  // the unit's end.  Headers in front of the first are not handed on.
  std::vector<std::span<const uint8_t>> pictures;
  std::size_t start = unit.size();
  for (const tool::StartCode& code : tool::FindStartCodes(unit)) {
    if (code.value != tool::kVideoObjectPlane) continue;
    if (start < unit.size()) pictures.push_back(unit.subspan(start, code.offset - start));
    start = code.offset;
  }
  if (start < unit.size()) pictures.push_back(unit.subspan(start));

  std::vector<bool> coded;
  std::size_t codedCount = 0;
  for (const auto& picture : pictures) {
    coded.push_back(IsCoded(picture));
    codedCount += coded.back() ? 1 : 0;
  }
  if (codedCount == 0 && queuedCoded_ > 0) {
    ++counts_.placeholders;
    DecodeNext(sink);
    return UnitKind::kPlaceholder;
  }
  if (pictures.empty()) return UnitKind::kEmpty;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    queue_.push_back(Queued{{pictures[i].begin(), pictures[i].end()}, coded[i]});
    if (coded[i]) ++queuedCoded_;
  }
  DecodeNext(sink);
  return UnitKind::kPictures;
}

void StreamDecoder::DecodeNext(SlotSink& sink) {
  while (!queue_.empty()) {
    const Queued picture = std::move(queue_.front());
    queue_.pop_front();
    if (picture.coded) --queuedCoded_;
    Decode(picture.bytes, sink);
    if (picture.coded) break;
  }
}

void StreamDecoder::Skip(SlotSink& sink) {
  ++counts_.skipped;
  sink.Skip();
}

void StreamDecoder::SkipInPlace(bool bidirectional, SlotSink& sink) {
  if (bidirectional) {
    Skip(sink);
    return;
  }
  // An anchor is shown after the B pictures that follow it: its empty slot
  // waits in the anchor's place, so that slots keep display order.
  ReleaseHeld(sink);
  held_ = Held::kEmptySlot;
}

void StreamDecoder::ReleaseHeld(SlotSink& sink) {
  if (held_ == Held::kPicture) {
    ++counts_.shown;
    sink.ShowHeld();
  } else if (held_ == Held::kEmptySlot) {
    Skip(sink);
  }
  held_ = Held::kNothing;
}

void StreamDecoder::Decode(std::span<const uint8_t> picture, SlotSink& sink) {
  DecoderInput input{};
  input.data = picture.data();
  input.length = static_cast<uint32_t>(picture.size());
  DecoderOutput output{};
  const tool::PictureHeaderResult parsed = tool::ParsePictureHeader(picture, layer_);
  if (!parsed.ok()) {
    sink.Damaged("a picture header cannot be read (" + parsed.error + "); the picture is not shown");
    // Handed on all the same, as the tool's decode does, so that the
    // decoder's state follows the same path.
    if (!waitingForIntra_) {
      ++counts_.handed;
      TavrinDecoder_DecoderOneFrame(handle_, &input, &output);
    }
    Skip(sink);
    return;
  }
  const tool::PictureHeader& header = parsed.header;
  const bool bidirectional = header.vopCodingType == CodingType::kBidirectional;
  if (waitingForIntra_) {
    if (!header.vopCoded || header.vopCodingType != CodingType::kIntra) {
      SkipInPlace(bidirectional, sink);
      return;
    }
    waitingForIntra_ = false;
    skippingBidirectional_ = true;
  } else if (!bidirectional && header.vopCoded) {
    skippingBidirectional_ = false;
  }
  if (bidirectional && skippingBidirectional_) {
    Skip(sink);
    return;
  }

  ++counts_.handed;
  const bool returned = TavrinDecoder_DecoderOneFrame(handle_, &input, &output) == 1;
  if (header.vopCoded && !returned) {
    sink.Damaged(std::string("the decoder returned no picture for a coded ") +
                 tool::CodingTypeLetter(header.vopCodingType) + " picture");
  }
  // S pictures (only in streams the decoder refuses) are not shown either.
  const bool shown = header.vopCoded && returned && header.vopCodingType != CodingType::kSprite;
  if (!shown) {
    SkipInPlace(bidirectional, sink);
    return;
  }
  const PlanarPicture decoded{output.planeY, output.planeCb, output.planeCr, output.strideY, output.strideCb,
                              output.strideCr, width(), height()};
  if (bidirectional) {
    ++counts_.shown;
    sink.Show(decoded);
    return;
  }
  // An anchor's slot: the one held before goes out first.
  ReleaseHeld(sink);
  sink.Hold(decoded);
  held_ = Held::kPicture;
}

void StreamDecoder::Finish(SlotSink& sink) {
  ReleaseHeld(sink);
  counts_.droppedPacked += static_cast<long>(queuedCoded_);
  queue_.clear();
  queuedCoded_ = 0;
}

void StreamDecoder::Drain(SlotSink& sink) {
  Finish(sink);
  if (!waitingForIntra_) skippingBidirectional_ = true;
}

}  // namespace tavrin::gst
