// Block reconstruction over streams of blocks: inter residuals (slot 34)
// against a plain re-computation, whole pictures of intra blocks laid out the
// way the intra picture decoder keeps its neighbour entries, and the
// read-ahead bound of slots 33 to 35.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/scan_tables.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using namespace tavrin;
using coeftest::BitWriter;
using coeftest::Event;

int Clamp2048(int v) { return std::clamp(v, -2048, 2047); }

int H263(int level, int quant) {
  if (level == 0) return 0;
  const int v = quant * (2 * std::abs(level) + 1) - (quant % 2 == 0 ? 1 : 0);
  return Clamp2048(level < 0 ? -v : v);
}

void MoveLastTowardOdd(int16_t* block) {
  block[63] = static_cast<int16_t>(block[63] % 2 != 0 ? block[63] - 1 : block[63] + 1);
}

// ---- Slot 34 ----

struct Inter {
  std::array<int16_t, 72> residual;  // 64 values between two guards of 4
  PrimitiveStatus status;
  int64_t consumed;
};

Inter RunInter(const BitWriter& w, int startBit, int quant, const uint8_t* matrix) {
  const auto bytes = w.Bytes();
  Inter r{};
  r.residual.fill(0x3C3C);
  BytePointer p = bytes.data();
  int32_t bit = startBit;
  r.status = reference::ReconstructInter(&p, &bit, r.residual.data() + 4, quant, matrix);
  r.consumed = (p - bytes.data()) * 8 + bit - startBit;
  return r;
}

// The residual the events must give.
std::array<int16_t, 72> ExpectedResidual(const std::vector<Event>& events, int quant,
                                         const uint8_t* matrix) {
  std::array<int16_t, 72> out;
  out.fill(0x3C3C);
  int16_t block[64] = {};
  int index = -1, sum = 0;
  for (const Event& e : events) {
    index += e.run + 1;
    const int position = kZigzagScan[static_cast<size_t>(index)];
    int value = H263(e.level, quant);
    if (matrix != nullptr) {
      const int sign = e.level < 0 ? -1 : 1;
      value = Clamp2048((2 * e.level + sign) * matrix[position] * quant / 16);
      sum += value;
    }
    block[position] = static_cast<int16_t>(value);
  }
  if (events.size() == 1 && matrix == nullptr && events[0].run == 0) {
    std::fill(out.begin() + 4, out.begin() + 68, static_cast<int16_t>((block[0] + 4) >> 3));
    return out;
  }
  if (matrix != nullptr && sum % 2 == 0) MoveLastTowardOdd(block);
  reference::InverseDct8x8(block);
  std::copy(block, block + 64, out.begin() + 4);
  return out;
}

TEST(ReconstructInter, ArgumentChecksInOrderWriteNothing) {
  std::vector<uint8_t> bytes(80, 0xFF);
  BytePointer p = bytes.data(), none = nullptr;
  int32_t bit = 0, badBit = 8;
  std::array<int16_t, 64> residual;
  residual.fill(5);
  int16_t* r = residual.data();
  EXPECT_EQ(reference::ReconstructInter(nullptr, &badBit, r, 0, nullptr), NullPointer);
  EXPECT_EQ(reference::ReconstructInter(&p, nullptr, r, 0, nullptr), NullPointer);
  EXPECT_EQ(reference::ReconstructInter(&p, &badBit, nullptr, 0, nullptr), NullPointer);
  EXPECT_EQ(reference::ReconstructInter(&none, &badBit, r, 0, nullptr), NullPointer);
  EXPECT_EQ(reference::ReconstructInter(&p, &badBit, r, 0, nullptr), BitOffsetError);
  int32_t negative = -1;
  EXPECT_EQ(reference::ReconstructInter(&p, &negative, r, 5, nullptr), BitOffsetError);
  EXPECT_EQ(reference::ReconstructInter(&p, &bit, r, 0, nullptr), QuantiserError);
  EXPECT_EQ(reference::ReconstructInter(&p, &bit, r, 32, nullptr), QuantiserError);
  EXPECT_EQ(reference::ReconstructInter(&p, &bit, r, 256 + 5, nullptr), QuantiserError);
  EXPECT_EQ(p, bytes.data());
  EXPECT_EQ(bit, 0);
  EXPECT_TRUE(std::all_of(residual.begin(), residual.end(), [](int16_t v) { return v == 5; }));
}

