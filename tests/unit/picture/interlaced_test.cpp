// The parts of interlaced decoding below the picture decoders: where field
// DCT blocks lie, the field vectors' arithmetic (prediction, the average
// neighbours see, clipping, direct-mode field distances), and the
// alternate vertical scan of intra and inter blocks.  The picture decoders
// themselves are held to ffmpeg and Xvid on whole streams
// (tests/streams/).
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "decoder/frame_store.h"
#include "picture/interlaced_blocks.h"
#include "picture/interlaced_motion.h"
#include "picture/quarter_sample_fields.h"
#include "primitives/blockcopy/quarter_sample.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/scan_tables.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace tavrin {
namespace {

// A 3 x 2 macroblock picture record over a plain buffer.
struct SmallPicture {
  std::vector<uint8_t> luma = std::vector<uint8_t>(80 * 64), cb = std::vector<uint8_t>(40 * 32),
                       cr = std::vector<uint8_t>(40 * 32);
  PictureBuffer p;
  SmallPicture() {
    p.strideY = 80;
    p.strideCb = p.strideCr = 40;
    p.originY = luma.data() + 16 * 80 + 16;
    p.originCb = cb.data() + 8 * 40 + 8;
    p.originCr = cr.data() + 8 * 40 + 8;
  }
};

TEST(FieldDct, LumaBlocksHoldTheFieldsOnAlternateLines) {
  SmallPicture s;
  const PictureBuffer& p = s.p;
  struct Case {
    int32_t block;
    ptrdiff_t frameOffset, fieldOffset;  // from the macroblock's first sample
  };
  const Case cases[] = {{0, 0, 0}, {1, 8, 8}, {2, 8 * 80, 80}, {3, 8 * 80 + 8, 80 + 8}};
  uint8_t* macroblock = p.originY + 16 * 80 + 32;  // macroblock (2, 1)
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(TextureBlockOrigin(p, 2, 1, c.block, false), macroblock + c.frameOffset);
    EXPECT_EQ(TextureBlockOrigin(p, 2, 1, c.block, true), macroblock + c.fieldOffset);
    EXPECT_EQ(TextureBlockStride(p, c.block, false), 80);
    EXPECT_EQ(TextureBlockStride(p, c.block, true), 160);
  }
  // Chroma blocks stay frame blocks.
  for (bool fieldDct : {false, true}) {
    EXPECT_EQ(TextureBlockOrigin(p, 2, 1, 4, fieldDct), p.originCb + 8 * 40 + 16);
    EXPECT_EQ(TextureBlockOrigin(p, 2, 1, 5, fieldDct), p.originCr + 8 * 40 + 16);
    EXPECT_EQ(TextureBlockStride(p, 4, fieldDct), 40);
    EXPECT_EQ(TextureBlockStride(p, 5, fieldDct), 40);
  }
}

// The vector a field-predicted macroblock shows its neighbours: the
// horizontal average rounded to the half sample, the vertical one in frame
// lines (the sum of the field components).
TEST(FieldVectors, NeighboursSeeTheAverageOfBothFields) {
  struct Case {
    MotionVector top, bottom, frame;
  };
  const Case cases[] = {
      {{0, 0}, {0, 0}, {0, 0}},       {{2, 1}, {2, 1}, {2, 2}},      {{1, 3}, {2, -1}, {1, 2}},
      {{3, 0}, {2, 0}, {3, 0}},       {{5, 0}, {2, 0}, {3, 0}},      {{-1, -1}, {-2, 0}, {-1, -1}},
      {{-3, 4}, {-2, 5}, {-3, 9}},    {{-5, 0}, {-2, 0}, {-3, 0}},   {{-7, 0}, {-1, 0}, {-4, 0}},
      {{100, -30}, {-40, 31}, {30, 1}}};
  for (const Case& c : cases) {
    const MotionVector got = FrameVectorOfFields(c.top, c.bottom);
    EXPECT_EQ(got, c.frame) << c.top.x << "," << c.top.y << " and " << c.bottom.x << "," << c.bottom.y
                            << " give " << got.x << "," << got.y;
  }
}

