#include "decode_session.h"

#include <cstring>

namespace tavrin::tool {

DecodeSession::~DecodeSession() {
  if (handle_ != 0) TavrinDecoder_ReleaseDecoder(handle_);
}

bool DecodeSession::Open(std::span<const uint8_t> header, const DecodeSettings& settings) {
  LayerHeaderResult parsed = ParseVideoObjectLayer(header);
  error_ = parsed.DecoderRefusal();
  if (!error_.empty()) return false;
  layer_ = parsed.layer;
  DecoderInput input{};
  input.data = header.data();
  input.length = static_cast<uint32_t>(header.size());
  input.width = width();
  input.height = height();
  DecoderOutput info{};
  handle_ = TavrinDecoder_CreateDecoder(&input, &info);
  if (handle_ == 0) {
    error_ = "out of memory creating the decoder";
    return false;
  }
  timeResolution_ = info.timeResolution;
  TavrinDecoder_SetVideoQuality(handle_, settings.videoQuality);
  TavrinDecoder_SetPostFilter(handle_, settings.postFilter);
  // A decoder that refuses its header returns 0 for every picture; an empty
  // frame tells that apart from a decoder waiting for its first picture
  // only after a picture, so the header is checked above instead.
  return true;
}

void DecodeSession::Show(const PlanarPicture& picture, CodingType type, const Sink& sink) {
  showingType_ = type;
  sink(picture);
  ++counts_.shown;
}

void DecodeSession::Hold(const PlanarPicture& p, CodingType type) {
  heldType_ = type;
  const int cw = (p.width + 1) / 2, ch = (p.height + 1) / 2;
  held_.resize(static_cast<size_t>(p.width) * p.height + 2 * static_cast<size_t>(cw) * ch);
  uint8_t* y = held_.data();
  uint8_t* cb = y + static_cast<size_t>(p.width) * p.height;
  uint8_t* cr = cb + static_cast<size_t>(cw) * ch;
  for (int r = 0; r < p.height; ++r)
    std::memcpy(y + static_cast<size_t>(r) * p.width, p.planeY + static_cast<ptrdiff_t>(r) * p.strideY, static_cast<size_t>(p.width));
  for (int r = 0; r < ch; ++r) {
    std::memcpy(cb + static_cast<size_t>(r) * cw, p.planeCb + static_cast<ptrdiff_t>(r) * p.strideCb, static_cast<size_t>(cw));
    std::memcpy(cr + static_cast<size_t>(r) * cw, p.planeCr + static_cast<ptrdiff_t>(r) * p.strideCr, static_cast<size_t>(cw));
  }
  heldPicture_ = PlanarPicture{y, cb, cr, p.width, cw, cw, p.width, p.height};
  holding_ = true;
}

namespace {

// The largest unit that holds no more than a picture header (the
// placeholders some encoders write in place of a picture).
constexpr std::size_t kPlaceholderBytes = 16;

}  // namespace

void DecodeSession::Feed(std::span<const uint8_t> bytes, const Sink& sink) {
  ++counts_.handed;
  PictureHeaderResult header = ParsePictureHeader(bytes, layer_);
  DecoderInput input{};
  input.data = bytes.data();
  input.length = static_cast<uint32_t>(bytes.size());
  DecoderOutput output{};
  const bool returned = TavrinDecoder_DecoderOneFrame(handle_, &input, &output) == 1;
  if (returned) ++counts_.returned;
  if (!header.ok()) {
    // A picture whose header is damaged past its coding type: the decoder
    // shows the picture before again, and it keeps its place in display
    // order, so that the pictures after it keep theirs.  Units too short
    // to be more than a placeholder, or without a picture start code, are
    // passed over.
    const bool placed = returned && bytes.size() > kPlaceholderBytes && header.error.find("no picture start code") == std::string::npos;
    if (!placed) return;
    header.header.vopCoded = true;
  } else {
    ++counts_.byType[static_cast<int>(header.header.vopCodingType)];
  }
  if (!header.header.vopCoded) {
    ++counts_.notCoded;
    return;
  }
  // The decoder returned the previous picture again: nothing to show.
  if (!header.header.refusal.empty()) {
    if (counts_.refused++ == 0) counts_.refusal = header.header.refusal;
    return;
  }
  if (!returned) return;
  const PlanarPicture picture{output.planeY, output.planeCb, output.planeCr, output.strideY,
                              output.strideCb, output.strideCr, width(), height()};
  switch (header.header.vopCodingType) {
    case CodingType::kSprite:
      // S pictures with global motion are anchors as P pictures; others
      // (static sprites) are never decoded.
      if (layer_.spriteEnable != SpriteMode::kGlobalMotionCompensation) break;
      [[fallthrough]];
    case CodingType::kIntra:
    case CodingType::kPredicted:
      if (holding_) Show(heldPicture_, heldType_, sink);
      Hold(picture, header.header.vopCodingType);
      break;
    case CodingType::kBidirectional:
      Show(picture, CodingType::kBidirectional, sink);
      break;
  }
}

void DecodeSession::Finish(const Sink& sink) {
  if (!holding_) return;
  holding_ = false;
  Show(heldPicture_, heldType_, sink);
}

}  // namespace tavrin::tool
