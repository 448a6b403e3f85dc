// Bursts that damage runs made, each kept where it showed a fault in how
// damage is found or mended: the macroblock rows that must come out as in
// the clean decode, and how close the damaged picture must come to it, on
// both reconstruction paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "robust_decode.h"
#include "support/reference_decode.h"

namespace robustness {
namespace {

struct DamageRun {
  const char* name;
  const char* stream;
  int32_t width, height;
  size_t picture;
  size_t offset;  // of the burst in the picture's bytes
  std::vector<uint8_t> burst;
  std::vector<std::pair<int32_t, int32_t>> intactRows;  // luma rows [from, to) as in the clean decode
  double minPsnr;  // of the damaged picture's luma against the clean one
};

const DamageRun kRuns[] = {
    // A first picture's packet (macroblocks 33 to 65) that reads right
    // through DCs no block can have: lost from the first of them to its end,
    // as DC prediction carries them on (decoded as read: 16.7 dB).
    {"FirstPictureLosesTheRestOfAPacketWithImpossibleDcs", "mpeg4_intra_q20.m4v", 176, 144, 0, 962,
     {0xE3, 0xD4, 0x6A, 0x6D}, {{0, 48}, {96, 144}}, 20.0},
    // A P picture of a pan lost from macroblock 43 on follows the
    // reference's motion (guesses from rebuilt neighbours: 24.0 dB).
    {"APictureLostNearlyWholeFollowsTheReferencesMotion", "xvid_pan_640x480_ip.m4v", 640, 480, 6, 121,
     {0xF9, 0x83, 0xB8, 0xC8, 0x00, 0x15, 0xFD, 0x93, 0xCA, 0x6B, 0xF9, 0xA9, 0x8A, 0x95, 0x77, 0xA6},
     {}, 27.0},
    // The same pan losing picture 5 from macroblock 51 on: the reference's
    // vectors in its flat bars put the bars' edges in the wrong place, and
    // a neighbour's vector that continues them better takes over (27.8 dB).
    {"FarFromDecodedAVectorThatFitsPlainlyBetterWins", "xvid_pan_640x480_ip.m4v", 640, 480, 5, 225,
     {0x19, 0xF6, 0x43, 0xD3}, {{0, 16}}, 30.0},
    // A first picture without packets whose burst reads as one DC no block
    // can have (macroblock 893), after which the codes run right to the end
    // with every DC predicted from it wrong: lost from there and filled
    // from the rows above (decoded as read: 18.3 dB).
    {"FirstPictureLosesWrongDcsThatRunToItsEnd", "mpeg4_hpan_640x480_i.m4v", 640, 480, 0, 12692,
     {0xB7, 0xC5, 0x81, 0x68}, {{0, 336}}, 38.0},
    // A first picture whose burst reads as rubbish for 21 macroblocks
    // (923 to 943) before the suspect ones: lost too, and not filled down
    // from the rubbish (15.8 dB).
    {"FirstPictureLosesRubbishBeforeTheSuspectMacroblocks", "xvid_hpan_640x480_ip.m4v", 640, 480, 0, 7125,
     {0x7E, 0xF5, 0xB6, 0x38}, {{0, 368}}, 38.0},
    // Short header: codes that read on through the header of group 2 (422
    // bytes in) end there, and the picture goes on at that header.
    {"CodesReadingPastAGroupHeaderResumeThere", "h263_cif_ip_gob.263", 352, 288, 5, 288,
     {0xF5, 0x62, 0xA8, 0x13}, {{32, 288}}, 20.0},
    // Short header: an intra DC code of 0 (row 11, chroma) after which the
    // codes run right: read as it stands, it costs no luma.
    {"IntraDcCodeOfZeroLosesNothingElse", "h263_cif_ip_gob.263", 352, 288, 0, 6102,
     {0xB7, 0xC5, 0x81, 0x68}, {{0, 288}}, testsupport::kPsnrIdentical},
};

class DamageRuns : public ::testing::TestWithParam<DamageRun> {};

TEST_P(DamageRuns, IntactRowsStayAndTheRestComesClose) {
  const DamageRun& run = GetParam();
  const Stream s = LoadStream(run.stream, run.width, run.height);
  std::vector<Bytes> pictures = s.pictures;
  ASSERT_GT(pictures[run.picture].size(), run.offset + run.burst.size());
  ASSERT_FALSE(std::equal(run.burst.begin(), run.burst.end(), pictures[run.picture].begin() + run.offset));
  std::copy(run.burst.begin(), run.burst.end(), pictures[run.picture].begin() + run.offset);
  // Short-header decoders are created with the first picture.
  const Bytes header = run.picture == 0 && s.header == s.pictures[0] ? pictures[0] : s.header;
  for (int32_t quality : {0, 1}) {
    SCOPED_TRACE("video quality " + std::to_string(quality));
    Settings mode;
    mode.videoQuality = quality;
    const Decoded clean = DecodeAll(s, mode);
    const Decoded damaged = DecodeAll(header, pictures, mode, s.width, s.height);
    ASSERT_EQ(damaged.calls.size(), clean.calls.size());
    const Bytes& got = damaged.calls[run.picture].picture;
    const Bytes& want = clean.calls[run.picture].picture;
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [from, to] : run.intactRows)
      EXPECT_TRUE(std::equal(got.begin() + from * s.width, got.begin() + to * s.width, want.begin() + from * s.width))
          << "rows " << from << " to " << to;
    EXPECT_GE(testsupport::Psnr(got.data(), s.width, want.data(), s.width, s.width, s.height), run.minPsnr);
  }
}

INSTANTIATE_TEST_SUITE_P(Bursts, DamageRuns, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace robustness