// A field vector is predicted from the frame predictor with its vertical
// component halved towards zero.
TEST(FieldVectors, PredictorHalvesTheVerticalComponentTowardsZero) {
  const int16_t in[] = {0, 1, 2, 3, -1, -2, -3, -4, 31, -31};
  const int16_t out[] = {0, 0, 1, 1, 0, -1, -1, -2, 15, -15};
  for (size_t i = 0; i < std::size(in); ++i) {
    EXPECT_EQ(FieldPredictor({7, in[i]}), (MotionVector{7, out[i]})) << in[i];
  }
}

// A field block of macroblock (x, y) is 16 samples by 8 field lines; it may
// start anywhere from 16 samples and 8 field lines outside the picture to
// the last position that keeps it inside the border.
TEST(FieldVectors, ClippingKeepsTheFieldBlockInTheBorder) {
  FrameStore f{};
  f.mbWidth = 3;
  f.mbHeight = 2;  // 48x32: fields of 16 lines, blocks start at field lines -8 .. 16
  struct Case {
    int32_t x, y;
    MotionVector in, out;
  };
  const Case cases[] = {
      {0, 0, {0, 0}, {0, 0}},          {0, 0, {-32, -16}, {-32, -16}},  {0, 0, {-33, -17}, {-32, -16}},
      {0, 0, {-400, -300}, {-32, -16}}, {2, 1, {32, 16}, {32, 16}},     {2, 1, {33, 17}, {32, 16}},
      {2, 1, {500, 200}, {32, 16}},    {1, 1, {-64, -32}, {-64, -32}},  {1, 1, {-65, -33}, {-64, -32}},
      {1, 0, {63, 31}, {63, 31}},      {1, 0, {66, 34}, {64, 32}}};
  for (const Case& c : cases) {
    MotionVector v = c.in;
    ClipFieldVector(v, f, c.x, c.y);
    EXPECT_EQ(v, c.out) << "macroblock " << c.x << "," << c.y << " vector " << c.in.x << "," << c.in.y
                        << " gives " << v.x << "," << v.y;
  }
}

// Field distances of direct macroblocks: a field predicted from the field
// of its own parity keeps twice the frame distance; from the other field
// the distance grows or shrinks by a field period, depending on which field
// comes first.
TEST(FieldVectors, DirectModeFieldDistances) {
  // [top_field_first][field][source]
  const int32_t expected[2][2][2] = {{{0, 1}, {-1, 0}}, {{0, -1}, {1, 0}}};
  for (int first = 0; first < 2; ++first)
    for (int field = 0; field < 2; ++field)
      for (int source = 0; source < 2; ++source)
        EXPECT_EQ(FieldDistanceOffset(first != 0, field, source), expected[first][field][source])
            << "top first " << first << " field " << field << " source " << source;
}

// Quarter-sample field vectors: the chroma vector from the field vector
// halved, horizontally towards zero and vertically downwards, then rounded
// as half-sample vectors are.
TEST(QuarterSampleFieldVectors, ChromaHalvesHorizontallyTowardsZeroVerticallyDown) {
  struct Case {
    MotionVector field, chroma;
  };
  const Case cases[] = {{{0, 0}, {0, 0}},     {{1, 1}, {0, 0}},     {{-1, -1}, {0, -1}},
                        {{2, 2}, {1, 1}},     {{-2, -2}, {-1, -1}}, {{-3, -3}, {-1, -1}},
                        {{-5, -5}, {-1, -1}}, {{-7, -7}, {-1, -2}}, {{-9, -9}, {-2, -3}},
                        {{6, 7}, {1, 1}},     {{9, 13}, {2, 3}},    {{-6, 6}, {-1, 1}}};
  for (const Case& c : cases) {
    const MotionVector got = quarter_sample::FieldChromaVector(c.field);
    EXPECT_EQ(got, c.chroma) << c.field.x << "," << c.field.y << " gives " << got.x << "," << got.y;
  }
}

