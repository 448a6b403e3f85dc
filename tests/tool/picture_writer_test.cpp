// Writing pictures as YUV4MPEG2 and raw planar 4:2:0.
#include "picture_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "elementary_stream.h"
#include "stream_headers.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"

namespace {

using namespace tavrin::tool;

// A picture in buffers wider than the picture, as the decoder hands them
// out: every sample holds plane * 64 + row * 8 + column (mod 256), and the
// padding columns hold 0xEE, which must never reach the output.
struct PaddedPicture {
  int width, height, strideY, strideC;
  std::vector<uint8_t> y, cb, cr;

  PaddedPicture(int w, int h, int padding) : width(w), height(h) {
    strideY = w + padding;
    strideC = (w + 1) / 2 + padding;
    const int ch = (h + 1) / 2;
    y.assign(static_cast<std::size_t>(strideY * h), 0xEE);
    cb.assign(static_cast<std::size_t>(strideC * ch), 0xEE);
    cr.assign(static_cast<std::size_t>(strideC * ch), 0xEE);
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) y[static_cast<std::size_t>(r * strideY + c)] = Sample(0, r, c);
    for (int r = 0; r < ch; ++r)
      for (int c = 0; c < (w + 1) / 2; ++c) {
        cb[static_cast<std::size_t>(r * strideC + c)] = Sample(1, r, c);
        cr[static_cast<std::size_t>(r * strideC + c)] = Sample(2, r, c);
      }
  }
  static uint8_t Sample(int plane, int row, int column) {
    return static_cast<uint8_t>(plane * 64 + row * 8 + column);
  }
  PlanarPicture View() const {
    return {y.data(), cb.data(), cr.data(), strideY, strideC, strideC, width, height};
  }
  // The planes as they should be written.
  std::string Packed() const {
    std::string bytes;
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c) bytes += static_cast<char>(Sample(0, r, c));
    for (int plane = 1; plane <= 2; ++plane)
      for (int r = 0; r < (height + 1) / 2; ++r)
        for (int c = 0; c < (width + 1) / 2; ++c) bytes += static_cast<char>(Sample(plane, r, c));
    return bytes;
  }
};

TEST(PictureWriter, Y4mStreamHeader) {
  EXPECT_EQ(Y4mStreamHeader(176, 144, {}), "YUV4MPEG2 W176 H144 F25:1 Ip A1:1 C420mpeg2 XYSCSS=420MPEG2\n");
  Y4mParameters p;
  p.frameRateNum = 30000;
  p.frameRateDen = 1001;
  p.aspectNum = 0;
  p.aspectDen = 0;
  p.chroma = Y4mChromaTag::kJpeg;
  EXPECT_EQ(Y4mStreamHeader(150, 98, p), "YUV4MPEG2 W150 H98 F30000:1001 Ip A0:0 C420jpeg\n");
  p.interlacing = 't';
  EXPECT_EQ(Y4mStreamHeader(150, 98, p), "YUV4MPEG2 W150 H98 F30000:1001 It A0:0 C420jpeg\n");
  p.interlacing = 'b';
  EXPECT_EQ(Y4mStreamHeader(150, 98, p), "YUV4MPEG2 W150 H98 F30000:1001 Ib A0:0 C420jpeg\n");
}

TEST(PictureWriter, PictureBytesRoundChromaUp) {
  EXPECT_EQ(PictureBytes(PictureFormat::kRawYuv420, 176, 144), 176u * 144u * 3u / 2u);
  EXPECT_EQ(PictureBytes(PictureFormat::kY4m, 176, 144), 176u * 144u * 3u / 2u + 6u);
  EXPECT_EQ(PictureBytes(PictureFormat::kRawYuv420, 5, 3), 15u + 2u * 3u * 2u);
}

TEST(PictureWriter, FormatFromTheOutputName) {
  EXPECT_EQ(FormatForPath("out.y4m"), PictureFormat::kY4m);
  EXPECT_EQ(FormatForPath("/tmp/OUT.Y4M"), PictureFormat::kY4m);
  EXPECT_EQ(FormatForPath("out.yuv"), PictureFormat::kRawYuv420);
  EXPECT_EQ(FormatForPath("y4m"), PictureFormat::kRawYuv420);
  EXPECT_EQ(FormatForPath("-"), PictureFormat::kRawYuv420);
}

TEST(PictureWriter, Y4mLayoutWithOddSizeAndPaddedStrides) {
  const PaddedPicture picture(5, 3, 11);
  std::ostringstream out;
  PictureWriter writer(out, PictureFormat::kY4m);
  ASSERT_TRUE(writer.Write(picture.View()));
  ASSERT_TRUE(writer.Write(picture.View()));
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(writer.picturesWritten(), 2);
  const std::string expected = "YUV4MPEG2 W5 H3 F25:1 Ip A1:1 C420mpeg2 XYSCSS=420MPEG2\n" + std::string("FRAME\n") +
                               picture.Packed() + "FRAME\n" + picture.Packed();
  EXPECT_EQ(out.str(), expected);
  // 5x3: 15 luma samples and two 3x2 chroma planes per picture.
  EXPECT_EQ(picture.Packed().size(), 27u);
  EXPECT_EQ(out.str().find('\xEE'), std::string::npos);
}

