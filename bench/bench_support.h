// Registration of one benchmark per implementation of a table row: the
// portable reference, then each distinct candidate of the build's initial
// table, named by the variants that share it ("PadPlane/v1+v2+v3"), and
// the AVX2 forms beside them (RegisterAvx2).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/avx2_forms.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/dispatch/selection.h"

namespace tavrinbench {

inline const tavrin::PrimitiveTable& Table() {
  static const tavrin::PrimitiveTable table = tavrin::MakeInitialPrimitiveTable();
  return table;
}

// body(state, fn) runs the benchmark loop for one implementation.
template <typename Fn, typename Body>
void RegisterRow(const std::string& name, const tavrin::PrimitiveRow<Fn>& row, Fn reference,
                 Body body) {
  benchmark::RegisterBenchmark((name + "/reference").c_str(),
                               [=](benchmark::State& state) { body(state, reference); });
  std::vector<Fn> seen{reference};
  for (int v = 1; v <= 3; ++v) {
    const Fn fn = row.candidate(v);
    bool known = fn == nullptr;
    for (Fn s : seen) known = known || s == fn;
    if (known) continue;
    seen.push_back(fn);
    std::string label = "v";
    label.append(std::to_string(v));
    for (int w = v + 1; w <= 3; ++w) {
      if (row.candidate(w) == fn) label.append("+v").append(std::to_string(w));
    }
    benchmark::RegisterBenchmark((name + "/" + label).c_str(),
                                 [=](benchmark::State& state) { body(state, fn); });
  }
}

// Whether this processor runs the AVX2 forms.
inline bool HasAvx2() {
  return (tavrin::ProbeFeatures(tavrin::platform::ReadCpuProbe()) & tavrin::FeatureAvx2) != 0;
}

// The AVX2 form the selection puts in place of a row's SSE2 candidate
// ("name/avx2"), registered only where the processor runs it.
template <typename Fn, typename Body>
void RegisterAvx2(const std::string& name, Fn fn, Body body) {
  if (!HasAvx2()) return;
  benchmark::RegisterBenchmark((name + "/avx2").c_str(),
                               [=](benchmark::State& state) { body(state, fn); });
}

// Pixels that look like a picture (smooth with some noise).
inline std::vector<uint8_t> PictureBytes(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(count);
  int v = 128;
  for (auto& b : bytes) {
    v = (v + static_cast<int>(rng() % 9) - 4) & 255;
    b = static_cast<uint8_t>(v);
  }
  return bytes;
}

}  // namespace tavrinbench
