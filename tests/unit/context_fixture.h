// A decoding context with an input buffer, as the decoder sets one up, for
// tests of the parsers and the driver below the exported interface.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "decoder/decoder_context.h"
#include "decoder/frame_store.h"

namespace tavrin::testing {

class ContextHolder {
 public:
  explicit ContextHolder(int32_t capacity = 4096)
      : context_(std::make_unique<DecoderContext>()),
        input_(static_cast<size_t>(capacity + kInputPadding)) {
    context_->input.inputBytes = input_.data();
    context_->input.inputCapacity = capacity;
  }
  ~ContextHolder() { ReleaseFrameStore(*context_); }

  DecoderContext& operator*() { return *context_; }
  DecoderContext* operator->() { return context_.get(); }

  // Copies the bytes in as a decode call does and rewinds the reader.
  void Load(const std::vector<uint8_t>& bytes) {
    DecoderContext& c = *context_;
    c.reader.Reset(c.input.inputBytes, c.input.inputCapacity);
    if (!bytes.empty()) std::memcpy(c.input.inputBytes, bytes.data(), bytes.size());
    std::memset(c.input.inputBytes + bytes.size(), 0, kInputPadding);
    c.input.inputLength = c.reader.dataLength = static_cast<int32_t>(bytes.size());
  }

 private:
  std::unique_ptr<DecoderContext> context_;
  std::vector<uint8_t> input_;
};

}  // namespace tavrin::testing