TEST(PictureWriter, RawLayoutHasNoHeaders) {
  const PaddedPicture picture(8, 6, 24);
  std::ostringstream out;
  PictureWriter writer(out, PictureFormat::kRawYuv420);
  ASSERT_TRUE(writer.Write(picture.View()));
  ASSERT_TRUE(writer.Write(picture.View()));
  EXPECT_EQ(out.str(), picture.Packed() + picture.Packed());
  EXPECT_EQ(out.str().size(), 2 * PictureBytes(PictureFormat::kRawYuv420, 8, 6));
}

TEST(PictureWriter, FileAndStreamGiveTheSameBytes) {
  const PaddedPicture picture(7, 5, 9);
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  Y4mParameters p;
  p.frameRateNum = 24000;
  p.frameRateDen = 1001;
  {
    PictureWriter writer(file, PictureFormat::kY4m, p);
    ASSERT_TRUE(writer.Write(picture.View()));
    ASSERT_TRUE(writer.Flush());
  }
  std::rewind(file);
  std::string fromFile;
  for (int c; (c = std::fgetc(file)) != EOF;) fromFile += static_cast<char>(c);
  std::fclose(file);
  std::ostringstream out;
  PictureWriter writer(out, PictureFormat::kY4m, p);
  ASSERT_TRUE(writer.Write(picture.View()));
  EXPECT_EQ(fromFile, out.str());
  EXPECT_EQ(fromFile.rfind("YUV4MPEG2 W7 H5 F24000:1001 ", 0), 0u);
}

TEST(PictureWriter, RefusesBadPictures) {
  const PaddedPicture picture(8, 6, 0);
  {
    std::ostringstream out;
    PictureWriter writer(out, PictureFormat::kY4m);
    PlanarPicture missing = picture.View();
    missing.planeCr = nullptr;
    EXPECT_FALSE(writer.Write(missing));
    EXPECT_TRUE(writer.failed());
    EXPECT_FALSE(writer.error().empty());
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(writer.Write(picture.View()));  // stays failed
  }
  {
    std::ostringstream out;
    PictureWriter writer(out, PictureFormat::kRawYuv420);
    PlanarPicture narrow = picture.View();
    narrow.strideY = 7;
    EXPECT_FALSE(writer.Write(narrow));
  }
  {
    std::ostringstream out;
    PictureWriter writer(out, PictureFormat::kY4m);
    ASSERT_TRUE(writer.Write(picture.View()));
    const PaddedPicture other(16, 6, 0);
    EXPECT_FALSE(writer.Write(other.View()));
    EXPECT_NE(writer.error().find("8x6 to 16x6"), std::string::npos) << writer.error();
    EXPECT_EQ(writer.picturesWritten(), 1);
  }
}

TEST(PictureWriter, ReportsWriteFailures) {
  const PaddedPicture picture(8, 6, 0);
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  PictureWriter writer(out, PictureFormat::kY4m);
  EXPECT_FALSE(writer.Write(picture.View()));
  EXPECT_TRUE(writer.failed());
  EXPECT_FALSE(writer.Flush());
}

// Written with the stream's own rate and aspect, ffmpeg's reference
// pictures make the same .y4m file as ffmpeg does itself.
TEST(PictureWriter, MatchesFfmpegY4mOutput) {
  for (const char* name : {"xvid_tb30000.m4v", "mpeg4_150x98.m4v"}) {
    SCOPED_TRACE(name);
    const std::string path = testsupport::DataPath(name);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
    const SplitResult split = SplitElementaryStream(bytes);
    ASSERT_TRUE(split.ok());
    const LayerHeaderResult header = ParseVideoObjectLayer(split.stream.Header(bytes));
    ASSERT_TRUE(header.ok());
    const VideoObjectLayer& layer = header.layer;
    const int width = layer.videoObjectLayerWidth;
    const int height = layer.videoObjectLayerHeight;
    const auto pictures = testsupport::ReferenceDecode(path, width, height);
    ASSERT_FALSE(pictures.empty());

    Y4mParameters p;
    const Ratio rate = FixedFrameRate(layer);
    if (rate.num > 0) {
      p.frameRateNum = rate.num;
      p.frameRateDen = rate.den;
    }
    const Ratio aspect = PixelAspectRatio(layer);
    p.aspectNum = aspect.num;
    p.aspectDen = aspect.den;
    std::ostringstream ours;
    PictureWriter writer(ours, PictureFormat::kY4m, p);
    for (const auto& picture : pictures) {
      const PlanarPicture view{picture.y.data(), picture.cb.data(), picture.cr.data(), width,
                               picture.chromaWidth(), picture.chromaWidth(), width, height};
      ASSERT_TRUE(writer.Write(view));
    }

    const std::string theirsPath = testsupport::CacheDir() + "/" + name + ".ffmpeg.y4m";
    const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -threads 1 -i '" + path +
                                "' -fps_mode passthrough -f yuv4mpegpipe -y '" + theirsPath + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<uint8_t> theirs;
    ASSERT_TRUE(testsupport::ReadFileBytes(theirsPath, theirs));
    const std::string oursText = ours.str();
    ASSERT_EQ(oursText.size(), theirs.size());
    EXPECT_TRUE(std::equal(oursText.begin(), oursText.end(), theirs.begin(),
                           [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
    EXPECT_EQ(oursText.substr(0, oursText.find('\n')),
              std::string(theirs.begin(), theirs.begin() + static_cast<std::ptrdiff_t>(oursText.find('\n'))));
  }
}

}  // namespace