// In quarter samples a field block starts from 16 samples and 8 field lines
// outside the picture to a quarter sample short of the last position inside
// the border (the interpolation reads one column and field line more); a
// vector past it takes that last whole position.
TEST(QuarterSampleFieldVectors, ClippingKeepsTheFieldBlockAndItsTapsInTheBorder) {
  struct Case {
    int32_t x, y;
    MotionVector in, out;
  };
  // 3 x 2 macroblocks: luma field 48 x 16, blocks 16 x 8.
  const Case cases[] = {{0, 0, {0, 0}, {0, 0}},           {0, 0, {-64, -32}, {-64, -32}},
                        {0, 0, {-65, -33}, {-64, -32}},   {0, 0, {-900, -700}, {-64, -32}},
                        {2, 1, {63, 31}, {63, 31}},       {2, 1, {64, 32}, {64, 32}},
                        {2, 1, {65, 33}, {64, 32}},       {1, 0, {127, 63}, {127, 63}},
                        {1, 0, {128, 64}, {128, 64}},     {1, 1, {-129, -65}, {-128, -64}}};
  for (const Case& c : cases) {
    MotionVector v = c.in;
    quarter_sample::ClipFieldVector(v, 3, 2, c.x, c.y);
    EXPECT_EQ(v, c.out) << "macroblock " << c.x << "," << c.y << " vector " << c.in.x << "," << c.in.y
                        << " gives " << v.x << "," << v.y;
  }
}

// A quarter-sample field block is two 8x8 blocks side by side, each
// filtered with its own mirrored edges, over every other line; the
// bidirectional one averages the second reference's onto the first's,
// rounding up.
TEST(QuarterSampleFieldVectors, FieldBlockIsTwoEightByEightBlocksOfOneField) {
  constexpr int32_t kStride = 64;
  std::vector<uint8_t> first(kStride * 48), second(kStride * 48);
  for (size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<uint8_t>((i * 37 + (i >> 6) * 11) & 255);
    second[i] = static_cast<uint8_t>((i * 53 + 7 * (i >> 5)) & 255);
  }
  const uint8_t* a = first.data() + 16 * kStride + 16 + kStride;  // bottom field
  const uint8_t* b = second.data() + 16 * kStride + 16;           // top field
  for (const MotionVector v : {MotionVector{0, 0}, MotionVector{5, -3}, MotionVector{-7, 6},
                               MotionVector{2, 9}}) {
    const MotionVector w{static_cast<int16_t>(-v.y), static_cast<int16_t>(v.x)};
    uint8_t got[8][16], want[8][16], half[8][16];
    quarter_sample::PredictField16x8(a, 2 * kStride, &got[0][0], 16, &v, 1);
    reference::PredictQuarterSample8x8(a, 2 * kStride, &want[0][0], 16, &v, 1);
    reference::PredictQuarterSample8x8(a + 8, 2 * kStride, &want[0][8], 16, &v, 1);
    EXPECT_EQ(0, std::memcmp(got, want, sizeof got)) << v.x << "," << v.y;
    quarter_sample::PredictBidirectionalField16x8(a, b, 2 * kStride, &got[0][0], 16, &v, &w, 0);
    reference::PredictQuarterSample8x8(a, 2 * kStride, &want[0][0], 16, &v, 0);
    reference::PredictQuarterSample8x8(a + 8, 2 * kStride, &want[0][8], 16, &v, 0);
    reference::PredictQuarterSample8x8(b, 2 * kStride, &half[0][0], 16, &w, 0);
    reference::PredictQuarterSample8x8(b + 8, 2 * kStride, &half[0][8], 16, &w, 0);
    for (int r = 0; r < 8; ++r)
      for (int i = 0; i < 16; ++i) want[r][i] = static_cast<uint8_t>((want[r][i] + half[r][i] + 1) >> 1);
    EXPECT_EQ(0, std::memcmp(got, want, sizeof got)) << v.x << "," << v.y;
  }
}

// ---- The alternate vertical scan ----

using coeftest::Event;
using coeftest::Form;

