// Matroska files the tests build from the frames of a plain sample:
// header removal, lacing, BlockGroups, the codec IDs, unknown sizes, times,
// and damage inside and between clusters.  Each must decode to exactly the
// plain sample's pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "container_builder.h"
#include "matroska_reader.h"
#include "shown_pictures.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "video_source.h"

namespace {

using namespace tavrin::tool;
using namespace containertests;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The frames of a committed file, as a reader gives them.
struct Frames {
  Bytes codecPrivate;
  std::vector<Bytes> frames;
  std::vector<int64_t> milliseconds;
};

const Frames& PlainFrames() {
  static const Frames plain = [] {
    Bytes file;
    EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath("mpeg4_ipb.mkv"), file));
    const ContainerResult mkv = ReadMatroska(file);
    EXPECT_TRUE(mkv.ok()) << mkv.error;
    Frames f;
    f.codecPrivate = mkv.track.configuration;
    for (std::size_t i = 0; i < mkv.track.units.size(); ++i) {
      f.frames.emplace_back(mkv.track.units[i].begin(), mkv.track.units[i].end());
      f.milliseconds.push_back(mkv.track.unitTimes[i] / 1000000);
    }
    return f;
  }();
  return plain;
}

const std::vector<std::vector<uint8_t>>& PlainPictures() {
  static const auto pictures = [] {
    Bytes file;
    EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath("mpeg4_ipb.mkv"), file));
    const SourceResult opened = OpenVideo(file);
    EXPECT_TRUE(opened.ok()) << opened.error;
    return ShownPictures(opened.source);
  }();
  return pictures;
}

// How to lay the frames out.
struct Layout {
  int lacing = 0;           // 0 none, 1 Xiph, 2 fixed size, 3 EBML
  std::size_t perBlock = 1;  // frames laced into one block
  std::size_t perCluster = 6;
  bool blockGroups = false;
  bool unknownSizes = false;  // segment and clusters, as live recorders write them
  std::size_t stripped = 0;   // leading bytes taken off every frame
};

// The bodies of the clusters (timestamp, then blocks) of the frames.
std::vector<Bytes> ClusterBodies(const Frames& plain, uint64_t trackNumber, const Layout& layout) {
  std::vector<Bytes> bodies;
  for (std::size_t first = 0; first < plain.frames.size(); first += layout.perCluster) {
    const std::size_t end = std::min(first + layout.perCluster, plain.frames.size());
    const int64_t clusterTime = plain.milliseconds[first];
    Bytes body = UintElement(0xE7, static_cast<uint64_t>(clusterTime));
    for (std::size_t at = first; at < end;) {
      std::size_t count = std::min(layout.lacing != 0 ? layout.perBlock : 1, end - at);
      // Fixed-size lacing holds frames of one size only.
      if (layout.lacing == 2) {
        std::size_t same = 1;
        while (same < count && plain.frames[at + same].size() == plain.frames[at].size()) ++same;
        count = same;
      }
      std::vector<Bytes> frames;
      for (std::size_t i = at; i < at + count; ++i) {
        frames.emplace_back(plain.frames[i].begin() + static_cast<std::ptrdiff_t>(layout.stripped), plain.frames[i].end());
      }
      const auto relative = static_cast<int16_t>(plain.milliseconds[at] - clusterTime);
      body = Cat({body, layout.blockGroups ? BlockGroup(trackNumber, relative, frames[0])
                                           : SimpleBlock(trackNumber, relative, frames, layout.lacing)});
      at += count;
    }
    bodies.push_back(body);
  }
  return bodies;
}

// A file: segment information, the track, the clusters, an index.
Bytes FileOf(MatroskaTrack track, const Bytes& clusters, bool unknownSize) {
  if (track.codecPrivate.empty()) track.codecPrivate = PlainFrames().codecPrivate;
  const Bytes cues = Element(0x1C53BB6B, Element(0xBB, UintElement(0xB3, 0)));
  return Matroska(Cat({SegmentInfo(), Tracks({track}), clusters, cues}), unknownSize);
}

Bytes Build(const Frames& plain, const MatroskaTrack& track, const Layout& layout) {
  Bytes clusters;
  for (const Bytes& body : ClusterBodies(plain, track.number, layout)) {
    clusters = Cat({clusters, layout.unknownSizes ? OpenElement(0x1F43B675, body) : Element(0x1F43B675, body)});
  }
  return FileOf(track, clusters, layout.unknownSizes);
}

// The bytes every frame starts with.
std::size_t CommonLeadingBytes(const std::vector<Bytes>& frames) {
  std::size_t n = frames[0].size();
  for (const Bytes& f : frames) {
    std::size_t k = 0;
    while (k < n && k < f.size() && f[k] == frames[0][k]) ++k;
    n = k;
  }
  return n;
}

