// Global motion prediction: the SSE2 warp and translation against the
// portable reference, bit for bit, on random warps (near the identity, where
// the fast 8x8 parts run, and far from it), at every accuracy and rounding,
// with bounds that force clamping; destinations compared whole, guard bytes
// included.
#include <string>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/warp/warp.h"

namespace {

using tavrin::WarpBlock;

// A plane of kSide x kSide samples whose origin lies kBorder in; the
// bounds keep every read inside it.
constexpr int kSide = 112;
constexpr int kBorder = 24;

struct Plane {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kSide * kSide);
  void Randomise(std::mt19937& rng) {
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  }
  uint8_t* origin() { return bytes.data() + kBorder * kSide + kBorder; }
};

int32_t Between(std::mt19937& rng, int32_t low, int32_t high) {
  return low + static_cast<int32_t>(rng() % static_cast<uint32_t>(high - low + 1));
}

// A warp of the kind streams carry: per-sample steps of s (times the
// divisor) give the identity; zooms and turns differ from it by a little,
// and now and then by a lot.
WarpBlock RandomWarp(std::mt19937& rng, int iter) {
  WarpBlock b{};
  b.accuracyBits = Between(rng, 1, 4);
  b.rounding = Between(rng, 0, 1);
  const int32_t s = 1 << b.accuracyBits;
  b.shiftX = Between(rng, 0, 14);
  b.shiftY = iter % 3 == 0 ? b.shiftX : Between(rng, 0, 14);
  const int32_t unitX = s << b.shiftX;
  const int32_t unitY = s << b.shiftY;
  const bool gentle = iter % 4 != 0;
  const int32_t spreadX = gentle ? std::max(1, unitX / 64) : 2 * unitX;
  const int32_t spreadY = gentle ? std::max(1, unitY / 64) : 2 * unitY;
  b.xi = unitX + Between(rng, -spreadX, spreadX);
  b.xj = Between(rng, -spreadX, spreadX);
  b.yi = Between(rng, -spreadY, spreadY);
  b.yj = unitY + Between(rng, -spreadY, spreadY);
  if (iter % 11 == 5) b.xi = b.xj = b.yi = b.yj = 0;  // every sample from one place
  b.remX = Between(rng, 0, (1 << b.shiftX) - 1);
  b.remY = Between(rng, 0, (1 << b.shiftY) - 1);
  // Whole positions from well outside the bounds to well inside.
  b.baseX = Between(rng, -40 * s, 80 * s);
  b.baseY = Between(rng, -40 * s, 80 * s);
  b.minX = -Between(rng, 0, kBorder);
  b.minY = -Between(rng, 0, kBorder);
  b.maxX = Between(rng, 20, kSide - kBorder - 1);
  b.maxY = Between(rng, 20, kSide - kBorder - 1);
  return b;
}

TEST(CheckAsm, Warp) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("Warp");
  const auto fast = tavrin::warpRoutines.warp.get();
  Plane ref;
  std::vector<uint8_t> want(64 * 40), got;
  int fastParts = 0;
  for (int iter = 0; iter < 6000; ++iter) {
    ref.Randomise(rng);
    for (auto& v : want) v = static_cast<uint8_t>(rng());
    got = want;
    const WarpBlock b = RandomWarp(rng, iter);
    const int32_t size = iter % 2 ? 16 : 8;
    const int32_t stride = Between(rng, size, 40);
    tavrin::reference::Warp(ref.origin(), kSide, want.data() + 4 * stride + 4, stride, size, &b);
    fast(ref.origin(), kSide, got.data() + 4 * stride + 4, stride, size, &b);
    ASSERT_EQ(want, got) << "iteration " << iter << " size " << size << " accuracy " << b.accuracyBits
                         << " shifts " << b.shiftX << "," << b.shiftY;
    fastParts += b.xj == 0 ? 0 : 1;
  }
  EXPECT_GT(fastParts, 0);
  WarpBlock zoom{};
  zoom.accuracyBits = 4;
  zoom.shiftX = zoom.shiftY = 10;
  zoom.xi = zoom.yj = (16 << 10) + 17;
  zoom.xj = 5;
  zoom.yi = -5;
  zoom.baseX = zoom.baseY = 16 * 8 + 7;  // 7/16 past a whole sample: the fast parts
  zoom.minX = zoom.minY = -kBorder;
  zoom.maxX = zoom.maxY = kSide - kBorder - 1;
  checkasm::Bench("Warp 16x16 zoom reference", [&] {
    tavrin::reference::Warp(ref.origin(), kSide, got.data(), 16, 16, &zoom);
  });
  checkasm::Bench("Warp 16x16 zoom fast", [&] { fast(ref.origin(), kSide, got.data(), 16, 16, &zoom); });
}

TEST(CheckAsm, Translate) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("Translate");
  const auto fast = tavrin::warpRoutines.translate.get();
  Plane ref;
  std::vector<uint8_t> want(64 * 40), got;
  for (int iter = 0; iter < 4000; ++iter) {
    ref.Randomise(rng);
    for (auto& v : want) v = static_cast<uint8_t>(rng());
    got = want;
    const int32_t a = Between(rng, 1, 4);
    const int32_t s = 1 << a;
    // Every fraction pair at the finest accuracy first, then random ones.
    const int32_t fx = iter < 256 ? (iter & 15) % s : Between(rng, 0, s - 1);
    const int32_t fy = iter < 256 ? (iter >> 4) % s : Between(rng, 0, s - 1);
    const int32_t rounding = Between(rng, 0, 1);
    const int32_t size = iter % 3 ? 16 : 8;
    const int32_t stride = Between(rng, size, 40);
    const uint8_t* from = ref.origin() + Between(rng, -kBorder, 40) * kSide + Between(rng, -kBorder, 40);
    tavrin::reference::Translate(from, kSide, want.data() + 4 * stride + 4, stride, size, fx, fy, a,
                                 rounding);
    fast(from, kSide, got.data() + 4 * stride + 4, stride, size, fx, fy, a, rounding);
    ASSERT_EQ(want, got) << "iteration " << iter << " size " << size << " fraction " << fx << "," << fy
                         << " accuracy " << a << " rounding " << rounding;
  }
  checkasm::Bench("Translate 16x16 reference", [&] {
    tavrin::reference::Translate(ref.origin(), kSide, got.data(), 16, 16, 5, 11, 4, 0);
  });
  checkasm::Bench("Translate 16x16 fast",
                  [&] { fast(ref.origin(), kSide, got.data(), 16, 16, 5, 11, 4, 0); });
}

}  // namespace