// The scan index at which the zigzag scan visits a raster position.
int32_t ZigzagIndexOf(int32_t position) {
  for (int32_t i = 0; i < 64; ++i)
    if (kZigzagScan[static_cast<size_t>(i)] == position) return i;
  return -1;
}

// Codes of one inter block: a coefficient at scan index `index`, then a
// last one at scan index 63 (so that the block is not a lone DC).
std::vector<uint8_t> InterCodes(int32_t index, int32_t level, int32_t lastIndex) {
  coeftest::BitWriter w;
  const auto& codes = coefficients::kInterTcoefCodes;
  coeftest::PutEvent(w, codes, Event{0, index, level}, Form::kEscape3);
  coeftest::PutEvent(w, codes, Event{1, lastIndex - index - 1, 2}, Form::kEscape3);
  return w.Bytes();
}

std::array<uint8_t, 8 * 16> AddedOnto(ReconstructInterAddFn fn, const std::vector<uint8_t>& codes) {
  std::array<uint8_t, 8 * 16> picture;
  picture.fill(128);
  BytePointer p = codes.data();
  int32_t bit = 0;
  EXPECT_EQ(fn(&p, &bit, 5, nullptr, picture.data(), 16), Ok);
  return picture;
}

// A coefficient at index k of the alternate scan lands where the zigzag
// scan puts the index that visits the same raster position.
TEST(AlternateScan, InterBlocksPlaceCoefficientsThroughTheAlternateScan) {
  for (int32_t k : {1, 2, 4, 9, 20, 33, 50}) {
    SCOPED_TRACE(k);
    const int32_t position = kAlternateVerticalScan[static_cast<size_t>(k)];
    const int32_t zigzag = ZigzagIndexOf(position);
    const int32_t lastPosition = kAlternateVerticalScan[63];
    ASSERT_EQ(lastPosition, 63);  // both scans end at the same corner
    const auto alternate =
        AddedOnto(reference::ReconstructInterAddAlternate, InterCodes(k, 7, 63));
    const auto plain = AddedOnto(reference::ReconstructInterAdd, InterCodes(zigzag, 7, 63));
    EXPECT_EQ(alternate, plain);
    if (position != zigzag) {
      EXPECT_NE(alternate, AddedOnto(reference::ReconstructInterAdd, InterCodes(k, 7, 63)));
    }
  }
}

// Intra blocks: with the alternate-scan bit the coefficients follow the
// alternate vertical scan whether or not AC prediction is asked for.
TEST(AlternateScan, IntraBlocksTakeTheScanFromTheFlag) {
  for (int32_t k : {1, 3, 12, 40}) {
    for (int32_t acFlag : {0, 1}) {
      SCOPED_TRACE("index " + std::to_string(k) + " ac_pred_flag " + std::to_string(acFlag));
      const int32_t position = kAlternateVerticalScan[static_cast<size_t>(k)];
      auto run = [&](int32_t index, int32_t acPrediction) {
        coeftest::BitWriter w;
        coeftest::PutDcDifferential(w, 3, false, true);
        coeftest::PutEvent(w, coefficients::kIntraTcoefCodes, Event{1, index - 1, 5}, Form::kEscape3);
        const std::vector<uint8_t> bytes = w.Bytes();
        // No intra neighbours: no prediction of the AC levels.
        std::array<int16_t, 48> row;
        std::array<int16_t, 32> col;
        row.fill(-1);
        col.fill(-1);
        const std::array<uint8_t, 4> qp{8, 8, 8, 8};
        std::array<uint8_t, 64> pixels{};
        BytePointer p = bytes.data();
        int32_t bit = 0;
        EXPECT_EQ(reference::ReconstructIntraCoded(&p, &bit, pixels.data(), 8, row.data() + 32,
                                                   col.data() + 8, 8, qp.data() + 1, nullptr, 0, 1,
                                                   acPrediction),
                  Ok);
        return pixels;
      };
      EXPECT_EQ(run(k, acFlag | kIntraAlternateVerticalScan), run(ZigzagIndexOf(position), 0));
    }
  }
}

}  // namespace
}  // namespace tavrin
