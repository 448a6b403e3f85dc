// The Matroska reader on the committed samples (ffmpeg's and mkvmerge's),
// on hand-built files it must refuse with a reason, and on cut-short and
// damaged files.
#include "matroska_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "avi_reader.h"
#include "container_builder.h"
#include "shown_pictures.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "video_source.h"

namespace {

using namespace tavrin::tool;
using namespace containertests;

Bytes ReadData(const std::string& name) {
  Bytes bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  return bytes;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every unit lies inside the file or inside the bytes the reader rebuilt.
void ExpectUnitsInside(const ContainerTrack& track, std::span<const uint8_t> file) {
  for (const auto& unit : track.units) {
    const bool inFile = unit.data() >= file.data() && unit.data() + unit.size() <= file.data() + file.size();
    const bool inOwned = track.ownedBytes && unit.data() >= track.ownedBytes->data() &&
                         unit.data() + unit.size() <= track.ownedBytes->data() + track.ownedBytes->size();
    ASSERT_TRUE(unit.empty() || inFile || inOwned);
  }
}

struct Sample {
  const char* file;
  const char* codecTag;
  std::size_t units;
  std::size_t pictures;  // handed to the decoder
  std::size_t shown;
  std::size_t placeholders;
  std::size_t packedUnits;
  // Decodes to the same pictures, byte for byte: a committed file, or
  // (with `sourceIsAviChunks`) the chunks of an AVI file one after the
  // other as a raw stream.
  const char* source;
  bool sourceIsAviChunks = false;
};

class MatroskaSamples : public ::testing::TestWithParam<Sample> {};

TEST_P(MatroskaSamples, ReadAndDecodeAsTheirSource) {
  const Sample& c = GetParam();
  const Bytes file = ReadData(c.file);
  ASSERT_TRUE(LooksLikeMatroska(file));
  EXPECT_EQ(DetectFormat(file), InputFormat::kMatroska);
  const ContainerResult mkv = ReadMatroska(file);
  ASSERT_TRUE(mkv.ok()) << mkv.error;
  EXPECT_EQ(mkv.track.format, "Matroska");
  EXPECT_EQ(mkv.track.codecTag, c.codecTag);
  EXPECT_EQ(mkv.track.width, 176);
  EXPECT_EQ(mkv.track.height, 144);
  EXPECT_EQ(mkv.track.frameRate.num, 25);
  EXPECT_EQ(mkv.track.frameRate.den, 1);
  EXPECT_EQ(mkv.track.units.size(), c.units);
  EXPECT_EQ(mkv.track.unitTimes.size(), c.units);
  EXPECT_TRUE(mkv.track.notes.empty()) << mkv.track.notes.front();
  ExpectUnitsInside(mkv.track, file);

  const SourceResult opened = OpenVideo(file);
  ASSERT_TRUE(opened.ok()) << opened.error;
  const VideoSource& s = opened.source;
  EXPECT_EQ(s.pictures.size(), c.pictures);
  EXPECT_EQ(s.placeholderUnits, c.placeholders);
  EXPECT_EQ(s.packedUnits, c.packedUnits);

  Bytes sourceBytes = ReadData(c.source);
  if (c.sourceIsAviChunks) {
    const ContainerResult avi = ReadAvi(sourceBytes);
    ASSERT_TRUE(avi.ok()) << avi.error;
    Bytes raw;
    for (const auto& unit : avi.track.units) raw.insert(raw.end(), unit.begin(), unit.end());
    sourceBytes = raw;
  }
  const SourceResult original = OpenVideo(sourceBytes);
  ASSERT_TRUE(original.ok()) << original.error;
  const auto shown = ShownPictures(s);
  EXPECT_EQ(shown.size(), c.shown);
  EXPECT_TRUE(shown == ShownPictures(original.source)) << "the pictures differ from " << c.source << "'s";

  // Every shown picture has a time; sorted they step by 40 ms.
  std::vector<int64_t> times;
  for (const int64_t t : s.pictureTimes) {
    if (t != ContainerTrack::kNoTime) times.push_back(t);
  }
  ASSERT_EQ(times.size(), c.shown);
  std::sort(times.begin(), times.end());
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1] >= 40000000, true) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Committed, MatroskaSamples,
    ::testing::Values(
        // ffmpeg: V_MPEG4/ISO/ASP, headers in CodecPrivate, a SimpleBlock per picture.
        Sample{"mpeg4_ipb.mkv", "V_MPEG4/ISO/ASP", 20, 20, 20, 0, 0, "mpeg4_ipb.m4v"},
        // Xvid's placeholders stay blocks of their own; nothing is packed.
        Sample{"xvid_ipb.mkv", "V_MPEG4/ISO/ASP", 24, 24, 19, 0, 0, "xvid_ipb.m4v"},
        // An AVI's packed pictures and placeholders, copied by ffmpeg.
        Sample{"xvid_packed.mkv", "V_MPEG4/ISO/ASP", 18, 18, 18, 5, 6, "xvid_packed.avi"},
        // mkvmerge: BITMAPINFOHEADER, headers in the first frame, a BlockGroup.
        Sample{"xvid_packed_vfw.mkv", "V_MS/VFW/FOURCC (xvid)", 18, 18, 18, 5, 6, "xvid_packed.avi"},
        // mkvmerge unpacked them: every coded picture, the last one too.
        Sample{"xvid_unpacked.mkv", "V_MPEG4/ISO/ASP", 19, 19, 19, 0, 0, "xvid_packed.avi", true}),
    [](const auto& info) {
      std::string name = info.param.file;
      std::replace(name.begin(), name.end(), '.', '_');
      return name;
    });

