// The MP4/MOV reader on the committed samples and on hand-built and damaged
// files.
#include "iso_media_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "container_builder.h"
#include "iso_boxes.h"
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

const Bytes kHeader = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x08, 0xC8};

// A file with one mp4v track whose samples are `samples`, stored in chunks
// of `perChunk` after the moov box.
Bytes Mp4(const std::vector<Bytes>& samples, uint32_t perChunk, bool wide = false) {
  Bytes sizes = Words({0, static_cast<uint32_t>(samples.size())});
  for (const Bytes& s : samples) PutBe32(sizes, static_cast<uint32_t>(s.size()));
  const uint32_t chunks = static_cast<uint32_t>((samples.size() + perChunk - 1) / perChunk);
  auto tables = [&](const std::vector<uint64_t>& offsets) {
    Bytes offsetBody = Words({chunks});
    for (uint64_t o : offsets) {
      if (wide) PutBe32(offsetBody, static_cast<uint32_t>(o >> 32));
      PutBe32(offsetBody, static_cast<uint32_t>(o));
    }
    return Cat({FullBox("stsd", Cat({Words({1}), SampleEntry("mp4v", 176, 144, Esds(kHeader))})),
                FullBox("stts", Words({1, static_cast<uint32_t>(samples.size()), 1})),
                FullBox("stsc", Words({1, 1, perChunk, 1})), FullBox("stsz", sizes),
                FullBox(wide ? "co64" : "stco", offsetBody)});
  };
  const Bytes ftyp = IsoBox("ftyp", {'i', 's', 'o', 'm', 0, 0, 2, 0});
  // The movie box's size does not depend on the offsets' values.
  const std::size_t moovSize = Movie(tables(std::vector<uint64_t>(chunks, 0))).size();
  std::vector<uint64_t> offsets;
  uint64_t at = ftyp.size() + moovSize + 8;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (i % perChunk == 0) offsets.push_back(at);
    at += samples[i].size();
  }
  Bytes media;
  for (const Bytes& s : samples) media = Cat({media, s});
  return Cat({ftyp, Movie(tables(offsets)), IsoBox("mdat", media)});
}

std::vector<Bytes> SomeSamples(int count) {
  std::vector<Bytes> samples;
  for (int i = 0; i < count; ++i) samples.push_back({0, 0, 1, 0xB6, static_cast<uint8_t>(i), 0x55, 0x55});
  return samples;
}

TEST(IsoMediaReader, FfmpegMp4) {
  const Bytes file = ReadData("mpeg4_ipb.mp4");
  ASSERT_TRUE(LooksLikeIsoMedia(file));
  const ContainerResult mp4 = ReadIsoMedia(file);
  ASSERT_TRUE(mp4.ok()) << mp4.error;
  EXPECT_EQ(mp4.track.format, "MP4");
  EXPECT_EQ(mp4.track.codecTag, "mp4v");
  EXPECT_EQ(mp4.track.width, 176);
  EXPECT_EQ(mp4.track.height, 144);
  EXPECT_EQ(mp4.track.frameRate.num, 25);
  EXPECT_EQ(mp4.track.frameRate.den, 1);
  ASSERT_EQ(mp4.track.units.size(), 20u);
  // ffmpeg keeps the headers in the esds box only.
  ASSERT_GE(mp4.track.configuration.size(), 4u);
  EXPECT_EQ(mp4.track.configuration[3], 0xB0);
  const SourceResult opened = OpenVideo(file);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.source.headerOrigin, "in the container's decoder configuration");
  EXPECT_EQ(opened.source.pictures.size(), 20u);
}

TEST(IsoMediaReader, FfmpegMov) {
  const Bytes file = ReadData("mpeg4_mv4.mov");
  const ContainerResult mov = ReadIsoMedia(file);
  ASSERT_TRUE(mov.ok()) << mov.error;
  EXPECT_EQ(mov.track.format, "QuickTime MOV");
  EXPECT_EQ(mov.track.units.size(), 15u);
  const SourceResult opened = OpenVideo(file);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.source.pictures.size(), 15u);
}

TEST(IsoMediaReader, SampleTablesPlaceEverySample) {
  const std::vector<Bytes> samples = SomeSamples(7);
  for (bool wide : {false, true}) {
    for (uint32_t perChunk : {1u, 3u, 7u}) {
      SCOPED_TRACE(std::to_string(perChunk) + (wide ? " co64" : " stco"));
      const Bytes file = Mp4(samples, perChunk, wide);
      const ContainerResult mp4 = ReadIsoMedia(file);
      ASSERT_TRUE(mp4.ok()) << mp4.error;
      ASSERT_EQ(mp4.track.units.size(), samples.size());
      for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(Bytes(mp4.track.units[i].begin(), mp4.track.units[i].end()), samples[i]) << i;
      }
      EXPECT_EQ(mp4.track.configuration, kHeader);
    }
  }
}

