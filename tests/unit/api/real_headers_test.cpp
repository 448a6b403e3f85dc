// Creation on the header bytes of committed streams from both encoders.
#include <gtest/gtest.h>

#include "support/test_paths.h"
#include "tavrin.h"

namespace {

struct HeaderCase {
  const char* stream;
  uint32_t timeResolution;
  int width, height;
};

class RealHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(RealHeaders, CreateAndReportTheTimeResolution) {
  const HeaderCase& c = GetParam();
  const auto header = testsupport::HeaderBytesOf(c.stream);
  ASSERT_FALSE(header.empty());
  DecoderInput in{};
  in.data = header.data();
  in.length = static_cast<uint32_t>(header.size());
  in.width = c.width;
  in.height = c.height;
  DecoderOutput info{};
  const TavrinHandle h = TavrinDecoder_CreateDecoder(&in, &info);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(info.timeResolution, c.timeResolution);
  // The first picture decodes and is shown.
  const auto pictures = testsupport::PicturesOf(c.stream);
  ASSERT_FALSE(pictures.empty());
  DecoderInput frame{};
  frame.data = pictures[0].data();
  frame.length = static_cast<uint32_t>(pictures[0].size());
  DecoderOutput out{};
  EXPECT_EQ(TavrinDecoder_DecoderOneFrame(h, &frame, &out), 1);
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(h), 1);
}

INSTANTIATE_TEST_SUITE_P(
    BothEncoders, RealHeaders,
    ::testing::Values(HeaderCase{"mpeg4_default.m4v", 25, 176, 144},
                      HeaderCase{"xvid_default.m4v", 25, 176, 144},
                      HeaderCase{"mpeg4_tb30000.m4v", 30000, 176, 144},
                      HeaderCase{"xvid_tb30000.m4v", 30000, 176, 144},
                      HeaderCase{"mpeg4_tb1000.m4v", 1000, 176, 144},
                      HeaderCase{"mpeg4_tb16.m4v", 16, 176, 144},
                      HeaderCase{"xvid_tb16.m4v", 16, 176, 144},
                      HeaderCase{"mpeg4_mpegquant.m4v", 25, 176, 144},
                      HeaderCase{"xvid_custom_matrix.m4v", 25, 176, 144},
                      HeaderCase{"mpeg4_150x98.m4v", 25, 150, 98},
                      HeaderCase{"mpeg4_no_vos.m4v", 25, 176, 144},
                      HeaderCase{"mpeg4_interlaced.m4v", 25, 176, 144},
                      HeaderCase{"interlaced_xvid_ipb_tff.m4v", 25, 176, 144},
                      HeaderCase{"interlaced_mpeg4_ipb_200x120.m4v", 25, 200, 120},
                      HeaderCase{"mpeg4_data_partitioned.m4v", 25, 176, 144},
                      HeaderCase{"partitioned_zoom_180x100_ip.m4v", 25, 180, 100}));

// Streams using what the decoder does not implement give a decoder that
// reports its time resolution and returns no picture.
class RefusedHeaders : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedHeaders, DecodeNothing) {
  const auto header = testsupport::HeaderBytesOf(GetParam());
  ASSERT_FALSE(header.empty());
  DecoderInput in{};
  in.data = header.data();
  in.length = static_cast<uint32_t>(header.size());
  in.width = 176;
  in.height = 144;
  DecoderOutput info{};
  const TavrinHandle h = TavrinDecoder_CreateDecoder(&in, &info);
  ASSERT_NE(h, 0u);
  for (const auto& picture : testsupport::PicturesOf(GetParam())) {
    DecoderInput frame{};
    frame.data = picture.data();
    frame.length = static_cast<uint32_t>(picture.size());
    DecoderOutput out{};
    EXPECT_EQ(TavrinDecoder_DecoderOneFrame(h, &frame, &out), 0);
  }
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(h), 1);
}

INSTANTIATE_TEST_SUITE_P(UnsupportedTools, RefusedHeaders,
                         ::testing::Values("mpeg4_obmc_header.m4v"));

}  // namespace