TEST(ReconstructInter, LoneDcWithoutMatrixIsFlat) {
  BitWriter w;
  w.Put(0, 3);
  w.PutCode("0111 0");  // last 1, run 0, level 1
  const Inter a = RunInter(w, 3, 4, nullptr);
  ASSERT_EQ(a.status, Ok);
  EXPECT_EQ(a.consumed, 5);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(a.residual[static_cast<size_t>(4 + i)], 1);  // (11 + 4) >> 3
  EXPECT_EQ(a.residual[3], 0x3C3C);
  EXPECT_EQ(a.residual[68], 0x3C3C);

  BitWriter v;
  coeftest::PutTableCode(v, coeftest::kInterTcoefCodes, {1, 0, -3});
  const Inter b = RunInter(v, 0, 5, nullptr);
  ASSERT_EQ(b.status, Ok);
  EXPECT_EQ(b.residual[4], -4);  // (-35 + 4) >> 3
  EXPECT_EQ(b.residual[67], -4);
}

TEST(ReconstructInter, OtherBlocksGoThroughTheTransform) {
  // One coefficient, not the DC.
  BitWriter w;
  coeftest::PutTableCode(w, coeftest::kInterTcoefCodes, {1, 1, 1});
  EXPECT_EQ(RunInter(w, 0, 3, nullptr).residual, ExpectedResidual({{1, 1, 1}}, 3, nullptr));
  int16_t block[64] = {0, 9};
  reference::InverseDct8x8(block);
  EXPECT_EQ(RunInter(w, 0, 3, nullptr).residual[4 + 9], block[9]);

  // A lone DC with a matrix: ((2 + 1) * 16 * 4) / 16 = 12, even sum.
  std::array<uint8_t, 64> sixteen;
  sixteen.fill(16);
  BitWriter v;
  v.PutCode("0111 0");
  int16_t lone[64] = {12};
  lone[63] = 1;
  reference::InverseDct8x8(lone);
  const Inter a = RunInter(v, 0, 4, sixteen.data());
  EXPECT_TRUE(std::equal(lone, lone + 64, a.residual.begin() + 4));

  // Matrix values truncate toward zero: (-3 * 17) / 16 = -3, (3 * 17) / 16 = 3.
  std::array<uint8_t, 64> seventeen;
  seventeen.fill(17);
  BitWriter m;
  coeftest::PutTableCode(m, coeftest::kInterTcoefCodes, {0, 0, -1});
  coeftest::PutTableCode(m, coeftest::kInterTcoefCodes, {1, 0, 1});
  int16_t pair[64] = {-3, 3};
  pair[63] = 1;  // the sum 0 is even
  reference::InverseDct8x8(pair);
  const Inter b = RunInter(m, 0, 1, seventeen.data());
  EXPECT_TRUE(std::equal(pair, pair + 64, b.residual.begin() + 4));
}

