// Global motion prediction: a 16x16 luma block warped by a gentle zoom and
// turn (the 8x8 parts of the fast form), and translated, each with the
// portable reference and the routine set's form (v1: SSE2 on x86).
#include "bench_support.h"
#include "primitives/warp/warp.h"

namespace {

using namespace tavrinbench;

constexpr int32_t kStride = 96;

struct Pictures {
  std::vector<uint8_t> source = PictureBytes(kStride * kStride, 1);
  std::vector<uint8_t> destination = PictureBytes(kStride * 32, 2);
  const uint8_t* origin() const { return source.data() + 24 * kStride + 24; }
};

// Sample (i, j) at (8 + i * 1.0017 + j * 0.0003, 8 + j * 1.0017 - i * 0.0003)
// plus 7/16: a zoom and a slight turn at 1/16 sample.
tavrin::WarpBlock Zoom() {
  tavrin::WarpBlock b{};
  b.accuracyBits = 4;
  b.shiftX = b.shiftY = 10;
  b.xi = b.yj = (16 << 10) + 28;
  b.xj = 5;
  b.yi = -5;
  b.baseX = b.baseY = 16 * 8 + 7;
  b.minX = b.minY = -24;
  b.maxX = b.maxY = kStride - 25;
  return b;
}

void RegisterWarp(const std::string& name, tavrin::WarpFn fn) {
  benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State& st) {
    Pictures p;
    const tavrin::WarpBlock b = Zoom();
    for (auto _ : st) {
      fn(p.origin(), kStride, p.destination.data(), kStride, 16, &b);
      benchmark::DoNotOptimize(p.destination.data());
    }
  });
}

void RegisterTranslate(const std::string& name, tavrin::TranslateFn fn) {
  benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State& st) {
    Pictures p;
    for (auto _ : st) {
      fn(p.origin(), kStride, p.destination.data(), kStride, 16, 5, 11, 4, 0);
      benchmark::DoNotOptimize(p.destination.data());
    }
  });
}

const bool registered = [] {
  RegisterWarp("Warp16x16/reference", tavrin::reference::Warp);
  RegisterWarp("Warp16x16/v1", tavrin::warpRoutines.warp.get());
  RegisterTranslate("Translate16x16/reference", tavrin::reference::Translate);
  RegisterTranslate("Translate16x16/v1", tavrin::warpRoutines.translate.get());
  return true;
}();

}  // namespace