void ExpectPlainPictures(const Bytes& file, const std::string& detailWords = {}) {
  const SourceResult opened = OpenVideo(file);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_TRUE(opened.source.notes.empty()) << opened.source.notes.front();
  EXPECT_TRUE(Contains(opened.source.detail, detailWords)) << opened.source.detail;
  EXPECT_EQ(opened.source.pictures.size(), PlainFrames().frames.size());
  EXPECT_TRUE(ShownPictures(opened.source) == PlainPictures());
}

struct LayoutCase {
  const char* name;
  Layout layout;
  const char* detailWords;
};

class MatroskaLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MatroskaLayouts, DecodeAsThePlainFile) {
  ExpectPlainPictures(Build(PlainFrames(), {}, GetParam().layout), GetParam().detailWords);
}

INSTANTIATE_TEST_SUITE_P(
    Built, MatroskaLayouts,
    ::testing::Values(LayoutCase{"as_written", {}, ""},
                      LayoutCase{"xiph_lacing", {.lacing = 1, .perBlock = 3}, ""},
                      LayoutCase{"ebml_lacing", {.lacing = 3, .perBlock = 4}, ""},
                      LayoutCase{"fixed_lacing", {.lacing = 2, .perBlock = 3}, ""},
                      LayoutCase{"block_groups", {.blockGroups = true}, ""},
                      LayoutCase{"one_cluster", {.perCluster = 100}, ""},
                      LayoutCase{"unknown_sizes", {.unknownSizes = true}, "clusters of unknown size"},
                      LayoutCase{"unknown_sizes_laced", {.lacing = 3, .perBlock = 5, .unknownSizes = true},
                                 "clusters of unknown size"}),
    [](const auto& info) { return std::string(info.param.name); });

// Header removal: the bytes every frame starts with are declared once and
// taken off each frame; the reader puts them back.
TEST(MatroskaBuilt, HeaderRemovalIsUndone) {
  const Frames& plain = PlainFrames();
  const std::size_t common = CommonLeadingBytes(plain.frames);
  ASSERT_GE(common, 3u);  // a start code's 00 00 01 at least
  MatroskaTrack track;
  track.compressed = true;
  track.removedBytes.assign(plain.frames[0].begin(), plain.frames[0].begin() + static_cast<std::ptrdiff_t>(common));
  const Bytes file = Build(plain, track, {.stripped = common});
  ExpectPlainPictures(file, "header removal of " + std::to_string(common) + " bytes undone");
  // Laced and in clusters of unknown size as well.
  ExpectPlainPictures(Build(plain, track, {.lacing = 1, .perBlock = 4, .unknownSizes = true, .stripped = common}));
  // The rebuilt frames are the plain ones.
  const ContainerResult mkv = ReadMatroska(file);
  ASSERT_TRUE(mkv.ok()) << mkv.error;
  ASSERT_TRUE(mkv.track.ownedBytes);
  ASSERT_EQ(mkv.track.units.size(), plain.frames.size());
  for (std::size_t i = 0; i < plain.frames.size(); ++i) {
    EXPECT_TRUE(std::equal(mkv.track.units[i].begin(), mkv.track.units[i].end(), plain.frames[i].begin(),
                           plain.frames[i].end()))
        << i;
  }
}

// Removal from the codec private data too (scope 3): the start code
// prefix 00 00 01 comes off both.
TEST(MatroskaBuilt, HeaderRemovalOfThePrivateData) {
  const Frames& plain = PlainFrames();
  MatroskaTrack track;
  track.compressed = true;
  track.scope = 3;
  track.removedBytes = {0, 0, 1};
  ASSERT_TRUE(std::equal(track.removedBytes.begin(), track.removedBytes.end(), plain.codecPrivate.begin()));
  track.codecPrivate.assign(plain.codecPrivate.begin() + 3, plain.codecPrivate.end());
  ExpectPlainPictures(Build(plain, track, {.stripped = 3}));
}