TEST(MatroskaReader, TimesComeFromClusterAndBlock) {
  const ContainerResult mkv = ReadMatroska(ReadData("mpeg4_ipb.mkv"));
  ASSERT_TRUE(mkv.ok()) << mkv.error;
  // Decode order I P B B P ...: the P picture is shown after the two B.
  ASSERT_GE(mkv.track.unitTimes.size(), 4u);
  EXPECT_EQ(mkv.track.unitTimes[0], 0);
  EXPECT_EQ(mkv.track.unitTimes[1], 120000000);
  EXPECT_EQ(mkv.track.unitTimes[2], 40000000);
  EXPECT_EQ(mkv.track.unitTimes[3], 80000000);
  // The second cluster starts at 480 ms.
  EXPECT_EQ(mkv.track.unitTimes[10], 480000000);
}

// A minimal valid file around one track and cluster, for the refusals.
Bytes OneTrackFile(const MatroskaTrack& track, const std::string& docType = "matroska") {
  const Bytes frame = {0, 0, 1, 0xB6, 0x10, 0x55};
  return Matroska(Cat({SegmentInfo(), Tracks({track}), Cluster(0, SimpleBlock(track.number, 0, {frame}))}), false,
                  docType);
}

TEST(MatroskaReader, RefusalsSayWhy) {
  MatroskaTrack avc;
  avc.codecId = "V_MPEG4/ISO/AVC";
  MatroskaTrack vp9;
  vp9.codecId = "V_VP9";
  MatroskaTrack div3;
  div3.codecId = "V_MS/VFW/FOURCC";
  div3.codecPrivate = Bytes(40, 0);
  std::copy_n("DIV3", 4, div3.codecPrivate.begin() + 16);
  MatroskaTrack shortBitmap = div3;
  shortBitmap.codecPrivate.resize(12);
  MatroskaTrack zlib;
  zlib.compressed = true;
  zlib.algorithm = 0;
  MatroskaTrack encrypted;
  encrypted.encrypted = true;
  MatroskaTrack audio;
  audio.type = 2;
  audio.codecId = "A_AAC";
  MatroskaTrack longRemoval;
  longRemoval.compressed = true;
  longRemoval.removedBytes = Bytes(300, 0);
  const Bytes header = EbmlHeader();
  const Bytes cutHeader(header.begin(), header.begin() + 10);
  const Bytes noTracks = Matroska(Cat({SegmentInfo(), Cluster(0, SimpleBlock(1, 0, {Bytes(6, 0)}))}));
  MatroskaTrack plain;
  const Bytes otherTrackOnly =
      Matroska(Cat({Tracks({plain}), Cluster(0, SimpleBlock(2, 0, {Bytes{0, 0, 1, 0xB6, 0x10}}))}));
  const Bytes noSegment = header;

  const struct {
    const char* name;
    Bytes file;
    const char* words;
  } cases[] = {
      {"H.264", OneTrackFile(avc), "'V_MPEG4/ISO/AVC' (H.264/AVC)"},
      {"VP9 in WebM", OneTrackFile(vp9, "webm"), "(VP8/VP9)"},
      {"DivX 3", OneTrackFile(div3), "FourCC 'DIV3' (MS MPEG-4 version 3"},
      {"bitmap header cut", OneTrackFile(shortBitmap), "without its BITMAPINFOHEADER"},
      {"zlib", OneTrackFile(zlib), "compressed with zlib"},
      {"encrypted", OneTrackFile(encrypted), "encrypted"},
      {"audio only", OneTrackFile(audio), "the Matroska file has no video track"},
      {"long header removal", OneTrackFile(longRemoval), "more than 256 bytes"},
      {"other document type", OneTrackFile(plain, "mka3d"), "document type 'mka3d', not Matroska"},
      {"EBML header cut", cutHeader, "EBML header is damaged or cut short"},
      {"no segment", noSegment, "no segment"},
      {"no track list", noTracks, "no track list"},
      {"no frames of the track", otherTrackOnly, "no frames of its video track 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SourceResult opened = OpenVideo(c.file);
    ASSERT_FALSE(opened.ok());
    EXPECT_TRUE(Contains(opened.error, c.words)) << opened.error;
    // Refused as Matroska, never searched for start codes instead.
    EXPECT_TRUE(Contains(opened.error, "Matroska")) << opened.error;
    EXPECT_EQ(opened.source.format, "Matroska");
  }
}

// Every prefix of a sample reads without fault: the units lie inside the
// bytes, and a cut inside the clusters keeps what is whole, with a note.
TEST(MatroskaReader, CutShortFilesGiveTheWholeFramesAndANote) {
  for (const char* name : {"xvid_packed_vfw.mkv", "mpeg4_ipb.mkv"}) {
    SCOPED_TRACE(name);
    const Bytes file = ReadData(name);
    const ContainerResult whole = ReadMatroska(file);
    ASSERT_TRUE(whole.ok());
    // Where the first frame starts: from there on a cut leaves frames.
    const std::size_t firstFrame = static_cast<std::size_t>(whole.track.units[0].data() - file.data());
    for (std::size_t length = 0; length <= file.size(); length += length < firstFrame + 600 ? 1 : 89) {
      const std::span<const uint8_t> prefix(file.data(), length);
      const ContainerResult mkv = ReadMatroska(prefix);
      ExpectUnitsInside(mkv.track, prefix);
      const SourceResult opened = OpenVideo(prefix);
      if (opened.ok()) {
        EXPECT_FALSE(opened.source.pictures.empty());
      } else if (length >= 4) {
        EXPECT_TRUE(Contains(opened.error, "Matroska")) << length << ": " << opened.error;
      }
      if (length > firstFrame + whole.track.units[0].size() && length < file.size()) {
        ASSERT_TRUE(mkv.ok()) << length << ": " << mkv.error;
        EXPECT_LE(mkv.track.units.size(), whole.track.units.size());
      }
      // The last cluster's end may be where a file is cut after the
      // frames (the index follows): only a cut inside a frame must note.
      if (length > firstFrame && length < static_cast<std::size_t>(whole.track.units.back().data() - file.data())) {
        EXPECT_FALSE(mkv.track.notes.empty()) << length;
      }
    }
  }
}

TEST(MatroskaReader, DamagedBytesNeverLeadOutside) {
  const Bytes original = ReadData("xvid_packed_vfw.mkv");
  std::mt19937 random(4321);
  for (int round = 0; round < 400; ++round) {
    Bytes file = original;
    const int hits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < hits; ++i) {
      // The structure more often than the pictures.
      const std::size_t at = random() % (round % 2 ? 1400 : file.size());
      file[at] = static_cast<uint8_t>(random());
    }
    const ContainerResult mkv = ReadMatroska(file);
    ExpectUnitsInside(mkv.track, file);
    EXPECT_LE(mkv.track.notes.size(), 13u);
    const SourceResult opened = OpenVideo(file);
    if (!opened.ok() && LooksLikeMatroska(file)) {
      EXPECT_TRUE(Contains(opened.error, "Matroska")) << opened.error;
    }
  }
}

}  // namespace
