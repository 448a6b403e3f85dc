// Intra prediction and dequantisation primitives: every variant against the
// reference on random blocks, groups, matrices and quantisers (including
// levels that clamp and arguments that are refused).  Blocks and groups are
// compared with guard values around them.
#include <array>
#include <cstring>

#include "checkasm/checkasm.h"
#include "primitives/dequant/dequant.h"

namespace {

namespace ref = tavrin::reference;

int32_t Pick(std::mt19937& rng, int32_t lo, int32_t hi) {
  return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
}

// A block of 64 values between 8 guard values on each side, 16-byte aligned
// like the decoder's coefficient blocks.
struct alignas(16) GuardedBlock {
  std::array<int16_t, 80> v{};
  int16_t* data() { return v.data() + 8; }
  bool operator==(const GuardedBlock& o) const { return v == o.v; }
};

// Levels as coefficient decoding leaves them, sometimes anywhere in 16 bits.
void FillLevels(std::mt19937& rng, GuardedBlock& b) {
  const int kind = Pick(rng, 0, 3);
  for (auto& x : b.v) {
    switch (kind) {
      case 0: x = static_cast<int16_t>(Pick(rng, 0, 3) == 0 ? Pick(rng, -64, 64) : 0); break;
      case 1: x = static_cast<int16_t>(Pick(rng, -2048, 2047)); break;
      case 2: x = static_cast<int16_t>(Pick(rng, -32768, 32767)); break;
      default: x = static_cast<int16_t>(Pick(rng, 0, 1) ? (Pick(rng, 0, 1) ? 32767 : -32768) : 1); break;
    }
  }
}

int32_t RandomQuant(std::mt19937& rng) {
  return Pick(rng, 0, 15) == 0 ? (Pick(rng, 0, 1) ? Pick(rng, -3, 0) : Pick(rng, 32, 40))
                               : Pick(rng, 1, 31);
}

TEST(CheckAsm, PredictIntraDcAc) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PredictIntraDcAc");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().PredictIntraDcAc)) {
    for (int iter = 0; iter < 20000; ++iter) {
      GuardedBlock block;
      FillLevels(rng, block);
      // Row groups: guard, the left block's group, the above group, guard.
      std::array<int16_t, 32> row{};
      std::array<int16_t, 24> col{};
      for (auto& x : row) x = static_cast<int16_t>(Pick(rng, 0, 2) ? Pick(rng, -2048, 2047) : 0);
      for (auto& x : col) x = static_cast<int16_t>(Pick(rng, 0, 2) ? Pick(rng, -2048, 2047) : 0);
      if (Pick(rng, 0, 3) == 0) row[16] = static_cast<int16_t>(-Pick(rng, 1, 5));
      if (Pick(rng, 0, 3) == 0) row[8] = -1;
      if (Pick(rng, 0, 9) == 0) row[16] = static_cast<int16_t>(Pick(rng, -32768, 32767));
      const int32_t qb = RandomQuant(rng);
      const int32_t qp = Pick(rng, 0, 1) ? qb : RandomQuant(rng);
      const int32_t direction = Pick(rng, 0, 15) == 0 ? Pick(rng, -2, 5) : Pick(rng, 0, 2);
      const int32_t ac = Pick(rng, 0, 1) ? 0 : Pick(rng, 1, 3);
      const int32_t selector = Pick(rng, 0, 2);
      const int fault = Pick(rng, 0, 19) == 0 ? Pick(rng, 1, 3) : 0;

      GuardedBlock wantBlock = block, gotBlock = block;
      auto wantRow = row, gotRow = row;
      auto wantCol = col, gotCol = col;
      auto call = [&](auto fn, GuardedBlock& b, std::array<int16_t, 32>& r,
                      std::array<int16_t, 24>& l) {
        return fn(fault == 1 ? nullptr : b.data(), fault == 2 ? nullptr : r.data() + 16,
                  fault == 3 ? nullptr : l.data() + 8, qb, qp, direction, ac, selector);
      };
      ASSERT_EQ(call(&ref::PredictIntraDcAc, wantBlock, wantRow, wantCol),
                call(c.fn, gotBlock, gotRow, gotCol))
          << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(wantBlock == gotBlock) << "variant " << c.variant << " iteration " << iter;
      ASSERT_EQ(wantRow, gotRow) << "variant " << c.variant << " iteration " << iter;
      ASSERT_EQ(wantCol, gotCol) << "variant " << c.variant << " iteration " << iter;
    }
    GuardedBlock block;
    int16_t row[16] = {40, 1, 2, 3, 4, 5, 6, 7, 80, 1, 2, 3, 4, 5, 6, 7};
    int16_t col[8] = {60, 1, 2, 3, 4, 5, 6, 7};
    checkasm::Bench("PredictIntraDcAc v" + std::to_string(c.variant),
                    [&] { c.fn(block.data(), row + 8, col, 7, 5, 1, 1, 0); });
  }
}

// Matrices: the defaults, flat ones, random ones, or none.
const uint8_t* RandomMatrix(std::mt19937& rng, std::array<uint8_t, 64>& storage) {
  const int kind = Pick(rng, 0, 3);
  if (kind == 0) return nullptr;
  for (auto& w : storage) {
    w = static_cast<uint8_t>(kind == 1 ? 16 : kind == 2 ? Pick(rng, 1, 255) : Pick(rng, 8, 64));
  }
  return storage.data();
}

TEST(CheckAsm, DequantIntra) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DequantIntra");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DequantIntra)) {
    for (int iter = 0; iter < 20000; ++iter) {
      GuardedBlock block;
      FillLevels(rng, block);
      std::array<uint8_t, 64> storage{};
      const uint8_t* matrix = RandomMatrix(rng, storage);
      const int32_t quant = RandomQuant(rng);
      const int32_t selector = Pick(rng, 0, 2);
      const bool null = Pick(rng, 0, 49) == 0;
      GuardedBlock want = block, got = block;
      ASSERT_EQ(ref::DequantIntra(null ? nullptr : want.data(), quant, matrix, selector),
                c.fn(null ? nullptr : got.data(), quant, matrix, selector))
          << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(want == got) << "variant " << c.variant << " iteration " << iter;
    }
    GuardedBlock block;
    std::array<uint8_t, 64> w;
    w.fill(20);
    checkasm::Bench("DequantIntra matrix v" + std::to_string(c.variant), [&] {
      block.data()[5] = 3;
      c.fn(block.data(), 9, w.data(), 0);
    });
  }
}

TEST(CheckAsm, DequantInter) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DequantInter");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DequantInter)) {
    for (int iter = 0; iter < 20000; ++iter) {
      GuardedBlock block;
      FillLevels(rng, block);
      std::array<uint8_t, 64> storage{};
      const uint8_t* matrix = RandomMatrix(rng, storage);
      const int32_t quant = RandomQuant(rng);
      const bool null = Pick(rng, 0, 49) == 0;
      GuardedBlock want = block, got = block;
      ASSERT_EQ(ref::DequantInter(null ? nullptr : want.data(), quant, matrix),
                c.fn(null ? nullptr : got.data(), quant, matrix))
          << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(want == got) << "variant " << c.variant << " iteration " << iter;
    }
    GuardedBlock block;
    checkasm::Bench("DequantInter v" + std::to_string(c.variant), [&] {
      block.data()[5] = 3;
      c.fn(block.data(), 9, nullptr);
    });
  }
}

}  // namespace
