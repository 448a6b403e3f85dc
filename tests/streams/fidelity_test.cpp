// Every committed stream decodes through the exported interface, in
// display order, with ffmpeg's picture count and close to ffmpeg's pictures.
#include <gtest/gtest.h>

#include "stream_decode.h"

namespace {

using streamtests::CompareWithReference;
using streamtests::DecodeStream;

struct StreamCase {
  const char* name;
  double minimumPsnr;  // every picture at least this (luma, dB)
  int videoQuality;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name << " vq" << c.videoQuality; }

class Fidelity : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Fidelity, MatchesTheReferenceDecode) {
  const StreamCase& c = GetParam();
  tavrin::tool::DecodeSettings settings;
  settings.videoQuality = c.videoQuality;
  const auto decoded = DecodeStream(c.name, settings);
  ASSERT_EQ(decoded.error, "");
  const auto fidelity = CompareWithReference(c.name, decoded);
  EXPECT_EQ(fidelity.ours, fidelity.reference);
  ASSERT_GT(fidelity.ours, 0u);
  EXPECT_GE(fidelity.minimum, c.minimumPsnr);
  EXPECT_GE(fidelity.average, 50.0);
  for (size_t i = 0; i < fidelity.perPicture.size(); ++i)
    EXPECT_GE(fidelity.perPicture[i], c.minimumPsnr) << "picture " << i;
}

// Intra-only streams: every picture at least 45 dB.
INSTANTIATE_TEST_SUITE_P(
    IntraPictures, Fidelity,
    ::testing::Values(StreamCase{"mpeg4_intra_q2.m4v", 45, 0}, StreamCase{"mpeg4_intra_q20.m4v", 45, 0},
                      StreamCase{"xvid_intra_q2.m4v", 45, 0}, StreamCase{"xvid_intra_q20.m4v", 45, 0},
                      StreamCase{"mpeg4_intra_mpegquant.m4v", 45, 0},
                      StreamCase{"xvid_intra_mpegquant.m4v", 45, 0},
                      StreamCase{"mpeg4_intra_custom_matrix.m4v", 45, 0},
                      StreamCase{"xvid_intra_custom_matrix.m4v", 45, 0},
                      StreamCase{"mpeg4_intra_aq.m4v", 45, 0}, StreamCase{"xvid_intra_aq.m4v", 45, 0},
                      StreamCase{"mpeg4_intra_98x74.m4v", 45, 0},
                      StreamCase{"xvid_intra_98x74.m4v", 45, 0}),
    [](const auto& info) { return std::string(info.param.name).substr(0, std::string(info.param.name).size() - 4); });

// Predicted and bidirectional pictures: every picture at least 40 dB.
INSTANTIATE_TEST_SUITE_P(
    PredictedPictures, Fidelity,
    ::testing::Values(
        StreamCase{"mpeg4_default.m4v", 40, 0}, StreamCase{"xvid_default.m4v", 40, 0},
        StreamCase{"mpeg4_gop4.m4v", 40, 0}, StreamCase{"xvid_gop4.m4v", 40, 0},
        StreamCase{"mpeg4_ip_mv4.m4v", 40, 0}, StreamCase{"xvid_ip_mv4.m4v", 40, 0},
        StreamCase{"mpeg4_ip_fastpan.m4v", 40, 0}, StreamCase{"xvid_ip_fastpan.m4v", 40, 0},
        StreamCase{"mpeg4_ip_scroll.m4v", 40, 0}, StreamCase{"mpeg4_ip_static.m4v", 40, 0},
        StreamCase{"xvid_ip_static.m4v", 40, 0}, StreamCase{"mpeg4_ip_life.m4v", 40, 0},
        StreamCase{"mpeg4_ip_aq.m4v", 40, 0}, StreamCase{"xvid_ip_aq.m4v", 40, 0},
        StreamCase{"mpeg4_ip_long.m4v", 40, 0}, StreamCase{"mpeg4_150x98.m4v", 40, 0},
        StreamCase{"xvid_150x98.m4v", 40, 0}, StreamCase{"mpeg4_mpegquant.m4v", 40, 0},
        StreamCase{"xvid_mpegquant.m4v", 40, 0}, StreamCase{"mpeg4_custom_matrix.m4v", 40, 0},
        StreamCase{"xvid_custom_matrix.m4v", 40, 0}, StreamCase{"mpeg4_tb16.m4v", 40, 0},
        StreamCase{"xvid_tb16.m4v", 40, 0}, StreamCase{"mpeg4_tb1000.m4v", 40, 0},
        StreamCase{"mpeg4_tb30000.m4v", 40, 0}, StreamCase{"xvid_tb30000.m4v", 40, 0},
        StreamCase{"mpeg4_no_vos.m4v", 40, 0}),
    [](const auto& info) { return std::string(info.param.name).substr(0, std::string(info.param.name).size() - 4); });

INSTANTIATE_TEST_SUITE_P(
    BidirectionalPictures, Fidelity,
    ::testing::Values(
        StreamCase{"mpeg4_ipb.m4v", 40, 0}, StreamCase{"xvid_ipb.m4v", 40, 0},
        StreamCase{"mpeg4_ipb_mv4.m4v", 40, 0}, StreamCase{"xvid_ipb_mv4.m4v", 40, 0},
        StreamCase{"mpeg4_ipb_aq.m4v", 40, 0}, StreamCase{"xvid_ipb_aq.m4v", 40, 0},
        StreamCase{"mpeg4_ipb_mpegquant.m4v", 40, 0}, StreamCase{"xvid_ipb_custom_matrix.m4v", 40, 0},
        StreamCase{"mpeg4_ipb_long.m4v", 40, 0}, StreamCase{"xvid_ipb_long.m4v", 40, 0},
        StreamCase{"mpeg4_ipb_cif.m4v", 40, 0}, StreamCase{"xvid_ipb_cif.m4v", 40, 0},
        StreamCase{"mpeg4_ipb_tb30000.m4v", 40, 0}, StreamCase{"xvid_ipb_tb30000.m4v", 40, 0},
        StreamCase{"sample.m4v", 40, 0}),
    [](const auto& info) { return std::string(info.param.name).substr(0, std::string(info.param.name).size() - 4); });

}  // namespace