TEST(MatroskaBuilt, EveryMpeg4VisualCodecId) {
  const Frames& plain = PlainFrames();
  for (const char* id : {"V_MPEG4/ISO/SP", "V_MPEG4/ISO/AP", "V_MPEG4/ISO/ASP"}) {
    SCOPED_TRACE(id);
    MatroskaTrack track;
    track.codecId = id;
    ExpectPlainPictures(Build(plain, track, {}));
  }
  // V_MS/VFW/FOURCC: the header bytes follow a 40-byte BITMAPINFOHEADER;
  // a FourCC of no known format is tried, with a note.
  for (const char* fourcc : {"FMP4", "XVID", "ABCD"}) {
    SCOPED_TRACE(fourcc);
    MatroskaTrack track;
    track.codecId = "V_MS/VFW/FOURCC";
    Bytes bitmap(40, 0);
    bitmap[0] = 40;
    std::copy_n(fourcc, 4, bitmap.begin() + 16);
    track.codecPrivate = Cat({bitmap, plain.codecPrivate});
    const Bytes file = Build(plain, track, {});
    const SourceResult opened = OpenVideo(file);
    ASSERT_TRUE(opened.ok()) << opened.error;
    EXPECT_EQ(opened.source.codecTag, std::string("V_MS/VFW/FOURCC (") + fourcc + ")");
    EXPECT_EQ(opened.source.headerOrigin, "in the container's decoder configuration");
    EXPECT_EQ(opened.source.notes.size(), std::string(fourcc) == "ABCD" ? 1u : 0u);
    EXPECT_TRUE(ShownPictures(opened.source) == PlainPictures());
  }
}

TEST(MatroskaBuilt, TheFirstMpeg4VisualVideoTrackIsRead) {
  const Frames& plain = PlainFrames();
  MatroskaTrack audio;
  audio.number = 1;
  audio.type = 2;
  audio.codecId = "A_VORBIS";
  MatroskaTrack avc;
  avc.number = 2;
  avc.codecId = "V_MPEG4/ISO/AVC";
  MatroskaTrack video;
  video.number = 3;
  video.codecPrivate = plain.codecPrivate;
  Bytes blocks;
  for (std::size_t i = 0; i < plain.frames.size(); ++i) {
    const auto t = static_cast<int16_t>(plain.milliseconds[i]);
    blocks = Cat({blocks, SimpleBlock(1, t, {Bytes(9, 0xAA)}), SimpleBlock(2, t, {Bytes{0, 0, 1, 0xB6, 1}}),
                  SimpleBlock(3, t, {plain.frames[i]})});
  }
  const Bytes file = Matroska(Cat({SegmentInfo(), Tracks({audio, avc, video}), Cluster(0, blocks)}));
  ExpectPlainPictures(file);
}

// Times: cluster timestamp plus the block's relative one (negative too),
// in units of the timestamp scale.  Without a frame duration the rate
// comes from the times.
TEST(MatroskaBuilt, TimesAndTheRateFromThem) {
  const Frames& plain = PlainFrames();
  MatroskaTrack track;
  track.codecPrivate = plain.codecPrivate;
  track.defaultDuration = 0;
  // 0.1 ms units; 30000/1001 pictures per second: 333.67 units apart.
  auto units = [](std::size_t i) { return static_cast<int64_t>(i * 10010 / 30 + 20000); };
  Bytes blocks;
  for (std::size_t i = 0; i < plain.frames.size(); ++i) {
    blocks = Cat({blocks, SimpleBlock(1, static_cast<int16_t>(units(i) - 21000), {plain.frames[i]})});
  }
  const Bytes file = Matroska(Cat({SegmentInfo(100000), Tracks({track}), Cluster(21000, blocks)}));
  const ContainerResult mkv = ReadMatroska(file);
  ASSERT_TRUE(mkv.ok()) << mkv.error;
  ASSERT_EQ(mkv.track.unitTimes.size(), plain.frames.size());
  for (std::size_t i = 0; i < plain.frames.size(); ++i) EXPECT_EQ(mkv.track.unitTimes[i], units(i) * 100000) << i;
  EXPECT_EQ(mkv.track.frameRate.num, 30000);
  EXPECT_EQ(mkv.track.frameRate.den, 1001);

  // Laced frames after the first follow at the frame duration.
  track.defaultDuration = 40000000;
  const Bytes laced = Matroska(Cat({SegmentInfo(), Tracks({track}),
                                    Cluster(1000, SimpleBlock(1, -200, {plain.frames[0], plain.frames[1]}, 1))}));
  const ContainerResult two = ReadMatroska(laced);
  ASSERT_TRUE(two.ok()) << two.error;
  EXPECT_EQ(two.track.unitTimes, (std::vector<int64_t>{800000000, 840000000}));
  EXPECT_EQ(two.track.frameRate.num, 25);
}

