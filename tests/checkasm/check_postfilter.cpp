// Post-filter primitives: every variant against the reference, whole
// pictures compared.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "checkasm/checkasm.h"
#include "primitives/postfilter/postfilter.h"

namespace {

// A picture with smooth stretches, steps and a little noise, so that both
// modes of the deblocking filter and every branch of each are taken.
void FillPicture(std::mt19937& rng, std::vector<uint8_t>& p) {
  int v = static_cast<int>(rng() % 256);
  const int noise = 1 + static_cast<int>(rng() % 12);
  for (auto& b : p) {
    if (rng() % 16 == 0) v = static_cast<int>(rng() % 256);
    v = std::clamp(v + static_cast<int>(rng() % noise) - noise / 2, 0, 255);
    b = static_cast<uint8_t>(rng() % 64 == 0 ? rng() : static_cast<unsigned>(v));
  }
}

template <typename Fn>
void CheckDeblock(const char* name, const tavrin::PrimitiveRow<Fn>& row, Fn reference) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  std::vector<uint8_t> want, got;
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 3000; ++iter) {
      // Room for the five samples on either side of the edge in both
      // directions, wherever the edge lies.
      const int32_t stride = 16 + static_cast<int32_t>(rng() % 48);
      const int32_t rows = 24;
      want.resize(static_cast<size_t>(stride) * rows);
      FillPicture(rng, want);
      got = want;
      const int32_t x = 5 + static_cast<int32_t>(rng() % static_cast<uint32_t>(stride - 15));
      const int32_t y = 5 + static_cast<int32_t>(rng() % 11);
      int32_t qp = 1 + static_cast<int32_t>(rng() % 31);
      if (iter % 50 == 0) qp = static_cast<int32_t>(rng() % 8) - 4;
      const int32_t thr1 = iter % 2 ? 4 : static_cast<int32_t>(rng() % 10);
      const int32_t thr2 = iter % 2 ? 6 : static_cast<int32_t>(rng() % 12);
      const bool null = iter % 97 == 3;
      const size_t at = static_cast<size_t>(y * stride + x);
      auto w = reference(null ? nullptr : want.data() + at, stride, qp, thr1, thr2);
      auto g = c.fn(null ? nullptr : got.data() + at, stride, qp, thr1, thr2);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want, got) << "variant " << c.variant << " qp " << qp << " thr " << thr1 << ","
                           << thr2;
    }
    checkasm::Bench(std::string(name) + " v" + std::to_string(c.variant),
                    [&] { c.fn(got.data() + 8 * 16 + 8, 16, 8, 4, 6); });
  }
}

TEST(CheckAsm, DeblockHorizontalEdge) {
  CheckDeblock("DeblockHorizontalEdge", checkasm::Table().DeblockHorizontalEdge,
               tavrin::reference::DeblockHorizontalEdge);
}

TEST(CheckAsm, DeblockVerticalEdge) {
  CheckDeblock("DeblockVerticalEdge", checkasm::Table().DeblockVerticalEdge,
               tavrin::reference::DeblockVerticalEdge);
}

// The quantiser and both thresholds are used as given: values far outside
// their usual ranges (vector variants narrow them to 16-bit lanes) must
// decide every line as the reference does.
template <typename Fn>
void CheckDeblockArguments(const char* name, const tavrin::PrimitiveRow<Fn>& row, Fn reference) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  const int32_t values[] = {INT32_MIN, -70000, -256, -2, -1, 0, 1, 2, 5, 9, 10, 11,
                            127, 128, 129, 254, 255, 256, 32767, 32768, 70000, INT32_MAX};
  auto pick = [&] { return values[rng() % std::size(values)]; };
  constexpr int32_t kStride = 24;
  std::vector<uint8_t> want(kStride * 20), got;
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 4000; ++iter) {
      FillPicture(rng, want);
      got = want;
      const int32_t qp = iter % 3 == 0 ? 1 + static_cast<int32_t>(rng() % 31) : pick();
      const int32_t thr1 = iter % 3 == 1 ? static_cast<int32_t>(rng() % 10) : pick();
      const int32_t thr2 = iter % 3 == 2 ? static_cast<int32_t>(rng() % 12) : pick();
      const size_t at = 8 * kStride + 8;
      ASSERT_EQ(reference(want.data() + at, kStride, qp, thr1, thr2),
                c.fn(got.data() + at, kStride, qp, thr1, thr2));
      ASSERT_EQ(want, got) << "variant " << c.variant << " qp " << qp << " thr " << thr1 << ","
                           << thr2;
    }
  }
}

TEST(CheckAsm, DeblockEdgesWithArgumentsAsGiven) {
  CheckDeblockArguments("DeblockHorizontalEdge arguments",
                        checkasm::Table().DeblockHorizontalEdge,
                        tavrin::reference::DeblockHorizontalEdge);
  CheckDeblockArguments("DeblockVerticalEdge arguments", checkasm::Table().DeblockVerticalEdge,
                        tavrin::reference::DeblockVerticalEdge);
}

