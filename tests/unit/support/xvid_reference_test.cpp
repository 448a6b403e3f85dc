// The second reference decoder, Xvid's: display order with B pictures
// packed or not, the anchor held for the end, a cache apart from ffmpeg's,
// and failures reported.
#include "support/xvid_reference.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_paths.h"

namespace {

using testsupport::DataPath;

TEST(XvidReference, GivesFfmpegsPicturesInDisplayOrder) {
  struct Case {
    const char* name;
    int width, height;
    size_t pictures;
  };
  // Packed B pictures with placeholders (19 shown of 24 coded), the last
  // anchor given only at the flush (99), and ffmpeg's unpacked B pictures.
  const Case cases[] = {
      {"xvid_ipb.m4v", 176, 144, 19}, {"xvid_ipb_long.m4v", 64, 48, 99}, {"mpeg4_ipb.m4v", 176, 144, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto xvid = testsupport::XvidDecode(DataPath(c.name), c.width, c.height);
    const auto ffmpeg = testsupport::ReferenceDecode(DataPath(c.name), c.width, c.height);
    ASSERT_EQ(xvid.size(), c.pictures);
    ASSERT_EQ(ffmpeg.size(), c.pictures);
    // Paired in the same order (neighbouring pictures of these moving
    // sources are below 40 dB of each other).
    for (size_t i = 0; i < xvid.size(); ++i) EXPECT_GT(testsupport::LumaPsnr(xvid[i], ffmpeg[i]), 50.0) << i;
  }
}

TEST(XvidReference, CachesApartFromFfmpeg) {
  const std::string stream = DataPath("xvid_intra_q20.m4v");
  ASSERT_EQ(testsupport::ReferenceDecode(stream, 176, 144).size(), 5u);
  ASSERT_EQ(testsupport::XvidDecode(stream, 176, 144).size(), 5u);
  int ffmpegFiles = 0, xvidFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::CacheDir())) {
    const std::string file = entry.path().filename().string();
    if (file.rfind("xvid_intra_q20.m4v-176x144-", 0) != 0 || entry.path().extension() != ".yuv") continue;
    ++(file.find("-xvid") == std::string::npos ? ffmpegFiles : xvidFiles);
  }
  EXPECT_GE(ffmpegFiles, 1);
  EXPECT_GE(xvidFiles, 1);
}

TEST(XvidReference, WrongSizeMissingStreamOrNoStreamIsReported) {
  const auto wrongSize = testsupport::TryXvidDecode(DataPath("xvid_default.m4v"), 100, 100);
  EXPECT_TRUE(wrongSize.pictures.empty());
  EXPECT_NE(wrongSize.error.find("not a whole number"), std::string::npos) << wrongSize.error;
  const auto missing = testsupport::TryXvidDecode(DataPath("no_such_stream.m4v"), 176, 144);
  EXPECT_NE(missing.error.find("no_such_stream.m4v"), std::string::npos) << missing.error;
  // Text, not a stream: the program fails rather than giving no pictures.
  const auto text = testsupport::TryXvidDecode(DataPath("README.md"), 176, 144);
  EXPECT_TRUE(text.pictures.empty());
  EXPECT_NE(text.error.find("no layer header"), std::string::npos) << text.error;
}

}  // namespace
