// The library as a host sees it: only the exported functions.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/stream_builder.h"
#include "tavrin.h"

namespace {

using testsupport::LayerSpec;
using testsupport::MakeLayerHeader;
using testsupport::MakePictureHeader;

DecoderInput Input(const std::vector<uint8_t>& bytes, int32_t width = 176, int32_t height = 144) {
  DecoderInput in{};
  in.data = bytes.data();
  in.length = static_cast<uint32_t>(bytes.size());
  in.width = width;
  in.height = height;
  return in;
}

// A decoder created on hand-built header bytes; released at the end.
struct Host {
  explicit Host(const std::vector<uint8_t>& header, int32_t width = 176, int32_t height = 144)
      : headerBytes(header) {
    DecoderInput in = Input(headerBytes, width, height);
    handle = TavrinDecoder_CreateDecoder(&in, &info);
  }
  ~Host() {
    if (handle) TavrinDecoder_ReleaseDecoder(handle);
  }
  int32_t Decode(const std::vector<uint8_t>& frame, DecoderOutput* out) {
    DecoderInput in = Input(frame);
    return TavrinDecoder_DecoderOneFrame(handle, &in, out);
  }
  std::vector<uint8_t> headerBytes;
  DecoderOutput info{};
  TavrinHandle handle = 0;
};

DecoderOutput Untouched() {
  DecoderOutput out;
  std::memset(&out, 0xAB, sizeof out);
  return out;
}

bool SameBytes(const DecoderOutput& a, const DecoderOutput& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Exports, VersionNeedsNoDecoder) { EXPECT_EQ(GetMorvelDllVersion(), 16777217u); }

TEST(Exports, CreationReportsTheTimeResolution) {
  Host host(MakeLayerHeader({.resolution = 30000}));
  EXPECT_NE(host.handle, 0u);
  EXPECT_EQ(host.info.timeResolution, 30000u);
}

TEST(Exports, CreationTouchesOnlyTheTimeResolution) {
  std::vector<uint8_t> header = MakeLayerHeader({});
  DecoderInput in = Input(header);
  DecoderOutput info = Untouched();
  TavrinHandle h = TavrinDecoder_CreateDecoder(&in, &info);
  DecoderOutput expected = Untouched();
  expected.timeResolution = 25;
  EXPECT_TRUE(SameBytes(info, expected));
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(h), 1);
}

TEST(Exports, UnusableHeadersGiveAnInertDecoder) {
  std::vector<uint8_t> vos{0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x09};
  auto layer = MakeLayerHeader({});
  vos.insert(vos.end(), layer.begin(), layer.end());
  const std::vector<std::vector<uint8_t>> headers{
      vos, {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x11}, {}, MakeLayerHeader({.not8Bit = 1})};
  for (const auto& header : headers) {
    Host host(header);
    ASSERT_NE(host.handle, 0u);
    DecoderOutput out = Untouched();
    EXPECT_EQ(host.Decode(MakePictureHeader({.codingType = 0}), &out), 0);
    EXPECT_TRUE(SameBytes(out, Untouched()));
    EXPECT_EQ(TavrinDecoder_SetPostFilter(host.handle, 2), 2);
    EXPECT_EQ(TavrinDecoder_ReleaseDecoder(host.handle), 1);
    host.handle = 0;
  }
}

TEST(Exports, ImpossibleSizesGiveAnInertDecoder) {
  for (auto [w, h] : {std::pair{0, 144}, {176, -1}, {8192, 16}, {65536, 65536}, {-5, -5}}) {
    Host host(MakeLayerHeader({}), w, h);
    ASSERT_NE(host.handle, 0u) << w << "x" << h;
    EXPECT_EQ(host.info.timeResolution, 0u);
    DecoderOutput out{};
    EXPECT_EQ(host.Decode(MakePictureHeader({.codingType = 0}), &out), 0);
  }
}

TEST(Exports, ReleasedAndUnknownHandles) {
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(0), 0);
  std::vector<uint8_t> header = MakeLayerHeader({});
  DecoderInput in = Input(header);
  DecoderOutput info{};
  TavrinHandle h = TavrinDecoder_CreateDecoder(&in, &info);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(h), 1);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(h), 0);
  DecoderOutput out = Untouched();
  auto frame = MakePictureHeader({.codingType = 0});
  DecoderInput fin = Input(frame);
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(h, &fin, &out), 0);
  EXPECT_TRUE(SameBytes(out, Untouched()));
  EXPECT_EQ(TavrinDecoder_SetVideoQuality(h, 1), 0);
  EXPECT_EQ(TavrinDecoder_ResizeBitmap(h, 1, 2), 0);
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(12345, &fin, &out), 0);
}