TEST(IsoMediaReader, OtherCodecsAndMissingPartsAreNamed) {
  const Bytes avc = IsoBox("moov", IsoBox("trak", IsoBox("mdia", Cat({FullBox("hdlr", Cat({Words({0}), {'v', 'i', 'd', 'e'}, Bytes(12, 0)})),
                                                            IsoBox("minf", IsoBox("stbl", FullBox("stsd", Cat({Words({1}), SampleEntry("avc1", 64, 48, {})}))))}))));
  const ContainerResult r = ReadIsoMedia(avc);
  EXPECT_NE(r.error.find("H.264"), std::string::npos) << r.error;
  EXPECT_NE(ReadIsoMedia(IsoBox("mdat", Bytes(20, 0))).error.find("no movie box"), std::string::npos);
  EXPECT_NE(ReadIsoMedia(Cat({IsoBox("ftyp", Bytes(8, 'a')), IsoBox("moof", Bytes(8, 0))})).error.find("fragmented"),
            std::string::npos);
  EXPECT_EQ(ReadIsoMedia(IsoBox("moov", Bytes(8, 0))).error, "the QuickTime MOV file has no video track");
  // An mp4v description carrying MPEG-1 video.
  const Bytes mpeg1 = Movie(FullBox("stsd", Cat({Words({1}), SampleEntry("mp4v", 64, 48, Esds(kHeader, 0x6A))})));
  EXPECT_NE(ReadIsoMedia(mpeg1).error.find("MPEG-1 video"), std::string::npos);
}

TEST(IsoMediaReader, ImpossibleCountsAreClipped) {
  // A sample count of 2^32 - 1 with one constant size, and a table that
  // claims more entries than it holds.
  const Bytes stbl = Cat({FullBox("stsd", Cat({Words({1}), SampleEntry("mp4v", 176, 144, Esds(kHeader))})),
                          FullBox("stsc", Words({0xFFFFFFFF, 1, 0xFFFFFFFF, 1})), FullBox("stsz", Words({1, 0xFFFFFFFF})),
                          FullBox("stco", Words({0xFFFFFFFF, 0}))});
  const Bytes file = Movie(stbl);
  const ContainerResult r = ReadIsoMedia(file);
  // Samples of one byte each, all inside the file.
  EXPECT_LE(r.track.units.size(), file.size());
  EXPECT_FALSE(r.track.notes.empty());
}

TEST(IsoMediaReader, BoxSizes) {
  std::vector<std::string> notes;
  // 64-bit size, size 0 (to the end), and a size below the header length.
  Bytes large = {0, 0, 0, 1, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 0, 0, 0, 20, 1, 2, 3, 4};
  const Bytes file = Cat({large, Bytes{0, 0, 0, 0, 'm', 'd', 'a', 't', 9, 9}});
  const ByteView view(file);
  const auto boxes = ChildBoxes(view, 0, file.size(), notes);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].bodySize, 4u);
  EXPECT_EQ(boxes[1].type, "mdat");
  EXPECT_EQ(boxes[1].bodySize, 2u);
  const Bytes broken = {0, 0, 0, 4, 'f', 'r', 'e', 'e', 0, 0, 0, 8, 'f', 'r', 'e', 'e'};
  EXPECT_TRUE(ChildBoxes(ByteView(broken), 0, broken.size(), notes).empty());
  EXPECT_FALSE(notes.empty());
}

TEST(IsoMediaReader, DescriptorsWithOptionalFields) {
  // ES_Descriptor with a dependency and a URL, sizes in the four-byte form.
  const Bytes body = {0, 0, 0, 0,                                       // version, flags
                      0x03, 0x80, 0x80, 0x80, 34, 0, 1, 0xC0, 0, 2, 3, 'a', 'b', 'c',  // ES_ID, flags, depends, URL
                      0x04, 0x80, 0x80, 0x80, 20, 0x20, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                      0x05, 0x80, 0x80, 0x80, 2, 0xAB, 0xCD};
  const DecoderConfig config = ReadElementaryStreamDescriptor(body);
  EXPECT_EQ(config.error, "");
  EXPECT_EQ(config.objectType, 0x20);
  EXPECT_EQ(config.specificInfo, (Bytes{0xAB, 0xCD}));
  // Cut anywhere, the reading stays inside the bytes.
  for (std::size_t n = 0; n < body.size(); ++n) {
    const DecoderConfig cut = ReadElementaryStreamDescriptor(std::span<const uint8_t>(body.data(), n));
    EXPECT_LE(cut.specificInfo.size(), 2u);
  }
}

TEST(IsoMediaReader, CutShortAndDamagedFilesStayInside) {
  const Bytes original = ReadData("mpeg4_ipb.mp4");
  for (std::size_t length = 0; length <= original.size(); length += 61) {
    const std::span<const uint8_t> prefix(original.data(), length);
    const ContainerResult r = ReadIsoMedia(prefix);
    for (const auto& unit : r.track.units) {
      ASSERT_GE(unit.data(), prefix.data());
      ASSERT_LE(unit.data() + unit.size(), prefix.data() + prefix.size());
    }
    OpenVideo(prefix);
  }
  // The movie box comes last in ffmpeg's files: damage it.
  std::mt19937 random(99);
  for (int round = 0; round < 300; ++round) {
    Bytes file = original;
    for (int i = 0; i < 1 + round % 6; ++i) {
      const std::size_t at = file.size() - 1 - random() % 2000;
      file[at] = static_cast<uint8_t>(random());
    }
    const ContainerResult r = ReadIsoMedia(file);
    for (const auto& unit : r.track.units) {
      ASSERT_GE(unit.data(), file.data());
      ASSERT_LE(unit.data() + unit.size(), file.data() + file.size());
    }
    OpenVideo(file);
  }
}

}  // namespace
