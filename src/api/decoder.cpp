#include "api/decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "decoder/frame_store.h"
#include "decoder/stream_setup.h"
#include "output/prepare_output.h"
#include "picture/driver.h"
#include "platform/sleep.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/dispatch/selection.h"

namespace tavrin {
namespace {

// The input buffer holds at least this much, more for large pictures (a
// high-quality 1080p intra picture is over 200000 bytes).
constexpr int64_t kMinInputCapacity = TAVRIN_MIN_INPUT_CAPACITY;

int64_t InputCapacityFor(int32_t width, int32_t height) {
  return std::max(kMinInputCapacity, int64_t{width} * height * 3);
}

}  // namespace

void AlignedFree::operator()(uint8_t* block) const { primitives.FreeAligned(block); }

Decoder::Decoder(const DecoderInput* header, DecoderOutput* info) {
  SelectBlockRoutines();
  SelectPrimitives();
  ownedContext_.reset(new (std::nothrow) DecoderContext{});
  context = ownedContext_.get();
  if (header != nullptr) {
    width = header->width;
    height = header->height;
    inputTag = static_cast<int32_t>(header->reserved0);
    initialised = Setup(*header) ? 1 : 0;
  }
  if (info != nullptr)
    info->timeResolution =
        context ? static_cast<uint32_t>(context->sequence.vopTimeIncrementResolution) : 0;
}

bool Decoder::Setup(const DecoderInput& header) {
  if (context == nullptr) return false;
  DecoderContext& c = *context;
  c.input.sourceType = header.sourceType;
  if (width < 1 || height < 1 || width > kMaxPictureDimension || height > kMaxPictureDimension)
    return false;

  const int64_t capacity = InputCapacityFor(width, height);
  ownedInput_.reset(primitives.AllocBytes(static_cast<int32_t>(capacity + kInputPadding)));
  if (!ownedInput_) return false;
  c.input.inputBytes = ownedInput_.get();
  c.input.inputCapacity = static_cast<int32_t>(capacity);

  const int64_t filterBytes = FilterBufferBytes(width, height);
  ownedFilterBuffer_.reset(primitives.AllocBytes(static_cast<int32_t>(filterBytes)));
  if (!ownedFilterBuffer_) return false;
  // Cleared once, so that nothing the host is shown depends on leftovers.
  primitives.ZeroBytes(ownedFilterBuffer_.get(), static_cast<int32_t>(filterBytes));
  filterBuffer = c.input.filterBuffer = ownedFilterBuffer_.get();
  c.input.filterBufferSize = static_cast<int32_t>(filterBytes);

  if (header.length > static_cast<uint64_t>(capacity)) return false;
  if (header.data == nullptr && header.length != 0) return false;
  TakeInput(header.data, static_cast<int32_t>(header.length));
  return OpenStream(c, width, height);
}

void Decoder::TakeInput(const uint8_t* data, int32_t length) {
  DecoderContext& c = *context;
  c.reader.Reset(c.input.inputBytes, c.input.inputCapacity);
  c.input.inputLength = length;
  if (length > 0) std::memcpy(c.input.inputBytes, data, static_cast<size_t>(length));
  std::memset(c.input.inputBytes + length, 0, kInputPadding);
  c.reader.dataLength = length;
}

Decoder::~Decoder() {
  if (context != nullptr) ReleaseFrameStore(*context);
}

int32_t Decoder::DecodeOneFrame(const DecoderInput* frame, DecoderOutput* picture) {
  if (!initialised || frame == nullptr) return 0;
  // Input longer than the buffer, or bytes that are not there, are refused
  // and change nothing.
  if (frame->length > static_cast<uint32_t>(context->input.inputCapacity)) return 0;
  if (frame->data == nullptr && frame->length != 0) return 0;
  TakeInput(frame->data, static_cast<int32_t>(frame->length));
  DecodePicture(*context, videoQuality);
  if (context->state.outputPicture == nullptr) return 0;
  platform::SleepMilliseconds(1);
  PrepareOutput(*context, postFilter, picture);
  context->reader.Reset(context->input.inputBytes, context->input.inputCapacity);
  return 1;
}

int32_t Decoder::SetVideoQuality(int32_t value) {
  if (value < 0 || value == videoQuality) return value;
  return videoQuality = std::min(value, 1);
}

int32_t Decoder::SetPostFilter(int32_t value) {
  if (value < 0 || value == postFilter) return value;
  return postFilter = std::min(value, 2);
}

}  // namespace tavrin
