// The tavrindec element in GStreamer pipelines, against the tool's decode
// of the same files: AVI, MP4, MOV and Matroska (packed B pictures
// included) through their demuxers, raw streams through appsrc, seeks,
// refused and damaged streams, and autoplugging.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "gst_harness.h"
#include "support/test_paths.h"

namespace {

using gsttest::RunResult;
using testsupport::DataPath;

constexpr GstClockTime kMs = GST_MSECOND;

// A test name from words: letters and digits kept, the rest '_'.
std::string Name(std::string text) {
  if (const std::size_t slash = text.rfind('/'); slash != std::string::npos) text.erase(0, slash + 1);
  for (char& ch : text) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return text;
}

// Pictures leave in display order: their times rise.
void ExpectRisingTimes(const RunResult& r) {
  for (std::size_t i = 0; i < r.pictures.size(); ++i) {
    ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(r.pictures[i].pts)) << "picture " << i;
    if (i > 0) {
      EXPECT_GT(r.pictures[i].pts, r.pictures[i - 1].pts) << "picture " << i;
    }
  }
}

struct FileCase {
  const char* file;
  const char* demuxer;
  const char* reference;  // what the tool decodes to compare with
  const char* properties;
  std::vector<std::string> toolOptions;
};

std::string FilePipeline(const FileCase& c) {
  return std::string("filesrc location=") + DataPath(c.file) + " ! " + c.demuxer + " ! tavrindec " + c.properties;
}

const FileCase kFiles[] = {
    {"mpeg4_ipb.avi", "avidemux", "mpeg4_ipb.avi", "", {}},
    {"xvid_packed.avi", "avidemux", "xvid_packed.avi", "", {}},
    {"mpeg4_ipb.mp4", "qtdemux", "mpeg4_ipb.mp4", "", {}},
    {"mpeg4_mv4.mov", "qtdemux", "mpeg4_mv4.mov", "", {}},
    {"mpeg4_ipb.mkv", "matroskademux", "mpeg4_ipb.mkv", "", {}},
    // Xvid's placeholders as blocks of their own, with their anchor's time.
    {"xvid_ipb.mkv", "matroskademux", "xvid_ipb.mkv", "", {}},
    // Packed pictures and placeholders as in the AVI, with times.
    {"xvid_packed.mkv", "matroskademux", "xvid_packed.mkv", "", {}},
    // The same as Video for Windows data: the headers in the first frame.
    {"xvid_packed_vfw.mkv", "matroskademux", "xvid_packed_vfw.mkv", "", {}},
    {"xvid_unpacked.mkv", "matroskademux", "xvid_unpacked.mkv", "", {}},
    {"mpeg4_ipb.mp4", "qtdemux", "mpeg4_ipb.mp4", "video-quality=1 post-filter=2",
     {"--video-quality", "1", "--post-filter", "2"}},
    {"xvid_packed.avi", "avidemux", "xvid_packed.avi", "post-filter=1", {"--post-filter", "1"}},
};

class FileTest : public testing::TestWithParam<FileCase> {};

TEST_P(FileTest, FilesinkOutputEqualsTheToolsDecode) {
  SKIP_WITHOUT_GSTREAMER();
  const FileCase& c = GetParam();
  const std::string out = gsttest::Scratch("filesink.yuv");
  const gsttest::Launched run = gsttest::GstLaunch(FilePipeline(c) + " ! filesink location=" + out);
  ASSERT_EQ(run.status, 0) << run.log;
  const std::vector<uint8_t> expected = gsttest::ToolDecode(DataPath(c.reference), c.toolOptions);
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(gsttest::ReadFile(out) == expected) << "the element's pictures differ from the tool's";
  std::remove(out.c_str());
}