TEST(ReconstructInter, RandomBlocksMatchThePlainComputation) {
  std::mt19937 rng(77);
  for (int iter = 0; iter < 4000; ++iter) {
    BitWriter w;
    const int start = static_cast<int>(rng() % 8);
    w.Put(rng(), start);
    const int maxEvents = iter % 4 == 0 ? 1 : 1 + static_cast<int>(rng() % 20);
    const auto events = coeftest::PutRandomBlock(w, rng, coeftest::kInterTcoefCodes, 0, maxEvents);
    const int quant = 1 + static_cast<int>(rng() % 31);
    std::array<uint8_t, 64> matrix;
    for (auto& m : matrix) m = static_cast<uint8_t>(1 + rng() % 255);
    const uint8_t* weights = iter % 3 == 0 ? matrix.data() : nullptr;
    const Inter got = RunInter(w, start, quant, weights);
    ASSERT_EQ(got.status, Ok) << iter;
    EXPECT_EQ(got.consumed, w.BitCount() - start);
    ASSERT_EQ(got.residual, ExpectedResidual(events, quant, weights)) << iter;
  }
}

TEST(ReconstructInter, DecodingFailureKeepsThePosition) {
  BitWriter w;
  w.PutCode("10 0 0000011 0 0000011");  // escape after escape
  const Inter a = RunInter(w, 0, 7, nullptr);
  EXPECT_EQ(a.status, CoefficientCodeError);
  EXPECT_EQ(a.consumed, 0);
}

// ---- Intra pictures with the intra picture decoder's neighbour layout ----

// What a reconstructed block leaves for its neighbours.
struct BlockState {
  bool done = false;
  int dc = 0;
  int row[8] = {};
  int col[8] = {};
};

// Reconstructs one intra block from its events the plain way (H.263
// quantisation, one quantiser everywhere) on a grid of blocks, and stores
// its pixels.
struct PlainIntra {
  int quant;
  bool chroma;

  void Reconstruct(const BlockState* left, const BlockState* aboveLeft, const BlockState* above,
                   bool coded, int dcDifference, const std::vector<Event>& events, bool ac,
                   BlockState& out, uint8_t* pixels, int stride) const {
    // A negative DC reads as no neighbour, like one outside the picture.
    auto usable = [](const BlockState* b) { return b != nullptr && b->dc >= 0 ? b : nullptr; };
    left = usable(left);
    aboveLeft = usable(aboveLeft);
    above = usable(above);
    auto dcOf = [](const BlockState* b) { return b != nullptr ? b->dc : 1024; };
    const int a = dcOf(left), b = dcOf(aboveLeft), c = dcOf(above);
    const bool vertical = std::abs(a - b) < std::abs(b - c);
    const BlockState* from = vertical ? above : left;
    const ScanTable& scan = !ac ? kZigzagScan : vertical ? kAlternateHorizontalScan : kAlternateVerticalScan;
    int levels[64] = {};
    int index = 0;
    for (const Event& e : events) {
      index += e.run + 1;
      levels[scan[static_cast<size_t>(index)]] = e.level;
    }
    bool predicted = false;
    if (ac && from != nullptr) {
      for (int i = 1; i < 8; ++i) {
        const int p = vertical ? from->row[i] : from->col[i];
        if (p == 0) continue;
        predicted = true;
        int& level = levels[vertical ? i : 8 * i];
        level = Clamp2048(level + p);
      }
    }
    for (int i = 1; i < 8; ++i) {
      out.row[i] = levels[i];
      out.col[i] = levels[8 * i];
    }
    const int s = quant <= 4 ? 8
                  : chroma   ? (quant <= 24 ? (quant + 13) / 2 : quant - 6)
                  : quant <= 8 ? 2 * quant
                  : quant <= 24 ? quant + 8
                                : 2 * quant - 16;
    const int predictor = vertical ? c : a;
    out.dc = Clamp2048(Clamp2048(dcDifference + (predictor + s / 2) / s) * s);
    out.done = true;
    if (!coded && !predicted) {
      for (int y = 0; y < 8; ++y) {
        std::fill_n(pixels + y * stride, 8, static_cast<uint8_t>(std::clamp((out.dc + 4) >> 3, 0, 255)));
      }
      return;
    }
    int16_t block[64] = {static_cast<int16_t>(out.dc)};
    for (int k = 1; k < 64; ++k) block[k] = static_cast<int16_t>(H263(levels[k], quant));
    reconstruction::InverseDctStore(block, 0xFF, pixels, stride);
  }
};

