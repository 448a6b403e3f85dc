// Block copies, averages, residual addition and half-sample prediction:
// one call per iteration on blocks inside a 64-byte-stride picture.
#include <array>

#include "bench_support.h"
#include "primitives/blockcopy/blockcopy.h"
#include "primitives/blockcopy/motion_routines.h"

namespace {

using tavrin::MotionVector;
using namespace tavrinbench;
namespace ref = tavrin::reference;

constexpr int32_t kStride = 64;

struct Pictures {
  std::vector<uint8_t> source = PictureBytes(kStride * 64, 1);
  std::vector<uint8_t> destination = PictureBytes(kStride * 64, 2);
  std::array<int16_t, 64> residual{};
  Pictures() {
    std::mt19937 rng(3);
    for (auto& r : residual) r = static_cast<int16_t>(static_cast<int>(rng() % 81) - 40);
  }
  const uint8_t* from() const { return source.data() + 16 * kStride + 16; }
  uint8_t* to() { return destination.data() + 16 * kStride + 16; }
};

const MotionVector kModeVectors[4] = {{2, -4}, {3, -4}, {2, -3}, {3, -3}};

const bool registered = [] {
  const auto& t = Table();
  RegisterRow("Copy16x16", t.Copy16x16, ref::Copy16x16, [](benchmark::State& st, auto fn) {
    Pictures p;
    for (auto _ : st) benchmark::DoNotOptimize(fn(p.from(), p.to(), kStride));
  });
  RegisterRow("Copy8x8", t.Copy8x8, ref::Copy8x8, [](benchmark::State& st, auto fn) {
    Pictures p;
    for (auto _ : st) benchmark::DoNotOptimize(fn(p.from(), p.to(), kStride));
  });
  RegisterRow("AddResidual8x8", t.AddResidual8x8, ref::AddResidual8x8,
              [](benchmark::State& st, auto fn) {
                Pictures p;
                for (auto _ : st) benchmark::DoNotOptimize(fn(p.to(), p.residual.data(), kStride));
              });
  RegisterRow("Average8x8", t.Average8x8, ref::Average8x8, [](benchmark::State& st, auto fn) {
    Pictures p;
    for (auto _ : st) benchmark::DoNotOptimize(fn(p.from(), kStride, p.to(), kStride));
  });
  RegisterRow("Average16x16", t.Average16x16, ref::Average16x16, [](benchmark::State& st, auto fn) {
    Pictures p;
    for (auto _ : st) benchmark::DoNotOptimize(fn(p.from(), kStride, p.to(), kStride));
  });
  for (int mode = 0; mode < 4; ++mode) {
    const MotionVector v = kModeVectors[mode];
    const std::string m = "/mode" + std::to_string(mode);
    RegisterRow("PredictHalfSample8x8" + m, t.PredictHalfSample8x8, ref::PredictHalfSample8x8,
                [v](benchmark::State& st, auto fn) {
                  Pictures p;
                  for (auto _ : st)
                    benchmark::DoNotOptimize(fn(p.from(), kStride, p.to(), kStride, &v, 0));
                });
    const auto halfSample16 = [v](benchmark::State& st, auto fn) {
      Pictures p;
      for (auto _ : st) benchmark::DoNotOptimize(fn(p.from(), kStride, p.to(), kStride, &v, 1));
    };
    RegisterRow("PredictHalfSample16x16" + m, t.PredictHalfSample16x16, ref::PredictHalfSample16x16,
                halfSample16);
#if defined(TAVRIN_AVX2_FORMS)
    RegisterAvx2("PredictHalfSample16x16" + m, &tavrin::avx2::PredictHalfSample16x16,
                 halfSample16);
#endif
    RegisterRow("PredictAddResidual8x8" + m, t.PredictAddResidual8x8, ref::PredictAddResidual8x8,
                [v](benchmark::State& st, auto fn) {
                  Pictures p;
                  for (auto _ : st) {
                    benchmark::DoNotOptimize(
                        fn(p.from(), kStride, p.residual.data(), p.to(), kStride, &v, 0));
                  }
                });
    // The motion routines beside the table, labelled v1: the form a build
    // holds (SSE2 on x86).
    const tavrin::PrimitiveRow<tavrin::PredictHalfSampleFn> average8(
        tavrin::motionRoutines.predictAverage8x8.get(), nullptr, nullptr);
    const tavrin::PrimitiveRow<tavrin::PredictBidirectionalFn> both16(
        tavrin::motionRoutines.predictBidirectional16x16.get(), nullptr, nullptr);
    const tavrin::PrimitiveRow<tavrin::PredictChromaFn> chroma(
        tavrin::motionRoutines.predictChroma.get(), nullptr, nullptr);
    const tavrin::PrimitiveRow<tavrin::PredictBidirectionalChromaFn> bothChroma(
        tavrin::motionRoutines.predictBidirectionalChroma.get(), nullptr, nullptr);
    const auto predictBody = [v](benchmark::State& st, auto fn) {
      Pictures p;
      for (auto _ : st) benchmark::DoNotOptimize(fn(p.from(), kStride, p.to(), kStride, &v, 0));
    };
    const auto chromaBody = [v](benchmark::State& st, auto fn) {
      Pictures p;
      for (auto _ : st) {
        benchmark::DoNotOptimize(fn(p.from(), p.from() + 24 * kStride, kStride, p.to(),
                                    p.to() + 24 * kStride, kStride, &v, 0));
      }
    };
    RegisterRow("PredictAverage8x8" + m, average8, ref::PredictAverage8x8, predictBody);
    const auto bidirectional16 = [v](benchmark::State& st, auto fn) {
      Pictures p;
      for (auto _ : st) {
        benchmark::DoNotOptimize(
            fn(p.from(), p.from() + 24 * kStride, kStride, p.to(), kStride, &v, &v, 0));
      }
    };
    RegisterRow("PredictBidirectional16x16" + m, both16, ref::PredictBidirectional16x16,
                bidirectional16);
#if defined(TAVRIN_AVX2_FORMS)
    RegisterAvx2("PredictBidirectional16x16" + m, &tavrin::avx2::PredictBidirectional16x16,
                 bidirectional16);
#endif
    RegisterRow("PredictChroma" + m, chroma, ref::PredictChroma, chromaBody);
    RegisterRow("PredictBidirectionalChroma" + m, bothChroma, ref::PredictBidirectionalChroma,
                [v](benchmark::State& st, auto fn) {
                  Pictures p;
                  const uint8_t* from = p.from();
                  for (auto _ : st) {
                    benchmark::DoNotOptimize(fn(from, from + 24 * kStride, from + 8, from + 24 * kStride + 8,
                                                kStride, p.to(), p.to() + 24 * kStride, kStride, &v,
                                                &v, 0));
                  }
                });
  }
  return true;
}();

}  // namespace
