// Recovery: a damaged picture never changes how the next intra picture
// decodes.  From that intra picture on, every picture whose references are
// clean comes out bit-identical to the clean stream's decode, in every mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "damage.h"
#include "robust_decode.h"
#include "support/reference_decode.h"

namespace robustness {
namespace {

// Streams with intra pictures after predicted ones.
const StreamInfo kStreams[] = {
    {"mpeg4_ip_mv4.m4v", 176, 144}, {"xvid_ip_mv4.m4v", 176, 144},
    {"mpeg4_ipb.m4v", 176, 144},    {"xvid_ipb.m4v", 176, 144},
    {"mpeg4_gop4.m4v", 176, 144},   {"xvid_gop4.m4v", 176, 144},
    {"xvid_ip_fastpan.m4v", 176, 144}, {"robustness/packets_ipb.m4v", 176, 144},
    {"h263_cif_ip.263", 352, 288},     {"h263_qcif_ip_aq.263", 176, 144},
};

// Placeholder pictures (vop_coded 0, a few bytes) carry a coding type but
// no picture.
bool IsCoded(const Bytes& picture) { return picture.size() > 16; }
bool IsIntra(const Bytes& p) { return IsCoded(p) && CodingTypeOf(p) == 0; }
bool IsAnchor(const Bytes& p) { return IsCoded(p) && (CodingTypeOf(p) == 0 || CodingTypeOf(p) == 1); }

// Whether the second reconstruction path decodes I and P pictures yet: a
// clean stream of both comes out close to the first path's decode (the two
// differ only in transform arithmetic).  Until then quality 1 is left out
// of the comparisons, as its pictures keep whatever their records held.
bool SecondPathDecodes() {
  const Stream s = LoadStream("mpeg4_ip_mv4.m4v", 176, 144);
  Settings quality1;
  quality1.videoQuality = 1;
  const Decoded first = DecodeAll(s, Settings{});
  const Decoded second = DecodeAll(s, quality1);
  for (size_t i = 0; i < first.calls.size(); ++i) {
    const Bytes& a = first.calls[i].picture;
    const Bytes& b = second.calls[i].picture;
    if (a.size() != b.size() || a.empty() ||
        testsupport::Psnr(a.data(), s.width, b.data(), s.width, s.width, s.height) < 30)
      return false;
  }
  return true;
}

enum class Damage { BitFlips, Truncation, GarbageRun, Garbage, Dropped };

// Damages picture `k` and says, for every call of the damaged stream, which
// call of the clean stream it corresponds to.
std::vector<Bytes> DamageOne(const std::vector<Bytes>& clean, size_t k, Damage damage, uint32_t seed,
                             std::vector<size_t>& cleanIndex) {
  std::vector<Bytes> pictures = clean;
  Random random(seed);
  Bytes& p = pictures[k];
  switch (damage) {
    case Damage::BitFlips: FlipBits(p, Pick(random, 1, 16), random, 4); break;
    case Damage::Truncation: Truncate(p, Pick(random, 4, std::max<size_t>(4, p.size() / 2))); break;
    case Damage::GarbageRun: OverwriteRun(p, Pick(random, 8, 200), random, 4); break;
    case Damage::Garbage: {
      Bytes g = GarbagePicture(p.size(), random);
      if (g.size() > 4) g[4] = static_cast<uint8_t>((g[4] & 0x3F) | (p.size() > 4 ? p[4] & 0xC0 : 0));
      p = g;
      break;
    }
    case Damage::Dropped: break;
  }
  cleanIndex.clear();
  for (size_t i = 0; i < clean.size(); ++i)
    if (!(damage == Damage::Dropped && i == k)) cleanIndex.push_back(i);
  if (damage == Damage::Dropped) pictures.erase(pictures.begin() + static_cast<ptrdiff_t>(k));
  return pictures;
}

class Recovery : public ::testing::TestWithParam<StreamInfo> {};

TEST_P(Recovery, NextIntraPictureIsBitIdentical) {
  const StreamInfo info = GetParam();
  const Stream s = LoadStream(info.name, info.width, info.height);
  ASSERT_FALSE(s.pictures.empty());
  std::vector<Settings> modes = AllModes();
  if (!SecondPathDecodes()) modes.resize(3);  // quality 1 joins once it decodes
  std::vector<Decoded> clean;
  for (const Settings& mode : modes) clean.push_back(DecodeAll(s, mode));

  const size_t n = s.pictures.size();
  size_t compared = 0;
  for (size_t k = 0; k < n; ++k) {
    // The first intra picture after k, and the first anchor after that.
    size_t r = k + 1;
    while (r < n && !IsIntra(s.pictures[r])) ++r;
    if (r >= n) break;
    size_t a = r + 1;
    while (a < n && !IsAnchor(s.pictures[a])) ++a;
    for (Damage damage : {Damage::BitFlips, Damage::Truncation, Damage::GarbageRun,
                          Damage::Garbage, Damage::Dropped}) {
      const size_t m = (k + static_cast<size_t>(damage)) % modes.size();
      std::vector<size_t> cleanIndex;
      const auto pictures =
          DamageOne(s.pictures, k, damage, static_cast<uint32_t>(k * 31 + static_cast<uint32_t>(damage)),
                    cleanIndex);
      const Decoded d = DecodeAll(s.header, pictures, modes[m], s.width, s.height);
      ASSERT_EQ(d.calls.size(), cleanIndex.size());
      for (size_t j = 0; j < d.calls.size(); ++j) {
        const size_t c = cleanIndex[j];
        // B pictures (and placeholders) between the intra picture and the
        // next anchor still predict from the anchor before the intra one.
        if (c < r || (c > r && c < a)) continue;
        SCOPED_TRACE(std::string(info.name) + ": picture " + std::to_string(k) + " damaged (kind " +
                     std::to_string(static_cast<int>(damage)) + ", mode " + std::to_string(m) +
                     "), call " + std::to_string(c));
        ASSERT_EQ(d.calls[j].result, clean[m].calls[c].result);
        EXPECT_TRUE(d.calls[j].picture == clean[m].calls[c].picture);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 0u);
}

INSTANTIATE_TEST_SUITE_P(Streams, Recovery, ::testing::ValuesIn(kStreams), [](const auto& param) {
  std::string name = param.param.name;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

// A picture cut short keeps the macroblocks decoded before the cut: the
// first macroblock row of an intra picture cut in half is the clean one.
TEST(DamagedPicture, KeepsTheMacroblocksDecodedBeforeTheDamage) {
  const Stream s = LoadStream("mpeg4_intra_q20.m4v", 176, 144);
  ASSERT_GE(s.pictures.size(), 3u);
  std::vector<Settings> modes = AllModes();
  if (!SecondPathDecodes()) modes.resize(3);
  for (const Settings& mode : modes) {
    if (mode.postFilter != 0) continue;  // the filter mixes rows across the cut
    std::vector<Bytes> pictures = s.pictures;
    Truncate(pictures[2], pictures[2].size() / 2);
    const Decoded clean = DecodeAll(s, mode);
    const Decoded cut = DecodeAll(s.header, pictures, mode, s.width, s.height);
    ASSERT_EQ(cut.calls[2].result, 1);
    const size_t firstRow = static_cast<size_t>(s.width) * 16;
    EXPECT_TRUE(std::equal(cut.calls[2].picture.begin(), cut.calls[2].picture.begin() + firstRow,
                           clean.calls[2].picture.begin()));
    EXPECT_FALSE(cut.calls[2].picture == clean.calls[2].picture);
  }
}

// Streams that ffmpeg's noise filter damaged (every picture but the intra
// ones, one picture dropped in the first): every intra picture that came
// through untouched decodes exactly as in the clean stream.
TEST(RealCorruptedStreams, UntouchedIntraPicturesDecodeAsInTheCleanStream) {
  struct Pair {
    const char* noisy;
    const char* clean;
  };
  const Pair pairs[] = {{"robustness/noise_packets_ipb.m4v", "robustness/packets_ipb.m4v"},
                        {"robustness/noise_ip_mv4.m4v", "mpeg4_ip_mv4.m4v"}};
  std::vector<Settings> modes = AllModes();
  if (!SecondPathDecodes()) modes.resize(3);
  for (const Pair& pair : pairs) {
    const Stream noisy = LoadStream(pair.noisy, 176, 144);
    const Stream clean = LoadStream(pair.clean, 176, 144);
    for (const Settings& mode : modes) {
      const Decoded dn = DecodeAll(noisy, mode);
      const Decoded dc = DecodeAll(clean, mode);
      size_t matched = 0;
      for (size_t j = 0; j < noisy.pictures.size(); ++j) {
        if (!IsIntra(noisy.pictures[j])) continue;
        const auto it = std::find(clean.pictures.begin(), clean.pictures.end(), noisy.pictures[j]);
        if (it == clean.pictures.end()) continue;
        const size_t c = static_cast<size_t>(it - clean.pictures.begin());
        SCOPED_TRACE(std::string(pair.noisy) + " picture " + std::to_string(j));
        EXPECT_TRUE(dn.calls[j].picture == dc.calls[c].picture);
        ++matched;
      }
      EXPECT_GE(matched, 2u) << pair.noisy;
    }
  }
}

// A stream damaged everywhere, headers included.
TEST(RealCorruptedStreams, DamagedEverywhereInEveryMode) {
  const Stream noisy = LoadStream("robustness/noise_everywhere.m4v", 176, 144);
  for (const Settings& mode : AllModes()) DecodeAll(noisy, mode);
}

}  // namespace
}  // namespace robustness