TEST(ReconstructionSequence, IntraPictureNeighboursFollowTheBlockGrid) {
  std::mt19937 rng(2024);
  constexpr int kMbWidth = 3, kMbHeight = 3;
  constexpr int kLumaStride = 16 * kMbWidth, kChromaStride = 8 * kMbWidth;
  for (int picture = 0; picture < 40; ++picture) {
    const int quant = 1 + static_cast<int>(rng() % 31);
    // The library's buffers, stale values everywhere at the start.
    std::vector<int16_t> rowY(16 * (kMbWidth + 1)), rowCb(8 * (kMbWidth + 1));
    std::array<int16_t, 16> colY;
    std::array<int16_t, 8> colCb;
    for (auto* v : {&rowY, &rowCb}) {
      for (auto& x : *v) x = static_cast<int16_t>(static_cast<int>(rng() % 400) - 200);
    }
    for (auto& x : colY) x = static_cast<int16_t>(rng() % 300);
    for (auto& x : colCb) x = static_cast<int16_t>(rng() % 300);
    std::vector<uint8_t> qpRow(kMbWidth + 1, static_cast<uint8_t>(quant));
    std::vector<uint8_t> lumaGot(kLumaStride * 16 * kMbHeight), lumaWant(lumaGot.size());
    std::vector<uint8_t> chromaGot(kChromaStride * 8 * kMbHeight), chromaWant(chromaGot.size());
    BlockState luma[2 * kMbHeight][2 * kMbWidth], chroma[kMbHeight][kMbWidth];

    for (int e = 0; e <= kMbWidth; ++e) rowY[16 * e] = rowY[16 * e + 8] = rowCb[8 * e] = -1;
    BitWriter w;
    struct Planned {
      bool coded;
      int dc;
      std::vector<Event> events;
    };
    std::vector<Planned> plan;
    for (int i = 0; i < kMbWidth * kMbHeight * 5; ++i) {
      Planned p{rng() % 3 != 0, static_cast<int>(rng() % 121) - 60, {}};
      coeftest::PutDcDifferential(w, p.dc, i % 5 == 4);
      if (p.coded) p.events = coeftest::PutRandomBlock(w, rng, coeftest::kIntraTcoefCodes, 1, 1 + static_cast<int>(rng() % 6));
      plan.push_back(p);
    }
    const auto bytes = w.Bytes();
    BytePointer pos = bytes.data();
    int32_t bit = 0;
    size_t next = 0;
    for (int y = 0; y < kMbHeight; ++y) {
      colY[0] = colY[8] = colCb[0] = -1;
      for (int x = 0; x < kMbWidth; ++x) {
        const bool ac = rng() % 2 == 0;
        for (int b = 0; b < 5; ++b) {
          const Planned& p = plan[next++];
          const auto f = p.coded ? reference::ReconstructIntraCoded : reference::ReconstructIntraUncoded;
          PrimitiveStatus s;
          if (b < 4) {
            const int bx = 2 * x + (b & 1), by = 2 * y + (b >> 1);
            const int offset = (16 * y + 8 * (b >> 1)) * kLumaStride + 16 * x + 8 * (b & 1);
            s = f(&pos, &bit, lumaGot.data() + offset, kLumaStride, rowY.data() + 16 * (x + 1) + 8 * (b & 1),
                  colY.data() + 8 * (b >> 1), quant, qpRow.data() + x, nullptr, b, 1, ac ? 1 : 0);
            const BlockState* left = bx > 0 ? &luma[by][bx - 1] : nullptr;
            const BlockState* aboveLeft = bx > 0 && by > 0 ? &luma[by - 1][bx - 1] : nullptr;
            const BlockState* above = by > 0 ? &luma[by - 1][bx] : nullptr;
            PlainIntra{quant, false}.Reconstruct(left, aboveLeft, above, p.coded, p.dc, p.events, ac,
                                                 luma[by][bx], lumaWant.data() + offset, kLumaStride);
          } else {
            const int offset = 8 * y * kChromaStride + 8 * x;
            s = f(&pos, &bit, chromaGot.data() + offset, kChromaStride, rowCb.data() + 8 * (x + 1),
                  colCb.data(), quant, qpRow.data() + x, nullptr, 4, 1, ac ? 1 : 0);
            const BlockState* left = x > 0 ? &chroma[y][x - 1] : nullptr;
            const BlockState* aboveLeft = x > 0 && y > 0 ? &chroma[y - 1][x - 1] : nullptr;
            const BlockState* above = y > 0 ? &chroma[y - 1][x] : nullptr;
            PlainIntra{quant, true}.Reconstruct(left, aboveLeft, above, p.coded, p.dc, p.events, ac,
                                                chroma[y][x], chromaWant.data() + offset, kChromaStride);
          }
          ASSERT_EQ(s, Ok) << picture << " mb " << x << "," << y << " block " << b;
        }
        qpRow[static_cast<size_t>(x + 1)] = static_cast<uint8_t>(quant);
      }
      rowY[16 * kMbWidth + 8] = colY[8];
    }
    EXPECT_EQ((pos - bytes.data()) * 8 + bit, w.BitCount());
    for (size_t i = 0; i < lumaGot.size(); ++i) {
      ASSERT_EQ(lumaGot[i], lumaWant[i]) << "picture " << picture << " quant " << quant << " luma x "
                                         << i % kLumaStride << " y " << i / kLumaStride;
    }
    for (size_t i = 0; i < chromaGot.size(); ++i) {
      ASSERT_EQ(chromaGot[i], chromaWant[i]) << "picture " << picture << " quant " << quant
                                             << " chroma x " << i % kChromaStride << " y "
                                             << i / kChromaStride;
    }
  }
}