TEST(Exports, SettersClampAndReport) {
  Host host(MakeLayerHeader({}));
  const TavrinHandle h = host.handle;
  EXPECT_EQ(TavrinDecoder_SetVideoQuality(h, -1), -1);
  EXPECT_EQ(TavrinDecoder_SetVideoQuality(h, 7), 1);
  EXPECT_EQ(TavrinDecoder_SetVideoQuality(h, 7), 1);
  EXPECT_EQ(TavrinDecoder_SetVideoQuality(h, -3), -3);
  EXPECT_EQ(TavrinDecoder_SetVideoQuality(h, 0), 0);
  EXPECT_EQ(TavrinDecoder_SetPostFilter(h, 0), 0);
  EXPECT_EQ(TavrinDecoder_SetPostFilter(h, 3), 2);
  EXPECT_EQ(TavrinDecoder_SetPostFilter(h, 1), 1);
  EXPECT_EQ(TavrinDecoder_SetBrightness(h, -300), -300);
  EXPECT_EQ(TavrinDecoder_SetContrast(h, 1000), 1000);
  EXPECT_EQ(TavrinDecoder_SetSaturation(h, 50), 50);
  EXPECT_EQ(TavrinDecoder_ResizeBitmap(h, 640, 480), 1);
}

TEST(Exports, NothingToShowUntilAPictureWasDecoded) {
  Host host(MakeLayerHeader({}));
  DecoderOutput out = Untouched();
  EXPECT_EQ(host.Decode({0x12, 0x34, 0x56}, &out), 0);
  EXPECT_EQ(host.Decode({}, &out), 0);
  EXPECT_TRUE(SameBytes(out, Untouched()));
}

TEST(Exports, EmptyFrameAfterAPictureShowsItAgain) {
  Host host(MakeLayerHeader({}));
  DecoderOutput first = Untouched();
  ASSERT_EQ(host.Decode(MakePictureHeader({.codingType = 0}), &first), 1);
  EXPECT_NE(first.planeY, nullptr);
  EXPECT_EQ(first.strideY, 208);
  EXPECT_EQ(first.strideCb, 104);
  EXPECT_EQ(first.strideCr, 104);
  EXPECT_EQ(first.timeResolution, Untouched().timeResolution);
  DecoderOutput again = Untouched();
  ASSERT_EQ(host.Decode({}, &again), 1);
  EXPECT_EQ(again.planeY, first.planeY);
  EXPECT_EQ(again.planeCb, first.planeCb);
  EXPECT_EQ(again.planeCr, first.planeCr);
  EXPECT_EQ(again.strideY, first.strideY);
}

TEST(Exports, TwoDecodersAreIndependent) {
  Host a(MakeLayerHeader({.resolution = 25}));
  Host b(MakeLayerHeader({.resolution = 1000}), 352, 288);
  ASSERT_NE(a.handle, b.handle);
  EXPECT_EQ(b.info.timeResolution, 1000u);
  EXPECT_EQ(TavrinDecoder_SetPostFilter(a.handle, 2), 2);
  EXPECT_EQ(TavrinDecoder_SetPostFilter(b.handle, 0), 0);
  DecoderOutput outA{}, outB{};
  ASSERT_EQ(a.Decode(MakePictureHeader({.codingType = 0}), &outA), 1);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(a.handle), 1);
  a.handle = 0;
  ASSERT_EQ(b.Decode(MakePictureHeader({.codingType = 0, .timeBits = 10}), &outB), 1);
  EXPECT_EQ(outB.strideY, 384);
}

TEST(Exports, OversizedFramesAreRefusedWithoutHarm) {
  Host host(MakeLayerHeader({}));
  DecoderOutput out{};
  ASSERT_EQ(host.Decode(MakePictureHeader({.codingType = 0}), &out), 1);
  // 176x144 accepts 100000 bytes per call.
  std::vector<uint8_t> big(400000, 0xFF);
  DecoderOutput refused = Untouched();
  EXPECT_EQ(host.Decode(big, &refused), 0);
  EXPECT_TRUE(SameBytes(refused, Untouched()));
  // A picture followed by junk up to the limit is fine.
  std::vector<uint8_t> full = MakePictureHeader({.codingType = 1, .timeIncrement = 1});
  full.resize(100000, 0x5A);
  EXPECT_EQ(host.Decode(full, &out), 1);
}

TEST(Exports, LargePicturesAcceptLargerFrames) {
  Host host(MakeLayerHeader({.width = 1920, .height = 1088}), 1920, 1088);
  std::vector<uint8_t> frame = MakePictureHeader({.codingType = 0});
  frame.resize(300000, 0x11);
  DecoderOutput out{};
  EXPECT_EQ(host.Decode(frame, &out), 1);
  EXPECT_EQ(out.strideY, 1952);
}

TEST(Exports, HeaderLongerThanTheInputBufferGivesAnInertDecoder) {
  std::vector<uint8_t> header = MakeLayerHeader({});
  header.resize(150000, 0);
  Host host(header);
  ASSERT_NE(host.handle, 0u);
  DecoderOutput out{};
  EXPECT_EQ(host.Decode(MakePictureHeader({.codingType = 0}), &out), 0);
}

TEST(Exports, NullRecordsAreRefused) {
  Host host(MakeLayerHeader({}));
  DecoderOutput out{};
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(host.handle, nullptr, &out), 0);
  DecoderInput missing{};
  missing.length = 10;  // bytes that are not there
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(host.handle, &missing, &out), 0);
  TavrinHandle h = TavrinDecoder_CreateDecoder(nullptr, nullptr);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(h), 1);
}

}  // namespace
