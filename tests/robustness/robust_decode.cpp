#include "robust_decode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "tavrin.h"

namespace robustness {
namespace {

constexpr uint8_t kUntouched = 0x5A;

std::string PathOf(const std::string& name) {
  const std::string prefix = "robustness/";
  if (name.rfind(prefix, 0) == 0)
    return std::string(TAVRIN_ROBUSTNESS_DATA_DIR) + "/" + name.substr(prefix.size());
  return testsupport::DataPath(name);
}

// Copies the described picture out, reading every visible sample.
Bytes CopyPicture(const DecoderOutput& out, int32_t width, int32_t height) {
  Bytes picture;
  const int32_t cw = (width + 1) / 2, ch = (height + 1) / 2;
  picture.reserve(static_cast<size_t>(width) * height + 2u * cw * ch);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = out.planeY + static_cast<ptrdiff_t>(y) * out.strideY;
    picture.insert(picture.end(), row, row + width);
  }
  for (const uint8_t* plane : {out.planeCb, out.planeCr}) {
    const int32_t stride = plane == out.planeCb ? out.strideCb : out.strideCr;
    for (int32_t y = 0; y < ch; ++y) {
      const uint8_t* row = plane + static_cast<ptrdiff_t>(y) * stride;
      picture.insert(picture.end(), row, row + cw);
    }
  }
  return picture;
}

}  // namespace

Stream LoadStream(const std::string& name, int32_t width, int32_t height) {
  Stream s;
  s.name = name;
  s.width = width;
  s.height = height;
  Bytes bytes;
  if (!testsupport::ReadFileBytes(PathOf(name), bytes)) {
    ADD_FAILURE() << "cannot read " << PathOf(name);
    return s;
  }
  std::vector<size_t> starts;
  size_t object = bytes.size();
  if (IsShortHeaderPicture(bytes)) {
    // Short-header pictures carry their own headers: each one runs from
    // its picture start code (on a byte boundary) to the next, and the
    // decoder is created with the first.
    for (size_t i = 0; i + 2 < bytes.size(); ++i)
      if (bytes[i] == 0 && bytes[i + 1] == 0 && (bytes[i + 2] & 0xFC) == 0x80) starts.push_back(i);
    if (starts.empty()) {
      ADD_FAILURE() << name << " holds no picture";
      return s;
    }
    const size_t end = starts.size() > 1 ? starts[1] : bytes.size();
    s.header.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(end));
  } else {
    for (size_t i = 0; i + 3 < bytes.size(); ++i) {
      if (bytes[i] != 0 || bytes[i + 1] != 0 || bytes[i + 2] != 1) continue;
      if (bytes[i + 3] <= 0x1F && object == bytes.size()) object = i;
      if (bytes[i + 3] == 0xB6 && object != bytes.size()) starts.push_back(i);
    }
    if (starts.empty()) {
      ADD_FAILURE() << name << " holds no header followed by pictures";
      return s;
    }
    s.header.assign(bytes.begin() + static_cast<ptrdiff_t>(object),
                    bytes.begin() + static_cast<ptrdiff_t>(starts.front()));
  }
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
    s.pictures.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(starts[i]),
                            bytes.begin() + static_cast<ptrdiff_t>(end));
  }
  return s;
}

Decoded DecodeAll(const Bytes& header, const std::vector<Bytes>& pictures, const Settings& settings,
                  int32_t streamWidth, int32_t streamHeight) {
  Decoded decoded;
  const int32_t width = settings.width ? settings.width : streamWidth;
  const int32_t height = settings.height ? settings.height : streamHeight;
  DecoderInput in{};
  in.data = header.data();
  in.length = static_cast<uint32_t>(header.size());
  in.width = width;
  in.height = height;
  in.sourceType = settings.sourceType;
  DecoderOutput out;
  std::memset(&out, kUntouched, sizeof out);
  const TavrinHandle handle = TavrinDecoder_CreateDecoder(&in, &out);
  if (handle == 0) {
    ADD_FAILURE() << "no decoder created";
    return decoded;
  }
  decoded.created = true;
  TavrinDecoder_SetVideoQuality(handle, settings.videoQuality);
  TavrinDecoder_SetPostFilter(handle, settings.postFilter);
  for (const Bytes& picture : pictures) {
    DecoderInput frame{};
    frame.data = picture.data();
    frame.length = static_cast<uint32_t>(picture.size());
    const auto start = std::chrono::steady_clock::now();
    CallResult call;
    call.result = TavrinDecoder_DecoderOneFrame(handle, &frame, &out);
    call.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(call.milliseconds, kCallLimitMilliseconds) << "call " << decoded.calls.size();
    EXPECT_TRUE(call.result == 0 || call.result == 1);
    if (call.result == 1) {
      const int32_t cw = (width + 1) / 2;
      EXPECT_TRUE(out.planeY && out.planeCb && out.planeCr);
      EXPECT_GE(out.strideY, width);
      EXPECT_GE(out.strideCb, cw);
      EXPECT_GE(out.strideCr, cw);
      if (out.planeY && out.planeCb && out.planeCr && out.strideY >= width && out.strideCb >= cw &&
          out.strideCr >= cw)
        call.picture = CopyPicture(out, width, height);
    }
    decoded.calls.push_back(std::move(call));
  }
  for (uint8_t b : out.reserved) EXPECT_EQ(b, kUntouched) << "reserved bytes written";
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(handle), 1);
  return decoded;
}

Decoded DecodeAll(const Stream& stream, const Settings& settings) {
  return DecodeAll(stream.header, stream.pictures, settings, stream.width, stream.height);
}

std::vector<Settings> AllModes() {
  std::vector<Settings> modes;
  for (int32_t quality : {0, 1})
    for (int32_t filter : {0, 1, 2}) {
      Settings s;
      s.videoQuality = quality;
      s.postFilter = filter;
      modes.push_back(s);
    }
  return modes;
}

bool IsShortHeaderPicture(const Bytes& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0 && bytes[1] == 0 && (bytes[2] & 0xFC) == 0x80;
}

int32_t CodingTypeOf(const Bytes& picture) {
  if (picture.size() < 5) return -1;
  // Short-header pictures: the coding type bit follows the start code (22
  // bits), the temporal reference (8) and PTYPE's first eight bits.
  if (IsShortHeaderPicture(picture)) return (picture[4] >> 1) & 1;
  return picture[4] >> 6;
}

}  // namespace robustness
