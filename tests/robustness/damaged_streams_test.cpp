// Committed streams with bit flips, cut pictures, runs of garbage, trailing
// garbage and damaged headers, in every video quality and post-filter mode:
// every call returns within bounded time, describes a whole picture when it
// returns 1, and the decoder releases cleanly.  The sanitizer build runs the
// same tests and reports any access outside the decoder's memory.
#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "damage.h"
#include "robust_decode.h"

namespace robustness {
namespace {

// I, P and B pictures from both encoders; one and four vectors; matrices;
// odd sizes; adaptive quantisation; long vectors; video packets; CIF; many
// short pictures across second boundaries; interlaced coding, with quarter
// samples and global motion too; data partitioning.
const StreamInfo kStreams[] = {
    {"mpeg4_default.m4v", 176, 144},      {"xvid_ipb.m4v", 176, 144},
    {"mpeg4_ipb.m4v", 176, 144},          {"mpeg4_ip_mv4.m4v", 176, 144},
    {"xvid_ipb_mv4.m4v", 176, 144},       {"mpeg4_custom_matrix.m4v", 176, 144},
    {"xvid_ipb_custom_matrix.m4v", 176, 144}, {"mpeg4_intra_98x74.m4v", 98, 74},
    {"xvid_150x98.m4v", 150, 98},         {"mpeg4_ipb_aq.m4v", 176, 144},
    {"mpeg4_ip_fastpan.m4v", 176, 144},   {"mpeg4_ipb_cif.m4v", 352, 288},
    {"robustness/packets_ipb.m4v", 176, 144}, {"mpeg4_ipb_long.m4v", 64, 48},
    {"qpel_mpeg4_ipb_mv4.m4v", 176, 144}, {"qpel_xvid_ipb_mv4.m4v", 176, 144},
    {"qpel_mpeg4_zoom_180x100_ipb_mv4.m4v", 180, 100},
    {"qpel_mpeg4_zoom_180x100_ipb_packets.m4v", 180, 100},
    {"gmc_zoom_ipb.m4v", 176, 144},       {"gmc_turn_ip_mv4_aq.m4v", 176, 144},
    {"gmc_zoom_150x98_ipb.m4v", 150, 98}, {"gmc_turn_ip_1point.m4v", 176, 144},
    // Short header (baseline H.263): dquant, groups of blocks, 4CIF.
    {"h263_qcif_ip_aq.263", 176, 144},     {"h263_cif_ip_gob.263", 352, 288},
    {"h263_qcif_intra_q2.263", 176, 144},  {"h263_4cif_ip_gob.263", 704, 576},
    // Interlaced: field DCT, field prediction and field direct macroblocks,
    // the alternate scan, a size off the macroblock grid.
    {"interlaced_mpeg4_ipb_tff.m4v", 176, 144}, {"interlaced_mpeg4_ipb_bff_alt.m4v", 176, 144},
    {"interlaced_mpeg4_ipb_200x120.m4v", 200, 120}, {"interlaced_xvid_ipb_bff_alt.m4v", 176, 144},
    {"interlaced_mpeg4_ipb_packets.m4v", 176, 144},
    {"partitioned_ip_pan.m4v", 176, 144}, {"partitioned_ipb_aq.m4v", 176, 144},
    {"partitioned_zoom_180x100_ip.m4v", 180, 100}, {"partitioned_rvlc_ip_pan.m4v", 176, 144},
    // Interlaced with quarter samples (field vectors too) and with global
    // motion (S pictures), off the macroblock grid.
    {"interlaced_qpel_mpeg4_ipb_mv4_bff_alt.m4v", 176, 144},
    {"interlaced_qpel_mpeg4_zoom_180x100_ipb_mv4.m4v", 180, 100},
    {"interlaced_gmc_xvid_ip_150x98_bff_alt.m4v", 150, 98},
    {"interlaced_qpel_gmc_xvid_ipb_bff.m4v", 176, 144},
};

// Variants per stream and kind of damage; each decodes in the mode
// AllModes()[seed % 6], so every mode meets every kind of damage.
constexpr uint32_t kVariants = 12;

enum class Damage { BitFlips, Truncation, GarbageRuns, TrailingGarbage, Header };

std::string DamageName(Damage d) {
  switch (d) {
    case Damage::BitFlips: return "BitFlips";
    case Damage::Truncation: return "Truncation";
    case Damage::GarbageRuns: return "GarbageRuns";
    case Damage::TrailingGarbage: return "TrailingGarbage";
    default: return "Header";
  }
}

// One damaged variant of a stream.
Stream Damaged(const Stream& clean, Damage damage, uint32_t seed) {
  Stream s = clean;
  Random random(seed * 7919u + static_cast<uint32_t>(damage));
  // Now and then the start code itself is hit too.
  const size_t from = seed % 4 == 0 ? 0 : 4;
  for (Bytes& p : s.pictures) {
    const bool hit = Pick(random, 0, 2) == 0;
    switch (damage) {
      case Damage::BitFlips:
        if (hit) FlipBits(p, Pick(random, 1, 8), random, from);
        break;
      case Damage::Truncation:
        if (hit) Truncate(p, Pick(random, 0, p.size() - 1));
        break;
      case Damage::GarbageRuns:
        if (hit) OverwriteRun(p, Pick(random, 1, 300), random, from);
        break;
      case Damage::TrailingGarbage:
        if (Pick(random, 0, 1)) AppendGarbage(p, Pick(random, 1, 400), random);
        break;
      case Damage::Header:
        break;
    }
  }
  if (damage == Damage::Truncation && seed % 3 == 0) {
    // The file ends in the middle of a picture.
    const size_t last = Pick(random, 0, s.pictures.size() - 1);
    s.pictures.resize(last + 1);
    Truncate(s.pictures[last], Pick(random, 0, s.pictures[last].size()));
  }
  if (damage == Damage::GarbageRuns && seed % 2 == 0) {
    // Whole pictures of garbage between the real ones.
    const size_t at = Pick(random, 0, s.pictures.size());
    s.pictures.insert(s.pictures.begin() + static_cast<ptrdiff_t>(at),
                      GarbagePicture(Pick(random, 0, 2000), random));
  }
  if (damage == Damage::Header) {
    switch (seed % 3) {
      case 0: FlipBits(s.header, Pick(random, 1, 4), random, 4); break;
      case 1: Truncate(s.header, Pick(random, 0, s.header.size() - 1)); break;
      default: OverwriteRun(s.header, Pick(random, 1, 8), random, 4); break;
    }
  }
  return s;
}

void PrintTo(Damage d, std::ostream* os) { *os << DamageName(d); }

class DamagedStream : public ::testing::TestWithParam<std::tuple<StreamInfo, Damage>> {};

TEST_P(DamagedStream, EveryCallReturnsAndDescribesAWholePicture) {
  const auto& [info, damage] = GetParam();
  const Stream clean = LoadStream(info.name, info.width, info.height);
  ASSERT_FALSE(clean.pictures.empty());
  const std::vector<Settings> modes = AllModes();
  for (uint32_t seed = 0; seed < kVariants; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Decoded d = DecodeAll(Damaged(clean, damage, seed), modes[seed % modes.size()]);
    EXPECT_TRUE(d.created);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DamagedStream,
    ::testing::Combine(::testing::ValuesIn(kStreams),
                       ::testing::Values(Damage::BitFlips, Damage::Truncation, Damage::GarbageRuns,
                                         Damage::TrailingGarbage, Damage::Header)),
    [](const auto& param) {
      std::string name = std::get<0>(param.param).name;
      for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name + "_" + DamageName(std::get<1>(param.param));
    });

// Every single bit of a layer header flipped in turn, including in streams
// the decoder refuses (a flip can make them look decodable) and interlaced
// ones (a flip can make them look progressive, and the other way round).
TEST(DamagedHeader, EveryBitFlippedInTurn) {
  const StreamInfo infos[] = {{"mpeg4_ipb.m4v", 176, 144},   {"xvid_custom_matrix.m4v", 176, 144},
                              {"mpeg4_qpel.m4v", 176, 144},  {"xvid_gmc.m4v", 176, 144},
                              {"mpeg4_interlaced.m4v", 176, 144}, {"h263_qcif_ip_q4.263", 176, 144},
                              {"h263_plus_qcif.263", 176, 144}, {"interlaced_xvid_ipb_tff.m4v", 176, 144},
                              {"interlaced_qpel_gmc_xvid_ipb_bff.m4v", 176, 144}};
  const std::vector<Settings> modes = AllModes();
  for (const StreamInfo& info : infos) {
    Stream s = LoadStream(info.name, info.width, info.height);
    ASSERT_GE(s.pictures.size(), 4u);
    s.pictures.resize(4);
    const Bytes header = s.header;
    // The bits after the video object start code (the layer header and
    // whatever precedes the first picture, matrices included).
    const size_t bits = std::min<size_t>(header.size() * 8, 8 * 160);
    for (size_t bit = 32; bit < bits; ++bit) {
      s.header = header;
      s.header[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
      SCOPED_TRACE(std::string(info.name) + " bit " + std::to_string(bit));
      DecodeAll(s, modes[bit % modes.size()]);
    }
  }
}

// The header cut at every length: the decoder is created either way and
// decodes nothing when the header is incomplete.
TEST(DamagedHeader, CutAtEveryLength) {
  Stream s = LoadStream("xvid_ipb.m4v", 176, 144);
  ASSERT_GE(s.pictures.size(), 3u);
  s.pictures.resize(3);
  const Bytes header = s.header;
  for (size_t length = 0; length < header.size(); ++length) {
    s.header.assign(header.begin(), header.begin() + static_cast<ptrdiff_t>(length));
    SCOPED_TRACE("length " + std::to_string(length));
    DecodeAll(s, AllModes()[length % 6]);
  }
}

// Host sizes that differ from the stream's: smaller, larger, odd, tiny,
// extreme and impossible ones.
TEST(OddHostSizes, CleanAndDamagedStreams) {
  struct Size {
    int32_t width, height;
  };
  const Size sizes[] = {{1, 1},    {2, 2},    {15, 15},  {17, 9},    {33, 1},   {1, 33},
                        {175, 143}, {177, 145}, {88, 72}, {352, 288}, {720, 576}, {4000, 16},
                        {16, 4000}, {8191, 8},  {8, 8191}, {8192, 16}, {0, 0},    {-16, -16},
                        {0, 144},  {176, 0},   {2147483647, 2147483647}, {65536, 65536}};
  for (const char* name : {"mpeg4_ipb.m4v", "xvid_ipb_mv4.m4v", "robustness/packets_ipb.m4v", "h263_qcif_ip_q4.263"}) {
    Stream s = LoadStream(name, 176, 144);
    ASSERT_GE(s.pictures.size(), 7u);
    s.pictures.resize(7);
    Random random(7);
    Stream damaged = s;
    for (Bytes& p : damaged.pictures) FlipBits(p, 3, random, 4);
    const std::vector<Settings> modes = AllModes();
    for (size_t i = 0; i < std::size(sizes); ++i)
      for (size_t m : {i % 6, (i + 3) % 6}) {
        Settings mode = modes[m];
        mode.width = sizes[i].width;
        mode.height = sizes[i].height;
        SCOPED_TRACE(std::string(name) + " " + std::to_string(mode.width) + "x" +
                     std::to_string(mode.height));
        DecodeAll(s, mode);
        DecodeAll(damaged, mode);
      }
  }
}

// Whole pictures of garbage after a good header, with every coding type
// and the unpadded source type.
TEST(GarbagePictures, AfterAGoodHeader) {
  const Stream s = LoadStream("mpeg4_ipb.m4v", 176, 144);
  ASSERT_FALSE(s.pictures.empty());
  for (uint32_t seed = 0; seed < 24; ++seed) {
    Random random(seed);
    Stream g = s;
    g.pictures.resize(1);  // a real intra picture first, so that garbage meets references
    for (int i = 0; i < 8; ++i) {
      Bytes p = GarbagePicture(Pick(random, 0, 3000), random);
      if (p.size() > 4) p[4] = static_cast<uint8_t>((p[4] & 0x3F) | (i % 4) << 6);
      g.pictures.push_back(std::move(p));
    }
    Settings mode = AllModes()[seed % 6];
    if (seed % 2) mode.sourceType = 6800;
    SCOPED_TRACE("seed " + std::to_string(seed));
    DecodeAll(g, mode);
  }
}

}  // namespace
}  // namespace robustness