TEST_P(FileTest, CapsAreI420AtTheStreamSizeAndTimesRise) {
  SKIP_WITHOUT_GSTREAMER();
  const FileCase& c = GetParam();
  const RunResult r = gsttest::Run(FilePipeline(c) + " ! appsink name=out sync=false");
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  EXPECT_TRUE(r.eos);
  EXPECT_EQ(r.format, "I420");
  EXPECT_EQ(r.width, 176);
  EXPECT_EQ(r.height, 144);
  EXPECT_EQ(r.rateNum, 25);
  EXPECT_EQ(r.rateDen, 1);
  // End of stream: as many pictures as the tool shows, the held anchor too.
  EXPECT_EQ(r.pictures.size(), gsttest::ToolDecode(DataPath(c.reference), c.toolOptions).size() / (176 * 144 * 3 / 2));
  ExpectRisingTimes(r);
}

INSTANTIATE_TEST_SUITE_P(Containers, FileTest, testing::ValuesIn(kFiles), [](const auto& info) {
  const std::string properties = info.param.properties;
  return Name(std::string(info.param.file) + (properties.empty() ? "" : " " + properties));
});

struct SeekCase {
  FileCase file;
  GstClockTime position;
};

class SeekTest : public testing::TestWithParam<SeekCase> {};

