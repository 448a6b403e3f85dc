// Quarter-sample prediction: the routines the decoder calls against the
// portable reference, every fraction pair with random and extreme samples,
// random vectors, strides and rounding, a missing pointer now and then, and
// destinations random beforehand (compared whole, guard bytes included).
// A reference area allocated to its exact size shows (under
// AddressSanitizer) that no form reads past the block and the one column
// and row after it.
#include <algorithm>
#include <string>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/blockcopy/quarter_sample.h"
#include "primitives/blockcopy/quarter_sample_routines.h"

namespace {

using tavrin::MotionVector;
using tavrin::PredictQuarterSampleFn;

constexpr int kMargin = 24;
constexpr int kMaxStride = 80;

struct Picture {
  std::vector<uint8_t> bytes = std::vector<uint8_t>((2 * kMargin + 17) * kMaxStride);
  void Fill(std::mt19937& rng, int iter) {
    // Now and then only the extremes, which drive the filter to both ends.
    for (auto& b : bytes) b = static_cast<uint8_t>(iter % 5 == 4 ? (rng() & 1) * 255 : rng());
  }
  uint8_t* origin(int stride) { return bytes.data() + kMargin * stride + kMargin; }
};

void CheckQuarterSample(const char* name, PredictQuarterSampleFn fast,
                        PredictQuarterSampleFn reference, int size) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  Picture ref, want, got;
  const int32_t roundings[] = {0, 1, 0, 1, 7};
  for (int iter = 0; iter < 3000; ++iter) {
    ref.Fill(rng, iter);
    want.Fill(rng, 0);
    std::copy(want.bytes.begin(), want.bytes.end(), got.bytes.begin());
    const int32_t rs = size + 1 + static_cast<int32_t>(rng() % (kMaxStride - size - 1));
    const int32_t ds = iter % 3 == 0 ? size : size + static_cast<int32_t>(rng() % 40);
    // The sixteen fraction pairs at small offsets first, then any vector
    // that keeps the reads inside the margin.
    MotionVector v{static_cast<int16_t>(static_cast<int>(rng() % 161) - 80),
                   static_cast<int16_t>(static_cast<int>(rng() % 161) - 80)};
    if (iter < 256) v = {static_cast<int16_t>((iter & 15) - 8), static_cast<int16_t>((iter >> 4) - 8)};
    const int32_t rounding = roundings[rng() % 5];
    const uint8_t* from = iter % 37 == 1 ? nullptr : ref.origin(rs);
    uint8_t* wantTo = iter % 41 == 2 ? nullptr : want.origin(ds);
    uint8_t* gotTo = iter % 41 == 2 ? nullptr : got.origin(ds);
    const MotionVector* vp = iter % 43 == 3 ? nullptr : &v;
    ASSERT_EQ(reference(from, rs, wantTo, ds, vp, rounding), fast(from, rs, gotTo, ds, vp, rounding));
    ASSERT_EQ(want.bytes, got.bytes)
        << "vector " << v.x << "," << v.y << " rounding " << rounding << " strides " << rs << ","
        << ds;
  }
  // The reference area alone, at its exact size, for every fraction pair.
  for (int f = 0; f < 16; ++f) {
    const int32_t rs = size + 1;
    std::vector<uint8_t> area(static_cast<size_t>(rs * rs));
    for (auto& b : area) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> wantOut(static_cast<size_t>(size * size));
    std::vector<uint8_t> gotOut(wantOut.size());
    const MotionVector v{static_cast<int16_t>(f & 3), static_cast<int16_t>(f >> 2)};
    reference(area.data(), rs, wantOut.data(), size, &v, f & 1);
    fast(area.data(), rs, gotOut.data(), size, &v, f & 1);
    ASSERT_EQ(wantOut, gotOut) << "fractions " << v.x << "," << v.y;
  }
  for (int f : {0, 2, 5, 10, 15}) {
    const MotionVector v{static_cast<int16_t>(f & 3), static_cast<int16_t>(f >> 2)};
    checkasm::Bench(std::string(name) + " fractions " + std::to_string(f & 3) + "," +
                        std::to_string(f >> 2),
                    [&] { fast(ref.origin(64), 64, got.origin(64), 64, &v, 0); });
    checkasm::Bench(std::string(name) + " reference " + std::to_string(f & 3) + "," +
                        std::to_string(f >> 2),
                    [&] { reference(ref.origin(64), 64, got.origin(64), 64, &v, 0); }, 2000);
  }
}

TEST(CheckAsm, PredictQuarterSample8x8) {
  CheckQuarterSample("PredictQuarterSample8x8", tavrin::quarterSampleRoutines.predict8x8.get(),
                     tavrin::reference::PredictQuarterSample8x8, 8);
}

TEST(CheckAsm, PredictQuarterSample16x16) {
  CheckQuarterSample("PredictQuarterSample16x16", tavrin::quarterSampleRoutines.predict16x16.get(),
                     tavrin::reference::PredictQuarterSample16x16, 16);
}

TEST(CheckAsm, PredictQuarterSampleAverage8x8) {
  CheckQuarterSample("PredictQuarterSampleAverage8x8",
                     tavrin::quarterSampleRoutines.predictAverage8x8.get(),
                     tavrin::reference::PredictQuarterSampleAverage8x8, 8);
}

TEST(CheckAsm, PredictQuarterSampleAverage16x16) {
  CheckQuarterSample("PredictQuarterSampleAverage16x16",
                     tavrin::quarterSampleRoutines.predictAverage16x16.get(),
                     tavrin::reference::PredictQuarterSampleAverage16x16, 16);
}

#if defined(TAVRIN_AVX2_FORMS)
// The AVX2 forms, on processors that have it.
TEST(CheckAsm, PredictQuarterSample8x8Avx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  CheckQuarterSample("PredictQuarterSample8x8Avx2", tavrin::avx2::PredictQuarterSample8x8,
                     tavrin::reference::PredictQuarterSample8x8, 8);
}

TEST(CheckAsm, PredictQuarterSampleAverage8x8Avx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  CheckQuarterSample("PredictQuarterSampleAverage8x8Avx2",
                     tavrin::avx2::PredictQuarterSampleAverage8x8,
                     tavrin::reference::PredictQuarterSampleAverage8x8, 8);
}

TEST(CheckAsm, PredictQuarterSample16x16Avx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  CheckQuarterSample("PredictQuarterSample16x16Avx2", tavrin::avx2::PredictQuarterSample16x16,
                     tavrin::reference::PredictQuarterSample16x16, 16);
}

TEST(CheckAsm, PredictQuarterSampleAverage16x16Avx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  CheckQuarterSample("PredictQuarterSampleAverage16x16Avx2",
                     tavrin::avx2::PredictQuarterSampleAverage16x16,
                     tavrin::reference::PredictQuarterSampleAverage16x16, 16);
}
#endif

}  // namespace
