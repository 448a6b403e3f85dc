// Inputs at the edges of what a call accepts: a frame that fills the whole
// input buffer with garbage (nothing but the padding behind it), one byte
// more than the buffer takes, empty and tiny frames, missing bytes and
// handles that name no decoder.
#include <gtest/gtest.h>

#include <cstring>

#include "damage.h"
#include "robust_decode.h"
#include "tavrin.h"

namespace robustness {
namespace {

class EdgeInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    stream_ = LoadStream("mpeg4_ipb.m4v", 176, 144);
    ASSERT_GE(stream_.pictures.size(), 4u);
    DecoderInput in{};
    in.data = stream_.header.data();
    in.length = static_cast<uint32_t>(stream_.header.size());
    in.width = stream_.width;
    in.height = stream_.height;
    handle_ = TavrinDecoder_CreateDecoder(&in, &out_);
    ASSERT_NE(handle_, 0u);
  }
  void TearDown() override { EXPECT_EQ(TavrinDecoder_ReleaseDecoder(handle_), 1); }

  int32_t Decode(const uint8_t* data, size_t length) {
    DecoderInput frame{};
    frame.data = data;
    frame.length = static_cast<uint32_t>(length);
    return TavrinDecoder_DecoderOneFrame(handle_, &frame, &out_);
  }
  int32_t Decode(const Bytes& bytes) { return Decode(bytes.data(), bytes.size()); }

  // The luma plane of the picture the last call described.
  Bytes Luma() const {
    Bytes y;
    for (int32_t row = 0; row < stream_.height; ++row)
      y.insert(y.end(), out_.planeY + static_cast<ptrdiff_t>(row) * out_.strideY,
               out_.planeY + static_cast<ptrdiff_t>(row) * out_.strideY + stream_.width);
    return y;
  }

  Stream stream_;
  TavrinHandle handle_ = 0;
  DecoderOutput out_{};
};

TEST_F(EdgeInputs, GarbageFillingTheWholeBufferInEveryMode) {
  ASSERT_EQ(Decode(stream_.pictures[0]), 1);
  for (uint32_t seed = 0; seed < 12; ++seed) {
    Random random(seed);
    // A picture start code, a coding type, then random bytes or long runs of
    // ones (escape codes and vectors that never end) up to the last byte.
    Bytes frame = GarbagePicture(TAVRIN_MIN_INPUT_CAPACITY - 4, random);
    frame[4] = static_cast<uint8_t>((frame[4] & 0x3F) | (seed % 3) << 6);
    if (seed % 2) std::memset(frame.data() + 8, 0xFF, frame.size() - 8);
    TavrinDecoder_SetVideoQuality(handle_, static_cast<int32_t>(seed / 6 % 2));
    TavrinDecoder_SetPostFilter(handle_, static_cast<int32_t>(seed % 3));
    EXPECT_EQ(Decode(frame), 1) << "seed " << seed;
  }
}

TEST_F(EdgeInputs, OneByteMoreThanTheBufferIsRefusedAndChangesNothing) {
  ASSERT_EQ(Decode(stream_.pictures[0]), 1);
  const Bytes before = Luma();
  Bytes frame = stream_.pictures[1];
  frame.resize(TAVRIN_MIN_INPUT_CAPACITY + 1, 0x55);
  EXPECT_EQ(Decode(frame), 0);
  // The next call decodes on from where the stream was.
  ASSERT_EQ(Decode(Bytes{}), 1);
  EXPECT_EQ(Luma(), before);
  EXPECT_EQ(Decode(stream_.pictures[1]), 1);
}

TEST_F(EdgeInputs, EmptyTinyAndMissingFrames) {
  EXPECT_EQ(Decode(Bytes{}), 0);  // nothing decoded yet
  EXPECT_EQ(Decode(nullptr, 0), 0);
  EXPECT_EQ(Decode(nullptr, 100), 0);
  ASSERT_EQ(Decode(stream_.pictures[0]), 1);
  const Bytes first = Luma();
  const Bytes tiny[] = {{0x00},
                        {0x00, 0x00, 0x01},
                        {0x00, 0x00, 0x01, 0xB6},
                        {0x00, 0x00, 0x01, 0xB6, 0x40},
                        {0x00, 0x00, 0x01, 0xB6, 0xFF, 0xFF, 0xFF, 0xFF},
                        {0x00, 0x00, 0x01, 0xB6, 0x00, 0x00, 0x01, 0xB6}};
  for (const Bytes& frame : tiny) {
    EXPECT_EQ(Decode(frame), 1);
    EXPECT_EQ(Decode(nullptr, 0), 1);
  }
  // The intra picture decodes as before, whatever came in between.
  EXPECT_EQ(Decode(stream_.pictures[0]), 1);
  EXPECT_EQ(Luma(), first);
}

TEST_F(EdgeInputs, NullFrameAndUnknownHandles) {
  DecoderInput frame{};
  frame.data = stream_.pictures[0].data();
  frame.length = static_cast<uint32_t>(stream_.pictures[0].size());
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(handle_, nullptr, &out_), 0);
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(handle_ + 1, &frame, &out_), 0);
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(0, &frame, &out_), 0);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(handle_ + 8), 0);
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(handle_, &frame, &out_), 1);
}

TEST(EdgeCreation, NullAndEmptyHeaders) {
  DecoderOutput out{};
  const TavrinHandle none = TavrinDecoder_CreateDecoder(nullptr, &out);
  ASSERT_NE(none, 0u);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(none), 1);
  DecoderInput in{};
  in.width = 176;
  in.height = 144;
  const TavrinHandle empty = TavrinDecoder_CreateDecoder(&in, nullptr);
  ASSERT_NE(empty, 0u);
  in.length = 100;  // no bytes behind it
  const TavrinHandle missing = TavrinDecoder_CreateDecoder(&in, &out);
  ASSERT_NE(missing, 0u);
  const uint8_t picture[] = {0x00, 0x00, 0x01, 0xB6, 0x10, 0x00};
  DecoderInput frame{};
  frame.data = picture;
  frame.length = sizeof picture;
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(empty, &frame, &out), 0);
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(missing, &frame, &out), 0);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(empty), 1);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(missing), 1);
}

}  // namespace
}  // namespace robustness
