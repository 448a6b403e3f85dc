// The parts of interlaced decoding below the picture decoders: where field
// DCT blocks lie, and the alternate vertical scan of intra blocks.  The picture decoders
// themselves are held to ffmpeg and Xvid on whole streams
// (tests/streams/).
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "picture/interlaced_blocks.h"
#include "primitives/reconstruction/reconstruction.h"
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

// ---- The alternate vertical scan ----

using coeftest::Event;
using coeftest::Form;

// The scan index at which the zigzag scan visits a raster position.
int32_t ZigzagIndexOf(int32_t position) {
  for (int32_t i = 0; i < 64; ++i)
    if (kZigzagScan[static_cast<size_t>(i)] == position) return i;
  return -1;
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
