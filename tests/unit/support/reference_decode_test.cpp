// The test support that compares pictures with ffmpeg's: reference decodes
// and PSNR.
#include "support/reference_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "support/test_paths.h"

namespace {

using testsupport::kPsnrIdentical;
using testsupport::Psnr;
using testsupport::YuvPicture;

TEST(Psnr, IdenticalPlanesGiveTheCap) {
  std::vector<uint8_t> a(64 * 48);
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(Psnr(a.data(), 64, a.data(), 64, 64, 48), kPsnrIdentical);
  EXPECT_EQ(kPsnrIdentical, 99.0);
}

TEST(Psnr, KnownDifference) {
  // Every sample off by 1: mean squared error 1, PSNR 20 log10(255).
  std::vector<uint8_t> a(16 * 16, 100), b(16 * 16, 101);
  EXPECT_NEAR(Psnr(a.data(), 16, b.data(), 16, 16, 16), 48.130803608679, 1e-9);
  // One sample off by 16 in 256: mean squared error 1, the same value.
  std::vector<uint8_t> c(16 * 16, 100);
  c[37] = 116;
  EXPECT_NEAR(Psnr(a.data(), 16, c.data(), 16, 16, 16), 48.130803608679, 1e-9);
  // Off by 255 everywhere: 0 dB.
  std::vector<uint8_t> black(8 * 8, 0), white(8 * 8, 255);
  EXPECT_DOUBLE_EQ(Psnr(black.data(), 8, white.data(), 8, 8, 8), 0.0);
}

TEST(Psnr, RespectsStrides) {
  // The same 4x2 picture in buffers of different strides; the padding
  // differs and must not count.
  const std::vector<uint8_t> a = {1, 2, 3, 4, 0, 0, 5, 6, 7, 8, 0, 0};
  const std::vector<uint8_t> b = {1, 2, 3, 4, 9, 9, 9, 9, 5, 6, 7, 8};
  EXPECT_EQ(Psnr(a.data(), 6, b.data(), 8, 4, 2), kPsnrIdentical);
  // A tiny difference stays below the cap.
  std::vector<uint8_t> big(64 * 48, 50), nearly = big;
  nearly[1234] = 51;
  const double psnr = Psnr(big.data(), 64, nearly.data(), 64, 64, 48);
  EXPECT_LT(psnr, kPsnrIdentical);
  EXPECT_NEAR(psnr, 10.0 * std::log10(255.0 * 255.0 * 64.0 * 48.0), 1e-9);
  // Beyond the cap a difference still reads as the cap.
  std::vector<uint8_t> huge(1920 * 1080, 50), almost = huge;
  almost[12345] = 51;
  EXPECT_EQ(Psnr(huge.data(), 1920, almost.data(), 1920, 1920, 1080), kPsnrIdentical);
}

TEST(SplitYuv420, OddSizesRoundChromaUp) {
  EXPECT_EQ(testsupport::YuvPictureBytes(5, 3), 15u + 2u * 6u);
  EXPECT_EQ(testsupport::YuvPictureBytes(176, 144), 38016u);
  std::vector<uint8_t> bytes(2 * 27);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  std::vector<YuvPicture> pictures;
  ASSERT_TRUE(testsupport::SplitYuv420(bytes, 5, 3, pictures));
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[1].y.front(), 27);
  EXPECT_EQ(pictures[1].cb.front(), 27 + 15);
  EXPECT_EQ(pictures[1].cr.front(), 27 + 21);
  EXPECT_EQ(pictures[1].cr.back(), 53);
  EXPECT_FALSE(testsupport::SplitYuv420(std::vector<uint8_t>(28), 5, 3, pictures));
  EXPECT_TRUE(pictures.empty());
}

TEST(ReferenceDecode, CommittedStreamsHaveTheirPictureCounts) {
  ASSERT_TRUE(testsupport::FfmpegAvailable()) << "ffmpeg is needed for the reference decodes";
  struct Case {
    const char* name;
    int width, height;
    std::size_t pictures;
  };
  // Counts as ffprobe -show_frames lists them; Xvid's placeholder pictures
  // give no picture, and no picture is repeated to fill a constant rate.
  const Case cases[] = {
      {"mpeg4_default.m4v", 176, 144, 10}, {"xvid_ipb.m4v", 176, 144, 19},   {"mpeg4_150x98.m4v", 150, 98, 10},
      {"xvid_ipb_long.m4v", 64, 48, 99},   {"mpeg4_ipb_cif.m4v", 352, 288, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto pictures = testsupport::ReferenceDecode(testsupport::DataPath(c.name), c.width, c.height);
    ASSERT_EQ(pictures.size(), c.pictures);
    EXPECT_EQ(pictures[0].width, c.width);
    EXPECT_EQ(pictures[0].y.size(), static_cast<std::size_t>(c.width * c.height));
    EXPECT_EQ(pictures[0].cb.size(), static_cast<std::size_t>(pictures[0].chromaWidth() * pictures[0].chromaHeight()));
  }
}

TEST(ReferenceDecode, CachedDecodeIsReusedAndEqual) {
  const std::string stream = testsupport::DataPath("xvid_intra_q20.m4v");
  const auto first = testsupport::ReferenceDecode(stream, 176, 144);
  ASSERT_EQ(first.size(), 5u);
  // A cache file now exists for this stream and size.
  bool cached = false;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::CacheDir())) {
    const std::string file = entry.path().filename().string();
    if (file.rfind("xvid_intra_q20.m4v-176x144-", 0) == 0 && entry.path().extension() == ".yuv") cached = true;
  }
  EXPECT_TRUE(cached);
  const auto second = testsupport::ReferenceDecode(stream, 176, 144);
  ASSERT_EQ(second.size(), first.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(testsupport::LumaPsnr(first[i], second[i]), kPsnrIdentical);
    const auto all = testsupport::PlanesPsnr(first[i], second[i].y.data(), 176, second[i].cb.data(), 88,
                                             second[i].cr.data(), 88);
    EXPECT_EQ(all.cb, kPsnrIdentical);
    EXPECT_EQ(all.cr, kPsnrIdentical);
  }
  // Consecutive pictures of a moving source differ.
  EXPECT_LT(testsupport::LumaPsnr(first[0], first[4]), 40.0);
}

TEST(ReferenceDecode, WrongSizeOrMissingStreamIsReported) {
  const auto wrongSize = testsupport::TryReferenceDecode(testsupport::DataPath("mpeg4_default.m4v"), 100, 100);
  EXPECT_TRUE(wrongSize.pictures.empty());
  EXPECT_NE(wrongSize.error.find("not a whole number"), std::string::npos) << wrongSize.error;
  const auto missing = testsupport::TryReferenceDecode(testsupport::DataPath("no_such_stream.m4v"), 176, 144);
  EXPECT_TRUE(missing.pictures.empty());
  EXPECT_NE(missing.error.find("no_such_stream.m4v"), std::string::npos) << missing.error;
}

}  // namespace
