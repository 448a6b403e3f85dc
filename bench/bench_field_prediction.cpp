// Field prediction of interlaced pictures: a 16x8 luma field block and both
// 8x4 chroma field blocks, plain and from two references, at a doubled
// stride (every other line of a 64-byte-stride picture).
#include "bench_support.h"
#include "primitives/blockcopy/field_prediction.h"
#include "primitives/blockcopy/field_routines.h"

namespace {

using tavrin::MotionVector;
using namespace tavrinbench;
namespace ref = tavrin::reference;

constexpr int32_t kStride = 64;
constexpr int32_t kFieldStride = 2 * kStride;

struct Pictures {
  std::vector<uint8_t> source = PictureBytes(kStride * 96, 1);
  std::vector<uint8_t> destination = PictureBytes(kStride * 96, 2);
  const uint8_t* from() const { return source.data() + 32 * kStride + 16; }
  uint8_t* to() { return destination.data() + 32 * kStride + 16; }
};

const MotionVector kModeVectors[4] = {{2, -4}, {3, -4}, {2, -3}, {3, -3}};

const bool registered = [] {
  // The routines a build holds, labelled v1 (SSE2 on x86), against the
  // portable forms.
  const tavrin::PrimitiveRow<tavrin::PredictHalfSampleFn> luma(
      tavrin::fieldRoutines.predictLuma16x8.get(), nullptr, nullptr);
  const tavrin::PrimitiveRow<tavrin::PredictChromaFn> chroma(
      tavrin::fieldRoutines.predictChroma8x4.get(), nullptr, nullptr);
  const tavrin::PrimitiveRow<tavrin::PredictBidirectionalFn> bothLuma(
      tavrin::fieldRoutines.predictBidirectionalLuma16x8.get(), nullptr, nullptr);
  const tavrin::PrimitiveRow<tavrin::PredictBidirectionalChromaFn> bothChroma(
      tavrin::fieldRoutines.predictBidirectionalChroma8x4.get(), nullptr, nullptr);
  for (int mode = 0; mode < 4; ++mode) {
    const MotionVector v = kModeVectors[mode];
    const std::string m = "/mode" + std::to_string(mode);
    RegisterRow("PredictField16x8" + m, luma, ref::PredictField16x8,
                [v](benchmark::State& st, auto fn) {
                  Pictures p;
                  for (auto _ : st)
                    benchmark::DoNotOptimize(fn(p.from(), kFieldStride, p.to(), kFieldStride, &v, 0));
                });
    RegisterRow("PredictFieldChroma" + m, chroma, ref::PredictFieldChroma,
                [v](benchmark::State& st, auto fn) {
                  Pictures p;
                  for (auto _ : st) {
                    benchmark::DoNotOptimize(fn(p.from(), p.from() + 24, kFieldStride, p.to(),
                                                p.to() + 24, kFieldStride, &v, 0));
                  }
                });
    RegisterRow("PredictBidirectionalField16x8" + m, bothLuma, ref::PredictBidirectionalField16x8,
                [v](benchmark::State& st, auto fn) {
                  Pictures p;
                  for (auto _ : st) {
                    benchmark::DoNotOptimize(fn(p.from(), p.from() + kStride, kFieldStride, p.to(),
                                                kFieldStride, &v, &v, 0));
                  }
                });
    RegisterRow("PredictBidirectionalFieldChroma" + m, bothChroma,
                ref::PredictBidirectionalFieldChroma, [v](benchmark::State& st, auto fn) {
                  Pictures p;
                  const uint8_t* from = p.from();
                  for (auto _ : st) {
                    benchmark::DoNotOptimize(fn(from, from + 24, from + kStride, from + kStride + 24,
                                                kFieldStride, p.to(), p.to() + 24, kFieldStride, &v,
                                                &v, 0));
                  }
                });
  }
  return true;
}();

}  // namespace