TEST(CheckAsm, DeringThreshold) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DeringThreshold");
  std::vector<uint8_t> block(8 * 40);
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DeringThreshold)) {
    for (int iter = 0; iter < 1000; ++iter) {
      FillPicture(rng, block);
      int32_t stride = 8 + static_cast<int32_t>(rng() % 32);
      if (iter % 50 == 1) stride = 7 - static_cast<int32_t>(rng() % 4);
      int32_t wantThreshold = -7, wantRange = -7, gotThreshold = -7, gotRange = -7;
      const bool nullPixels = iter % 61 == 2;
      const bool nullOut = iter % 67 == 3;
      const uint8_t* p = nullPixels ? nullptr : block.data();
      auto w = tavrin::reference::DeringThreshold(p, stride, nullOut ? nullptr : &wantThreshold,
                                                  &wantRange);
      auto g = c.fn(p, stride, nullOut ? nullptr : &gotThreshold, &gotRange);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(wantThreshold, gotThreshold) << "variant " << c.variant;
      ASSERT_EQ(wantRange, gotRange) << "variant " << c.variant;
    }
  }
}

TEST(CheckAsm, DeringSmooth) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DeringSmooth");
  std::vector<uint8_t> source(12 * 40), want(12 * 40), got;
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DeringSmooth)) {
    for (int iter = 0; iter < 1000; ++iter) {
      FillPicture(rng, source);
      for (auto& b : want) b = static_cast<uint8_t>(rng());
      got = want;
      const int32_t sourceStride = 10 + static_cast<int32_t>(rng() % 30);
      int32_t destinationStride = 8 + static_cast<int32_t>(rng() % 32);
      if (iter % 50 == 1) destinationStride = 7 - static_cast<int32_t>(rng() % 4);
      int32_t quant = 1 + static_cast<int32_t>(rng() % 31);
      if (iter % 50 == 2) quant = iter % 4 ? 0 : 32;
      const int32_t threshold = static_cast<int32_t>(rng() % 280) - 10;
      const bool nullSource = iter % 61 == 3;
      const uint8_t* from = nullSource ? nullptr : source.data() + sourceStride + 1;
      const int32_t ds = std::max(destinationStride, 8);
      auto w = tavrin::reference::DeringSmooth(from, sourceStride, want.data() + ds + 1,
                                               destinationStride, threshold, quant);
      auto g = c.fn(from, sourceStride, got.data() + ds + 1, destinationStride, threshold, quant);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want, got) << "variant " << c.variant;
    }
  }
}

TEST(CheckAsm, CopyPlane) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("CopyPlane");
  std::vector<uint8_t> source, want, got;
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().CopyPlane)) {
    for (int iter = 0; iter < 600; ++iter) {
      int32_t width = 1 + static_cast<int32_t>(rng() % 100);
      int32_t height = 1 + static_cast<int32_t>(rng() % 40);
      int32_t sourceStride = width + static_cast<int32_t>(rng() % 40);
      int32_t destinationStride = width + static_cast<int32_t>(rng() % 40);
      if (iter % 4 == 0) sourceStride = destinationStride = width;  // one block
      switch (iter % 30) {
        case 1:
          width = -static_cast<int32_t>(rng() % 3);
          break;
        case 2:
          height = -static_cast<int32_t>(rng() % 3);
          break;
        case 3:
          sourceStride = -static_cast<int32_t>(rng() % 3);
          break;
        case 4:
          destinationStride = -static_cast<int32_t>(rng() % 3);
          break;
        default:
          break;
      }
      const bool nullSource = iter % 30 == 5;
      const bool nullDestination = iter % 30 == 6;
      const auto rows = static_cast<size_t>(std::max(height, 1));
      source.resize(rows * static_cast<size_t>(std::max(sourceStride, 1) + 100));
      want.resize(rows * static_cast<size_t>(std::max(destinationStride, 1) + 100));
      for (auto& b : source) b = static_cast<uint8_t>(rng());
      for (auto& b : want) b = static_cast<uint8_t>(rng());
      got = want;
      const uint8_t* from = nullSource ? nullptr : source.data();
      auto w =
          tavrin::reference::CopyPlane(from, sourceStride, nullDestination ? nullptr : want.data(),
                                       destinationStride, width, height);
      auto g = c.fn(from, sourceStride, nullDestination ? nullptr : got.data(), destinationStride,
                    width, height);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want, got) << "variant " << c.variant << " " << width << "x" << height;
    }
    source.assign(352 * 288, 1);
    got.assign(352 * 288, 0);
    checkasm::Bench(
        "CopyPlane 352x288 v" + std::to_string(c.variant),
        [&] { c.fn(source.data(), 352 + 0, got.data(), 352, 352, 288); }, 2000);
  }
}

}  // namespace
