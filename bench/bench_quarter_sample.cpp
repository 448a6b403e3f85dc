// Quarter-sample prediction: the portable form against the routine the
// decoder calls (labelled v1: the form the build holds, SSE2 on x86) and
// the AVX2 form where the processor runs it, for
// the full-sample, half-sample-only and two-pass fraction pairs.
#include <string>

#include "bench_support.h"
#include "primitives/blockcopy/quarter_sample.h"
#include "primitives/blockcopy/quarter_sample_routines.h"

namespace {

using tavrin::MotionVector;
using tavrin::PredictQuarterSampleFn;
using namespace tavrinbench;
namespace ref = tavrin::reference;

constexpr int32_t kStride = 64;

struct Pictures {
  std::vector<uint8_t> source = PictureBytes(kStride * 64, 1);
  std::vector<uint8_t> destination = PictureBytes(kStride * 64, 2);
  const uint8_t* from() const { return source.data() + 16 * kStride + 16; }
  uint8_t* to() { return destination.data() + 16 * kStride + 16; }
};

// Fractions (x, y): none, horizontal half only, vertical quarter only, and
// both passes at half and at quarter positions.
const MotionVector kVectors[] = {{8, -4}, {6, -4}, {8, -3}, {6, -2}, {5, -3}};

// The AVX2 forms of this build (none without them).
struct Avx2Forms {
  PredictQuarterSampleFn predict8x8 = nullptr;
  PredictQuarterSampleFn predict16x16 = nullptr;
  PredictQuarterSampleFn predictAverage8x8 = nullptr;
  PredictQuarterSampleFn predictAverage16x16 = nullptr;
};
#if defined(TAVRIN_AVX2_FORMS)
constexpr Avx2Forms kAvx2{tavrin::avx2::PredictQuarterSample8x8,
                          tavrin::avx2::PredictQuarterSample16x16,
                          tavrin::avx2::PredictQuarterSampleAverage8x8,
                          tavrin::avx2::PredictQuarterSampleAverage16x16};
#else
constexpr Avx2Forms kAvx2{};
#endif

const bool registered = [] {
  const struct {
    const char* name;
    PredictQuarterSampleFn fast;
    PredictQuarterSampleFn reference;
    PredictQuarterSampleFn avx2;
  } routines[] = {
      {"PredictQuarterSample8x8", tavrin::quarterSampleRoutines.predict8x8.get(),
       ref::PredictQuarterSample8x8, kAvx2.predict8x8},
      {"PredictQuarterSample16x16", tavrin::quarterSampleRoutines.predict16x16.get(),
       ref::PredictQuarterSample16x16, kAvx2.predict16x16},
      {"PredictQuarterSampleAverage8x8", tavrin::quarterSampleRoutines.predictAverage8x8.get(),
       ref::PredictQuarterSampleAverage8x8, kAvx2.predictAverage8x8},
      {"PredictQuarterSampleAverage16x16",
       tavrin::quarterSampleRoutines.predictAverage16x16.get(),
       ref::PredictQuarterSampleAverage16x16, kAvx2.predictAverage16x16},
  };
  for (const auto& r : routines) {
    const tavrin::PrimitiveRow<PredictQuarterSampleFn> row(r.fast, nullptr, nullptr);
    for (const MotionVector v : kVectors) {
      const std::string f = "/fraction" + std::to_string(v.x & 3) + std::to_string(v.y & 3);
      const auto body = [v](benchmark::State& st, auto fn) {
        Pictures p;
        for (auto _ : st) benchmark::DoNotOptimize(fn(p.from(), kStride, p.to(), kStride, &v, 1));
      };
      RegisterRow(r.name + f, row, r.reference, body);
      if (r.avx2 != nullptr) RegisterAvx2(r.name + f, r.avx2, body);
    }
  }
  return true;
}();

}  // namespace