// Damage between clusters is stepped over to the next cluster; a cluster
// whose size is damaged ends where the next one starts.
TEST(MatroskaBuilt, DamageBetweenAndInsideClusters) {
  const Frames& plain = PlainFrames();
  const std::vector<Bytes> bodies = ClusterBodies(plain, 1, {.perCluster = 5});
  ASSERT_EQ(bodies.size(), 4u);
  auto cluster = [&](std::size_t i) { return Element(0x1F43B675, bodies[i]); };
  // A cluster whose size field claims `size` bytes.
  auto claiming = [&](std::size_t i, uint64_t size) {
    return Cat({EbmlId(0x1F43B675), EbmlNumber(size, 8), bodies[i]});
  };
  const std::size_t all = plain.frames.size();
  const struct {
    const char* name;
    Bytes clusters;
    std::size_t frames;
    const char* note;
  } cases[] = {
      {"junk between clusters", Cat({cluster(0), cluster(1), Bytes(57, 0xFF), cluster(2), cluster(3)}), all,
       "skipped up to the next cluster"},
      {"a cluster claiming too much", Cat({claiming(0, 1u << 30), cluster(1), cluster(2), cluster(3)}), all,
       "ends at offset"},
      {"a cluster claiming past the next", Cat({claiming(0, bodies[0].size() + 40), cluster(1), cluster(2), cluster(3)}),
       all, "ends at offset"},
      // Its last block runs past it and is left out; its last byte is junk.
      {"a cluster claiming a byte too few", Cat({claiming(0, bodies[0].size() - 1), cluster(1), cluster(2), cluster(3)}),
       all - 1, "the block at offset"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = FileOf({}, c.clusters, false);
    const ContainerResult mkv = ReadMatroska(file);
    ASSERT_TRUE(mkv.ok()) << mkv.error;
    EXPECT_EQ(mkv.track.units.size(), c.frames);
    std::string notes;
    for (const std::string& n : mkv.track.notes) notes += n + "\n";
    EXPECT_TRUE(Contains(notes, c.note)) << notes;
    const SourceResult opened = OpenVideo(file);
    ASSERT_TRUE(opened.ok()) << opened.error;
    if (c.frames == all) {
      EXPECT_TRUE(ShownPictures(opened.source) == PlainPictures());
    }
  }
}

// Bad lacing in one block loses that block only.
TEST(MatroskaBuilt, ABlockWithBadLacingIsLeftOut) {
  const Frames& plain = PlainFrames();
  // Two frames in fixed-size lacing whose bytes do not halve.
  const Bytes bad = SimpleBlock(1, 0, {Bytes(5, 1), Bytes(4, 2)}, 2);
  Bytes body = UintElement(0xE7, 0);
  for (std::size_t i = 0; i < plain.frames.size(); ++i) {
    body = Cat({body, SimpleBlock(1, static_cast<int16_t>(plain.milliseconds[i]), {plain.frames[i]})});
    if (i == 3) body = Cat({body, bad});
  }
  const ContainerResult mkv = ReadMatroska(FileOf({}, Element(0x1F43B675, body), false));
  ASSERT_TRUE(mkv.ok()) << mkv.error;
  EXPECT_EQ(mkv.track.units.size(), plain.frames.size());
  ASSERT_EQ(mkv.track.notes.size(), 1u);
  EXPECT_TRUE(Contains(mkv.track.notes[0], "do not split into 2 frames of one size")) << mkv.track.notes[0];
}

// Damage anywhere in a file with header removal and lacing: the units
// stay inside the file or the rebuilt bytes, and a refusal names the
// container.
TEST(MatroskaBuilt, DamagedBuiltFilesNeverLeadOutside) {
  const Frames& plain = PlainFrames();
  MatroskaTrack track;
  track.compressed = true;
  track.removedBytes = {0, 0, 1, 0xB6};
  const Bytes original = Build(plain, track, {.lacing = 3, .perBlock = 3, .unknownSizes = true, .stripped = 4});
  std::mt19937 random(99);
  for (int round = 0; round < 300; ++round) {
    Bytes file = original;
    for (int i = 0, hits = 1 + static_cast<int>(random() % 6); i < hits; ++i) {
      file[random() % (round % 2 ? 600 : file.size())] = static_cast<uint8_t>(random());
    }
    const ContainerResult mkv = ReadMatroska(file);
    for (const auto& unit : mkv.track.units) {
      const bool inFile = unit.data() >= file.data() && unit.data() + unit.size() <= file.data() + file.size();
      const bool inOwned = mkv.track.ownedBytes && unit.data() >= mkv.track.ownedBytes->data() &&
                           unit.data() + unit.size() <= mkv.track.ownedBytes->data() + mkv.track.ownedBytes->size();
      ASSERT_TRUE(unit.empty() || inFile || inOwned);
    }
    const SourceResult opened = OpenVideo(file);
    if (!opened.ok() && LooksLikeMatroska(file)) {
      EXPECT_TRUE(Contains(opened.error, "Matroska")) << opened.error;
    }
  }
}

}  // namespace
