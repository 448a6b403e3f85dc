// The second path's block routines: the forms selection installs on this
// build (SSE2 on x86) against the portable routines, on random, sparse and
// extreme blocks, with guard values around every output.
#include <array>
#include <string>

#include "checkasm/checkasm.h"
#include "primitives/dispatch/selection.h"
#include "primitives/reconstruction/second_path_block_routines.h"
#include "primitives/reconstruction/second_path_block_routines_sse2.h"

namespace {

using tavrin::BlockRoutineSet;
using Guarded = std::array<int16_t, 80>;  // 64 values between guards of 8

int16_t RandomValue(std::mt19937& rng, int kind) {
  switch (kind) {
    case 0:
      return static_cast<int16_t>(rng());
    case 1:
      return static_cast<int16_t>(static_cast<int32_t>(rng() % 4096) - 2048);
    case 2:
      return rng() % 8 == 0 ? static_cast<int16_t>(static_cast<int32_t>(rng() % 4096) - 2048) : 0;
    case 3: {
      const int16_t extremes[6] = {-32768, 32767, -2048, 2047, -1, 1};
      return extremes[rng() % 6];
    }
    default:
      return static_cast<int16_t>(static_cast<int32_t>(rng() % 64) - 32);
  }
}

Guarded RandomBlock(std::mt19937& rng, int iter) {
  Guarded b{};
  for (size_t i = 0; i < b.size(); ++i) {
    const bool inside = i >= 8 && i < 72;
    b[i] = RandomValue(rng, inside ? iter % 5 : 0);
  }
  if (iter % 7 == 6) {  // a lone DC, as intra blocks often are
    for (size_t i = 9; i < 72; ++i) b[i] = 0;
  }
  return b;
}

// A routine set selected for a processor model (the process-wide set is
// left alone).
struct SelectedFor : BlockRoutineSet {
  explicit SelectedFor(int32_t modelCode) { tavrin::SelectBlockRoutines(*this, modelCode); }
};

void CheckTransform(const char* name, tavrin::InverseTransformFn reference,
                    tavrin::InverseTransformFn candidate) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  for (int iter = 0; iter < 30000; ++iter) {
    alignas(16) Guarded want = RandomBlock(rng, iter);
    alignas(16) Guarded got = want;
    reference(want.data() + 8);
    candidate(got.data() + 8);
    ASSERT_TRUE(want == got) << name << " iteration " << iter;
  }
  alignas(16) std::array<int16_t, 64> block{};
  checkasm::Bench(std::string(name), [&] {
    block[0] = 100;
    block[9] = -20;
    candidate(block.data());
  });
}

TEST(CheckAsm, InverseTransformNewer) {
  const SelectedFor set(6);  // routine class 2
  CheckTransform("InverseTransformNewer", tavrin::blockroutines::InverseTransformNewer,
                 set.inverseTransform.get());
#if defined(__SSE2__)
  EXPECT_EQ(set.inverseTransform.get(), &tavrin::blockroutines::sse2::InverseTransformNewer);
#endif
}

TEST(CheckAsm, InverseTransformOlder) {
  const SelectedFor set(9);  // routine class 0
  CheckTransform("InverseTransformOlder", tavrin::blockroutines::InverseTransformOlder,
                 set.inverseTransform.get());
#if defined(__SSE2__)
  EXPECT_EQ(set.inverseTransform.get(), &tavrin::blockroutines::sse2::InverseTransformOlder);
#endif
}

TEST(CheckAsm, StoreClamped) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("StoreClamped");
  const SelectedFor set(9);
  const tavrin::StoreClampedFn candidate = set.storeClamped.get();
#if defined(__SSE2__)
  EXPECT_EQ(candidate, &tavrin::blockroutines::sse2::StoreClamped);
#endif
  std::vector<uint8_t> want(40 * 12), got;
  for (int iter = 0; iter < 5000; ++iter) {
    const Guarded block = RandomBlock(rng, iter);
    const int32_t stride = 8 + static_cast<int32_t>(rng() % 32);
    for (auto& b : want) b = static_cast<uint8_t>(rng());
    got = want;
    tavrin::blockroutines::StoreClamped(want.data() + 2 * 40 + 1, block.data() + 8, stride);
    candidate(got.data() + 2 * 40 + 1, block.data() + 8, stride);
    ASSERT_EQ(want, got) << "iteration " << iter << " stride " << stride;
  }
}

// Transform-and-store through installed routines gives the portable
// routines' pixels and leaves the same transformed block behind.
TEST(CheckAsm, TransformAndStoreWithInstalledRoutines) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("TransformAndStore");
  for (int32_t model : {6, 9}) {
    const SelectedFor set(model);
    for (int iter = 0; iter < 3000; ++iter) {
      alignas(16) Guarded want = RandomBlock(rng, iter);
      alignas(16) Guarded got = want;
      std::array<uint8_t, 8 * 16> wantPixels{}, gotPixels{};
      (model == 6 ? tavrin::blockroutines::InverseTransformNewer
                  : tavrin::blockroutines::InverseTransformOlder)(want.data() + 8);
      tavrin::blockroutines::StoreClamped(wantPixels.data(), want.data() + 8, 16);
      set.inverseTransform.get()(got.data() + 8);
      set.storeClamped.get()(gotPixels.data(), got.data() + 8, 16);
      ASSERT_TRUE(want == got) << "model " << model << " iteration " << iter;
      ASSERT_TRUE(wantPixels == gotPixels) << "model " << model << " iteration " << iter;
    }
  }
}

}  // namespace
