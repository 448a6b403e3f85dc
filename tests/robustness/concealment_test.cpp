// Damaged pictures are mended, not left with older pictures' pieces: the
// macroblocks a damaged picture loses are concealed from the reference
// (closer to the clean decode by a margin than the stale record would
// be), and decoding resumes at the next video packet, whose macroblocks
// come out as in the clean stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "damage.h"
#include "robust_decode.h"
#include "support/reference_decode.h"

namespace robustness {
namespace {

double LumaPsnr(const Stream& s, const Bytes& a, const Bytes& b) {
  return testsupport::Psnr(a.data(), s.width, b.data(), s.width, s.width, s.height);
}

// The anchors (I and P pictures with data) in decoding order.
std::vector<size_t> Anchors(const Stream& s) {
  std::vector<size_t> anchors;
  for (size_t i = 0; i < s.pictures.size(); ++i) {
    const int32_t type = CodingTypeOf(s.pictures[i]);
    if (s.pictures[i].size() > 16 && (type == 0 || type == 1)) anchors.push_back(i);
  }
  return anchors;
}

// Moving scenes of both encoders, with and without video packets: a
// P picture in the middle loses the second half of its data.  How much
// closer to the clean decode the concealed picture must be than the same
// picture with its lost macroblocks left as an older picture had them:
// panning scenes gain most (measured 4.5 to 8.9 dB), a zoom and a scene
// whose reference is three pictures back least (0.4 to 1.3 dB).
struct MovingStream {
  StreamInfo stream;
  double marginDb;
};
void PrintTo(const MovingStream& m, std::ostream* os) { *os << m.stream.name; }

const MovingStream kMoving[] = {
    {{"mpeg4_ip_fastpan.m4v", 176, 144}, 3.0},
    {{"xvid_ip_fastpan.m4v", 176, 144}, 3.0},
    {{"mpeg4_ipb_cif.m4v", 352, 288}, 3.0},
    {{"xvid_ipb_cif.m4v", 352, 288}, 3.0},
    {{"mpeg4_zoom_350x250_ipb_mv4.m4v", 350, 250}, 0.5},
    {{"robustness/packets_ipb.m4v", 176, 144}, 0.2},
};

class Concealment : public ::testing::TestWithParam<MovingStream> {};

TEST_P(Concealment, LostMacroblocksComeCloserThanStaleOnes) {
  const StreamInfo info = GetParam().stream;
  const Stream s = LoadStream(info.name, info.width, info.height);
  const std::vector<size_t> anchors = Anchors(s);
  ASSERT_GE(anchors.size(), 4u);
  // A P picture with two anchors before it.
  size_t a = anchors.size() / 2;
  while (a + 1 < anchors.size() && CodingTypeOf(s.pictures[anchors[a]]) != 1) ++a;
  ASSERT_GE(a, 2u);
  const size_t k = anchors[a];
  const size_t stale = anchors[a - 2];
  for (int32_t quality : {0, 1}) {
    SCOPED_TRACE("video quality " + std::to_string(quality));
    Settings mode;
    mode.videoQuality = quality;
    const Decoded clean = DecodeAll(s, mode);
    std::vector<Bytes> pictures = s.pictures;
    Truncate(pictures[k], pictures[k].size() / 2);
    const Decoded damaged = DecodeAll(s.header, pictures, mode, s.width, s.height);
    const Bytes& mended = damaged.calls[k].picture;
    const Bytes& truth = clean.calls[k].picture;
    ASSERT_EQ(mended.size(), truth.size());
    ASSERT_FALSE(mended == truth);
    // What the picture would show with the lost macroblocks stale: the
    // macroblocks that differ from the clean decode taken from the anchor
    // two before.
    Bytes old = mended;
    const Bytes& before = clean.calls[stale].picture;
    for (int32_t y = 0; y < s.height; y += 16)
      for (int32_t x = 0; x < s.width; x += 16) {
        bool differs = false;
        for (int32_t r = y; r < std::min(y + 16, s.height); ++r)
          for (int32_t c = x; c < std::min(x + 16, s.width); ++c) {
            const size_t at = static_cast<size_t>(r) * s.width + c;
            differs = differs || mended[at] != truth[at];
          }
        if (!differs) continue;
        for (int32_t r = y; r < std::min(y + 16, s.height); ++r)
          for (int32_t c = x; c < std::min(x + 16, s.width); ++c) {
            const size_t at = static_cast<size_t>(r) * s.width + c;
            old[at] = before[at];
          }
      }
    const double concealed = LumaPsnr(s, mended, truth);
    const double left = LumaPsnr(s, old, truth);
    EXPECT_GE(concealed, left + GetParam().marginDb) << "picture " << k << ": concealed " << concealed
                                           << " dB, stale " << left << " dB";
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, Concealment, ::testing::ValuesIn(kMoving), [](const auto& param) {
  std::string name = param.param.stream.name;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

// A burst in the first video packet of a P picture: the packets after it
// decode as in the clean stream.
TEST(VideoPackets, DecodingResumesAtTheNextPacket) {
  const Stream s = LoadStream("robustness/packets_ipb.m4v", 176, 144);
  const std::vector<size_t> anchors = Anchors(s);
  size_t k = 0;
  for (size_t a : anchors)
    if (CodingTypeOf(s.pictures[a]) == 1 && s.pictures[a].size() > 800) k = a;
  ASSERT_GT(k, 0u);
  for (const Settings& mode : AllModes()) {
    if (mode.postFilter != 0) continue;  // the filter mixes rows across packets
    const Decoded clean = DecodeAll(s, mode);
    std::vector<Bytes> pictures = s.pictures;
    for (size_t i = 12; i < 16; ++i) pictures[k][i] ^= 0xA5;
    const Decoded damaged = DecodeAll(s.header, pictures, mode, s.width, s.height);
    const Bytes& got = damaged.calls[k].picture;
    const Bytes& want = clean.calls[k].picture;
    ASSERT_EQ(got.size(), want.size());
    EXPECT_FALSE(got == want);
    // The last macroblock row lies in a later packet.
    const size_t lastRow = static_cast<size_t>(s.width) * (s.height - 16);
    EXPECT_TRUE(std::equal(got.begin() + static_cast<ptrdiff_t>(lastRow),
                           got.begin() + static_cast<ptrdiff_t>(s.width) * s.height,
                           want.begin() + static_cast<ptrdiff_t>(lastRow)))
        << "video quality " << mode.videoQuality;
  }
}

// A data-partitioned intra picture (not the stream's first) whose
// residual partition is damaged after its DC marker: the lost macroblocks
// are concealed from the reference but keep the DCs that were read intact,
// so every block of them has (nearly) the clean picture's mean.
TEST(Concealment, PartitionedIntraMacroblocksKeepTheirDcs) {
  const Stream s = LoadStream("partitioned_ip_pan.m4v", 176, 144);
  size_t k = 0;
  for (size_t i = 1; i < s.pictures.size() && k == 0; ++i)
    if (CodingTypeOf(s.pictures[i]) == 0) k = i;
  ASSERT_GT(k, 0u);
  // The DC marker (19 bits: 110 1011 0000 0000 0001) of the first packet.
  const Bytes& picture = s.pictures[k];
  size_t marker = 0;
  for (size_t bit = 32; bit + 19 < 8 * picture.size() && marker == 0; ++bit) {
    uint32_t v = 0;
    for (size_t n = 0; n < 19; ++n) v = v << 1 | ((picture[(bit + n) / 8] >> (7 - (bit + n) % 8)) & 1);
    if (v == 0x6B001) marker = (bit + 19) / 8 + 2;
  }
  ASSERT_GT(marker, 0u);
  for (int32_t quality : {0, 1}) {
    SCOPED_TRACE("video quality " + std::to_string(quality));
    Settings mode;
    mode.videoQuality = quality;
    const Decoded clean = DecodeAll(s, mode);
    std::vector<Bytes> pictures = s.pictures;
    pictures[k][marker] = 0;  // fifteen zero bits: no residual code
    pictures[k][marker + 1] = 1;
    const Decoded damaged = DecodeAll(s.header, pictures, mode, s.width, s.height);
    const Bytes& got = damaged.calls[k].picture;
    const Bytes& want = clean.calls[k].picture;
    ASSERT_EQ(got.size(), want.size());
    int blocks = 0, kept = 0;
    for (int32_t y = 0; y < s.height; y += 8)
      for (int32_t x = 0; x < s.width; x += 8) {
        int32_t a = 0, b = 0;
        for (int32_t r = y; r < y + 8; ++r)
          for (int32_t c = x; c < x + 8; ++c) {
            a += got[static_cast<size_t>(r) * s.width + c];
            b += want[static_cast<size_t>(r) * s.width + c];
          }
        if (std::equal(got.begin() + y * s.width + x, got.begin() + y * s.width + x + 8, want.begin() + y * s.width + x) && a == b) continue;
        ++blocks;
        kept += std::abs(a - b) <= 64 * 4;
      }
    EXPECT_GT(blocks, 8);
    EXPECT_GE(kept, blocks * 9 / 10) << kept << " of " << blocks << " damaged blocks keep their mean";
  }
}

}  // namespace
}  // namespace robustness
