// The object behind one handle: the host's settings, the decoding state of
// one stream and the post-filter scratch.
#pragma once

#include <cstdint>
#include <memory>

#include "decoder/decoder_context.h"
#include "tavrin.h"

namespace tavrin {

// Frees a block from the aligned allocation primitives.
struct AlignedFree {
  void operator()(uint8_t* block) const;
};
using AlignedBytes = std::unique_ptr<uint8_t, AlignedFree>;

class Decoder {
 public:
  // Sets the decoder up from the stream's header bytes and the host's
  // picture size.  Never fails as such: when the header cannot be used, the
  // sizes are impossible or memory runs out, the decoder is not initialised
  // and every decode on it returns 0.  info->timeResolution is written
  // either way.
  Decoder(const DecoderInput* header, DecoderOutput* info);
  virtual ~Decoder();

  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // 1 when picture now describes a picture to show, else 0.
  int32_t DecodeOneFrame(const DecoderInput* frame, DecoderOutput* picture);
  void Resize(int32_t, int32_t) {}
  int32_t SetVideoQuality(int32_t value);
  int32_t SetPostFilter(int32_t value);
  int32_t SetBrightness(int32_t value) { return brightness = value; }
  int32_t SetContrast(int32_t value) { return contrast = value; }
  int32_t SetSaturation(int32_t value) { return saturation = value; }

  // The most bytes one call may hand over.
  int32_t InputCapacity() const { return context ? context->input.inputCapacity : 0; }

  int32_t height = 0;
  int32_t width = 0;
  uint8_t* filterBuffer = nullptr;
  int32_t initialised = 0;
  DecoderContext* context = nullptr;
  int32_t inputTag = 0;
  int32_t videoQuality = 0;
  int32_t postFilter = 0;
  int32_t brightness = 50;
  int32_t contrast = 50;
  int32_t saturation = 50;

 private:
  bool Setup(const DecoderInput& header);
  // Copies the bytes into the input buffer and clears the padding after them.
  void TakeInput(const uint8_t* data, int32_t length);

  std::unique_ptr<DecoderContext> ownedContext_;
  AlignedBytes ownedFilterBuffer_;
  AlignedBytes ownedInput_;
};

}  // namespace tavrin
