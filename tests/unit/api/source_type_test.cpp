// The unpadded source type: reference pictures keep their borders as they
// are and every picture uses rounding type 0.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/test_paths.h"
#include "tavrin.h"

namespace {

std::vector<std::vector<uint8_t>> DecodeLuma(const char* stream, int32_t sourceType) {
  const auto header = testsupport::HeaderBytesOf(stream);
  DecoderInput in{};
  in.data = header.data();
  in.length = static_cast<uint32_t>(header.size());
  in.width = 176;
  in.height = 144;
  in.sourceType = sourceType;
  DecoderOutput info{};
  const TavrinHandle h = TavrinDecoder_CreateDecoder(&in, &info);
  std::vector<std::vector<uint8_t>> out;
  for (const auto& picture : testsupport::PicturesOf(stream)) {
    DecoderInput frame{};
    frame.data = picture.data();
    frame.length = static_cast<uint32_t>(picture.size());
    DecoderOutput o{};
    if (TavrinDecoder_DecoderOneFrame(h, &frame, &o) != 1) continue;
    std::vector<uint8_t> luma(176 * 144);
    for (int r = 0; r < 144; ++r) std::memcpy(&luma[r * 176], o.planeY + r * o.strideY, 176);
    // The sample just left of the picture: padded copies the edge, the
    // unpadded source type leaves it as the store was allocated (0).
    luma.push_back(o.planeY[-1]);
    out.push_back(std::move(luma));
  }
  TavrinDecoder_ReleaseDecoder(h);
  return out;
}

TEST(UnpaddedSource, BordersStayZeroAndRoundingIsForcedToZero) {
  // P pictures of this stream alternate their rounding type.
  const auto normal = DecodeLuma("mpeg4_ip_mv4.m4v", 0);
  const auto unpadded = DecodeLuma("mpeg4_ip_mv4.m4v", TAVRIN_SOURCE_TYPE_UNPADDED);
  ASSERT_EQ(normal.size(), unpadded.size());
  ASSERT_GT(normal.size(), 2u);
  // The intra picture is the same; its border is not filled.
  EXPECT_TRUE(std::equal(normal[0].begin(), normal[0].end() - 1, unpadded[0].begin()));
  EXPECT_EQ(unpadded[0].back(), 0);
  EXPECT_EQ(normal[0].back(), normal[0][0]);
  // Later pictures predict differently.
  size_t differing = 0;
  for (size_t i = 1; i < normal.size(); ++i) differing += normal[i] != unpadded[i];
  EXPECT_GT(differing, 0u);
  for (const auto& luma : unpadded) EXPECT_EQ(luma.back(), 0);
}

}  // namespace