// After a flushing seek the decoder starts again from an intra picture;
// the pictures shown are the straight decode's from the seek position to
// the end, none missing, with the same times (the first one clipped to the
// segment).
TEST_P(SeekTest, PicturesAfterASeekEqualTheStraightDecode) {
  SKIP_WITHOUT_GSTREAMER();
  const std::string pipeline = FilePipeline(GetParam().file) + " ! appsink name=out sync=false";
  const GstClockTime position = GetParam().position;
  const RunResult straight = gsttest::Run(pipeline);
  const RunResult seeked = gsttest::Run(pipeline, position);
  ASSERT_TRUE(straight.errors.empty() && seeked.errors.empty());
  ASSERT_FALSE(seeked.pictures.empty());
  ExpectRisingTimes(seeked);
  std::size_t first = 0;
  const GstClockTime start = seeked.pictures[0].pts;
  while (first < straight.pictures.size() &&
         straight.pictures[first].pts + straight.pictures[first].duration <= start) {
    ++first;
  }
  ASSERT_LT(first, straight.pictures.size());
  // The first picture is the one on show at the position (counted from the
  // stream's first time, where the container's times start), or, when that
  // one is a B picture shown before the intra picture the demuxer went
  // back to, that intra picture, at most three pictures later.
  const GstClockTime at = straight.pictures[0].pts + position;
  const GstClockTime duration = straight.pictures[first].duration;
  EXPECT_GT(straight.pictures[first].pts + duration, at);
  EXPECT_LE(straight.pictures[first].pts, at + 3 * duration);
  ASSERT_EQ(seeked.pictures.size(), straight.pictures.size() - first);
  for (std::size_t i = 0; i < seeked.pictures.size(); ++i) {
    const gsttest::Picture& p = straight.pictures[first + i];
    EXPECT_TRUE(seeked.pictures[i].yuv == p.yuv) << "the picture at " << p.pts / kMs << " ms differs after the seek";
    if (i > 0) {
      EXPECT_EQ(seeked.pictures[i].pts, p.pts);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Containers, SeekTest,
    testing::Values(SeekCase{kFiles[0], 500 * kMs},  // to the second intra picture, behind its B pictures
                    SeekCase{kFiles[0], 620 * kMs}, SeekCase{kFiles[1], 620 * kMs}, SeekCase{kFiles[2], 500 * kMs},
                    SeekCase{kFiles[3], 300 * kMs}, SeekCase{kFiles[4], 500 * kMs},
                    SeekCase{kFiles[5], 500 * kMs}, SeekCase{kFiles[6], 450 * kMs},
                    SeekCase{kFiles[7], 620 * kMs}),
    [](const auto& info) {
      return Name(std::string(info.param.file.file) + " at " + std::to_string(info.param.position / kMs) + "ms");
    });

struct StreamCase {
  const char* stream;
  const char* caps;
  bool headerInBand;  // else in codec_data
};

class StreamTest : public testing::TestWithParam<StreamCase> {};

// Raw streams pushed unit by unit, damaged ones included: the same
// pictures as the tool's decode, never an error.
TEST_P(StreamTest, AppsrcOutputEqualsTheToolsDecode) {
  SKIP_WITHOUT_GSTREAMER();
  const StreamCase& c = GetParam();
  const std::string path = DataPath(c.stream);
  std::vector<uint8_t> header;
  if (!c.headerInBand) header = testsupport::HeaderBytesOf(c.stream);
  const RunResult r = gsttest::RunUnits(c.caps, header, gsttest::StreamUnits(path, c.headerInBand));
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  EXPECT_TRUE(r.eos);
  EXPECT_TRUE(r.AllPictures() == gsttest::ToolDecode(path)) << r.pictures.size() << " pictures";
  ExpectRisingTimes(r);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, StreamTest,
    testing::Values(StreamCase{"xvid_ipb.m4v", "video/x-xvid", true},
                    StreamCase{"xvid_ipb_long.m4v", "video/x-xvid", false},
                    StreamCase{"mpeg4_gop4.m4v", "video/mpeg, mpegversion=4, systemstream=false", false},
                    StreamCase{"mpeg4_150x98.m4v", "video/x-divx, divxversion=5", true},
                    StreamCase{"../robustness/data/noise_packets_ipb.m4v", "video/x-xvid", true},
                    StreamCase{"../robustness/data/noise_ip_mv4.m4v", "video/x-divx, divxversion=4", false},
                    StreamCase{"../robustness/data/noise_everywhere.m4v", "video/x-xvid", true}),
    [](const auto& info) { return Name(std::string(info.param.stream) + (info.param.headerInBand ? " in band" : " in codec_data")); });

struct CutCase {
  const char* stream;
  std::size_t firstUnit;     // the stream is cut in front of this unit (decode order)
  std::size_t firstShown;    // display index of the intra picture output starts with
};

class CutStreamTest : public testing::TestWithParam<CutCase> {};

// A stream entered in the middle shows nothing until an intra picture, nor
// the B pictures after it that refer to the anchor before it: what it shows
// is the straight decode from that intra picture on.
TEST_P(CutStreamTest, OutputStartsAtTheNextIntraPicture) {
  SKIP_WITHOUT_GSTREAMER();
  const CutCase& c = GetParam();
  const std::string path = DataPath(c.stream);
  std::vector<gsttest::Unit> units = gsttest::StreamUnits(path, false);
  units.erase(units.begin(), units.begin() + static_cast<std::ptrdiff_t>(c.firstUnit));
  const RunResult r = gsttest::RunUnits("video/x-xvid", testsupport::HeaderBytesOf(c.stream), units);
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  const std::vector<uint8_t> straight = gsttest::ToolDecode(path);
  const std::size_t skipped = c.firstShown * (176 * 144 * 3 / 2);
  ASSERT_LT(skipped, straight.size());
  EXPECT_TRUE(r.AllPictures() == std::vector<uint8_t>(straight.begin() + static_cast<std::ptrdiff_t>(skipped),
                                                      straight.end()))
      << r.pictures.size() << " pictures";
  ExpectRisingTimes(r);
}

// Decode order of mpeg4_ipb.m4v: I0 P3 B1 B2 P6 B4 B5 P9 B7 B8 I12 B10 B11 ...;
// of xvid_ipb.m4v the same with a placeholder after each second B picture.
INSTANTIATE_TEST_SUITE_P(Streams, CutStreamTest,
                         testing::Values(CutCase{"mpeg4_ipb.m4v", 10, 12}, CutCase{"mpeg4_ipb.m4v", 1, 12},
                                         CutCase{"xvid_ipb.m4v", 13, 12}, CutCase{"xvid_ipb.m4v", 2, 12}),
                         [](const auto& info) {
                           return Name(std::string(info.param.stream) + " from unit " +
                                       std::to_string(info.param.firstUnit));
                         });

class RefusedTest : public testing::TestWithParam<StreamCase> {};

TEST_P(RefusedTest, ErrorSaysWhyInTheToolsWords) {
  SKIP_WITHOUT_GSTREAMER();
  const StreamCase& c = GetParam();
  const std::string path = DataPath(c.stream);
  const std::string info = gsttest::ToolInfo(path);
  const std::string marker = "refuses it: ";
  const std::size_t at = info.find(marker);
  ASSERT_NE(at, std::string::npos) << info;
  const std::string reason = info.substr(at + marker.size(), info.find('\n', at) - at - marker.size());
  std::vector<uint8_t> header;
  if (!c.headerInBand) header = testsupport::HeaderBytesOf(c.stream);
  const RunResult r = gsttest::RunUnits(c.caps, header, gsttest::StreamUnits(path, c.headerInBand));
  ASSERT_FALSE(r.errors.empty());
  EXPECT_NE(r.errors[0].find("tavrin refuses the stream: " + reason), std::string::npos) << r.errors[0];
  EXPECT_TRUE(r.pictures.empty());
}

INSTANTIATE_TEST_SUITE_P(Streams, RefusedTest,
                         testing::Values(StreamCase{"mpeg4_obmc_header.m4v", "video/x-xvid", true}),
                         [](const auto& info) { return Name(info.param.stream); });

struct DamageCase {
  const char* name;
  void (*damage)(std::vector<gsttest::Unit>&);
  int lostPictures;  // against the undamaged stream's count
  bool sameAsUndamaged;
  bool warns;
};

class DamageTest : public testing::TestWithParam<DamageCase> {};

// Damaged units go through with a warning at most: never an error or a
// stall, the other pictures still shown.
TEST_P(DamageTest, DamagedUnitsPassWithAWarning) {
  SKIP_WITHOUT_GSTREAMER();
  const DamageCase& c = GetParam();
  const std::string path = DataPath("mpeg4_ip_mv4.m4v");
  std::vector<gsttest::Unit> units = gsttest::StreamUnits(path, true);
  c.damage(units);
  const RunResult r = gsttest::RunUnits("video/x-xvid", {}, units);
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  EXPECT_TRUE(r.eos);
  const std::vector<uint8_t> undamaged = gsttest::ToolDecode(path);
  EXPECT_EQ(r.pictures.size() + static_cast<std::size_t>(c.lostPictures), undamaged.size() / (176 * 144 * 3 / 2));
  if (c.sameAsUndamaged) {
    EXPECT_TRUE(r.AllPictures() == undamaged);
  }
  ASSERT_EQ(!r.warnings.empty(), c.warns);
  for (const std::string& warning : r.warnings) EXPECT_NE(warning.find("Damaged picture"), std::string::npos);
  ExpectRisingTimes(r);
}

INSTANTIATE_TEST_SUITE_P(
    Units, DamageTest,
    testing::Values(DamageCase{"marked_corrupted", [](auto& u) { u[5].corrupted = true; }, 0, true, true},
                    DamageCase{"picture_header_cut", [](auto& u) { u[5].bytes.resize(5); }, 1, false, true},
                    DamageCase{"unit_without_picture",
                               [](auto& u) { u.insert(u.begin() + 3, gsttest::Unit{{1, 2, 3, 4, 5, 6, 7}}); }, 0,
                               true, false},
                    DamageCase{"second_half_cut", [](auto& u) { u[7].bytes.resize(u[7].bytes.size() / 2); }, 0,
                               false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// With its rank raised, players pick the element: playbin decodes the AVI
// file to the tool's pictures.
TEST(Autoplugging, PlaybinChoosesTavrindecWithTheRankRaised) {
  SKIP_WITHOUT_GSTREAMER();
  const std::string path = DataPath("xvid_packed.avi");
  const RunResult r = gsttest::Run("playbin uri=file://" + path);
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  ASSERT_EQ(r.decoders, std::vector<std::string>{"tavrindec"});
  EXPECT_TRUE(r.AllPictures() == gsttest::ToolDecode(path));
}

}  // namespace
