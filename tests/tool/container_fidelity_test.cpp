// The committed container samples decode, through the container readers
// and the exported interface, to ffmpeg's pictures: the same count in
// display order, every picture at least 40 dB luma PSNR, at least 50 dB on
// average.
#include <gtest/gtest.h>

#include <algorithm>

#include "decode_session.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "video_source.h"

namespace {

using namespace tavrin::tool;

struct Case {
  const char* name;
  std::size_t pictures;  // what ffmpeg -threads 1 shows
};

class ContainerFidelity : public ::testing::TestWithParam<Case> {};

TEST_P(ContainerFidelity, MatchesTheReferenceDecode) {
  const Case& c = GetParam();
  const std::string path = testsupport::DataPath(c.name);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
  const SourceResult opened = OpenVideo(bytes);
  ASSERT_TRUE(opened.ok()) << opened.error;
  DecodeSession session;
  ASSERT_TRUE(session.Open(opened.source.header, {})) << session.error();
  std::vector<testsupport::YuvPicture> reference =
      testsupport::ReferenceDecode(path, session.width(), session.height());
  ASSERT_EQ(reference.size(), c.pictures) << "ffmpeg's count changed";
  std::vector<double> psnr;
  auto sink = [&](const PlanarPicture& p) {
    const std::size_t n = psnr.size();
    psnr.push_back(n < reference.size() ? testsupport::LumaPsnr(reference[n], p.planeY, p.strideY) : 0.0);
  };
  for (const auto& picture : opened.source.pictures) session.Feed(picture, sink);
  session.Finish(sink);
  EXPECT_EQ(psnr.size(), reference.size());
  double sum = 0;
  for (std::size_t i = 0; i < psnr.size(); ++i) {
    EXPECT_GE(psnr[i], 40.0) << "picture " << i;
    sum += psnr[i];
  }
  ASSERT_FALSE(psnr.empty());
  EXPECT_GE(sum / static_cast<double>(psnr.size()), 50.0);
}

INSTANTIATE_TEST_SUITE_P(Samples, ContainerFidelity,
                         ::testing::Values(Case{"xvid_packed.avi", 18}, Case{"mpeg4_ipb.avi", 20},
                                           Case{"mpeg4_ipb.mp4", 20}, Case{"mpeg4_mv4.mov", 15},
                                           Case{"mpeg4_ipb.mkv", 20}, Case{"xvid_ipb.mkv", 19},
                                           Case{"xvid_packed.mkv", 18}, Case{"xvid_packed_vfw.mkv", 18},
                                           Case{"xvid_unpacked.mkv", 19}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

}  // namespace
