// The inverse DCT, inter block reconstruction from coded bits (into a
// residual, and added onto a prediction; portable against SSE2 and, where
// the processor runs it, AVX2), and the second path's block routines
// (portable against SSE2).
#include <array>

#include "bench_support.h"
#include "primitives/reconstruction/alternate_scan_routines.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/reconstruction/second_path_block_routines.h"
#include "primitives/reconstruction/second_path_block_routines_sse2.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using namespace tavrinbench;
namespace ref = tavrin::reference;

// A block of typical inter residual coefficients (a few low frequencies).
std::array<int16_t, 64> Coefficients() {
  std::array<int16_t, 64> b{};
  b[0] = 96;
  b[1] = -40;
  b[8] = 24;
  b[9] = -12;
  b[2] = 8;
  b[17] = 6;
  return b;
}

// The bits of one inter block with `events` coefficients.
std::vector<uint8_t> InterBlockBits(int events) {
  coeftest::BitWriter w;
  std::mt19937 rng(7);
  coeftest::PutRandomBlock(w, rng, coeftest::kInterTcoefCodes, 0, events);
  return w.Bytes();
}

void RegisterRoutine(const std::string& name, tavrin::InverseTransformFn fn) {
  benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State& st) {
    const auto coefficients = Coefficients();
    alignas(16) std::array<int16_t, 64> block;
    for (auto _ : st) {
      block = coefficients;
      fn(block.data());
      benchmark::DoNotOptimize(block);
    }
  });
}

const bool registered = [] {
  const auto& t = Table();
  const auto inverseDct = [](benchmark::State& st, auto fn) {
    const auto coefficients = Coefficients();
    alignas(16) std::array<int16_t, 64> block;
    for (auto _ : st) {
      block = coefficients;
      benchmark::DoNotOptimize(fn(block.data()));
    }
  };
  RegisterRow("InverseDct8x8", t.InverseDct8x8, ref::InverseDct8x8, inverseDct);
#if defined(TAVRIN_AVX2_FORMS)
  RegisterAvx2("InverseDct8x8", &tavrin::avx2::InverseDct8x8, inverseDct);
#endif
  for (int events : {1, 6, 20}) {
    RegisterRow("ReconstructInter/" + std::to_string(events) + "codes", t.ReconstructInter,
                ref::ReconstructInter, [events](benchmark::State& st, auto fn) {
                  const std::vector<uint8_t> bits = InterBlockBits(events);
                  alignas(16) std::array<int16_t, 64> residual;
                  for (auto _ : st) {
                    tavrin::BytePointer p = bits.data();
                    int32_t bit = 0;
                    benchmark::DoNotOptimize(fn(&p, &bit, residual.data(), 6, nullptr));
                  }
                });
    // Decoded and added onto a prediction in one step (the slot's fastest
    // form against the reference pair).
    const tavrin::PrimitiveRow<tavrin::ReconstructInterAddFn> add(
        tavrin::reconstructionRoutines.reconstructInterAdd.get(), nullptr, nullptr);
    const auto interAdd = [events](benchmark::State& st, auto fn) {
      const std::vector<uint8_t> bits = InterBlockBits(events);
      std::array<uint8_t, 8 * 32> picture{};
      for (auto _ : st) {
        tavrin::BytePointer p = bits.data();
        int32_t bit = 0;
        benchmark::DoNotOptimize(fn(&p, &bit, 6, nullptr, picture.data(), 32));
      }
    };
    RegisterRow("ReconstructInterAdd/" + std::to_string(events) + "codes", add,
                ref::ReconstructInterAdd, interAdd);
#if defined(TAVRIN_AVX2_FORMS)
    RegisterAvx2("ReconstructInterAdd/" + std::to_string(events) + "codes",
                 &tavrin::avx2::ReconstructInterAdd, interAdd);
#endif
    // The same in the alternate vertical scan (interlaced pictures), at the
    // doubled stride of a field DCT block.
    const tavrin::PrimitiveRow<tavrin::ReconstructInterAddFn> alternate(
        tavrin::alternateScanRoutines.reconstructInterAdd.get(), nullptr, nullptr);
    RegisterRow("ReconstructInterAddAlternate/" + std::to_string(events) + "codes", alternate,
                ref::ReconstructInterAddAlternate, [events](benchmark::State& st, auto fn) {
                  const std::vector<uint8_t> bits = InterBlockBits(events);
                  std::array<uint8_t, 16 * 32> picture{};
                  for (auto _ : st) {
                    tavrin::BytePointer p = bits.data();
                    int32_t bit = 0;
                    benchmark::DoNotOptimize(fn(&p, &bit, 6, nullptr, picture.data(), 64));
                  }
                });
  }
  RegisterRoutine("InverseTransformNewer/portable", tavrin::blockroutines::InverseTransformNewer);
  RegisterRoutine("InverseTransformOlder/portable", tavrin::blockroutines::InverseTransformOlder);
#if defined(__SSE2__)
  RegisterRoutine("InverseTransformNewer/sse2", tavrin::blockroutines::sse2::InverseTransformNewer);
  RegisterRoutine("InverseTransformOlder/sse2", tavrin::blockroutines::sse2::InverseTransformOlder);
#endif
  return true;
}();

}  // namespace