// ---- Read-ahead ----

TEST(ReconstructionStream, ReadAtMostFourBytesBeyondTheLastConsumedByte) {
  std::mt19937 rng(31);
  for (int iter = 0; iter < 600; ++iter) {
    const int slot = iter % 3;
    BitWriter w;
    const int start = static_cast<int>(rng() % 8);
    w.Put(0, start);
    if (slot != 1) coeftest::PutDcDifferential(w, static_cast<int>(rng() % 8191) - 4095, iter % 2 == 0);
    if (slot == 0) coeftest::PutRandomBlock(w, rng, coeftest::kIntraTcoefCodes, 1, 1 + iter % 7);
    if (slot == 1) coeftest::PutRandomBlock(w, rng, coeftest::kInterTcoefCodes, 0, 1 + iter % 7);
    const coeftest::GuardedBytes guarded(w.Bytes(), static_cast<size_t>((w.BitCount() - 1) / 8));
    ASSERT_NE(guarded.data(), nullptr);
    BytePointer p = guarded.data();
    int32_t bit = start;
    std::array<int16_t, 24> row{}, col{};
    row[8] = row[16] = row[0] = -1;
    const uint8_t qp[2] = {5, 5};
    uint8_t pixels[64];
    int16_t residual[64];
    PrimitiveStatus s;
    if (slot == 1) {
      s = reference::ReconstructInter(&p, &bit, residual, 5, nullptr);
    } else {
      const auto f = slot == 0 ? reference::ReconstructIntraCoded : reference::ReconstructIntraUncoded;
      s = f(&p, &bit, pixels, 8, row.data() + 16, col.data(), 5, qp, nullptr, iter % 2 == 0 ? 4 : 0, 1, 1);
    }
    ASSERT_EQ(s, Ok) << iter;
    EXPECT_EQ((p - guarded.data()) * 8 + bit, w.BitCount());
  }
}

}  // namespace
