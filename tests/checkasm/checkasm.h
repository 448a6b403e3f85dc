// The variant-equivalence harness.  One check per primitive: every distinct
// candidate of the primitive's table row (variants 1 to 3) is run against the
// portable reference implementation on random and edge inputs, and outputs
// and statuses must be bit-identical.
//
// TAVRIN_CHECKASM_SEED=<n> changes the random seed (the seed in use is
// printed on failure); TAVRIN_CHECKASM_BENCH=1 also times each candidate
// against the reference.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "primitives/dispatch/primitive_table.h"
#include "primitives/dispatch/selection.h"

namespace checkasm {

inline uint32_t Seed() {
  static const uint32_t seed = [] {
    const char* s = std::getenv("TAVRIN_CHECKASM_SEED");
    return s ? static_cast<uint32_t>(std::strtoul(s, nullptr, 10)) : 20261208u;
  }();
  return seed;
}

// A generator seeded per check, so that checks do not depend on their order.
inline std::mt19937 Rng(const char* checkName) {
  uint32_t h = Seed();
  for (const char* p = checkName; *p; ++p) h = h * 31u + static_cast<uint8_t>(*p);
  return std::mt19937(h);
}

template <typename Fn>
struct Candidate {
  int variant;
  Fn fn;
};

// The distinct candidates the build provides for a row, variants 1 to 3.
template <typename Fn>
std::vector<Candidate<Fn>> CandidatesOf(const tavrin::PrimitiveRow<Fn>& row) {
  std::vector<Candidate<Fn>> out;
  for (int v = 1; v <= 3; ++v) {
    Fn fn = row.candidate(v);
    if (fn == nullptr) continue;
    bool seen = false;
    for (const auto& c : out) seen = seen || c.fn == fn;
    if (!seen) out.push_back({v, fn});
  }
  return out;
}

// The initial table of this build, whose rows hold every candidate.
inline const tavrin::PrimitiveTable& Table() {
  static const tavrin::PrimitiveTable table = tavrin::MakeInitialPrimitiveTable();
  return table;
}

// Whether this processor runs the AVX2 forms (SelectAvx2Forms).
inline bool HasAvx2() {
  static const bool avx2 =
      (tavrin::ProbeFeatures(tavrin::platform::ReadCpuProbe()) & tavrin::FeatureAvx2) != 0;
  return avx2;
}

// The initial table with the forms this processor's features select beside
// the variants (the AVX2 forms) installed in its slots.
inline const tavrin::PrimitiveTable& ProcessorTable() {
  static tavrin::PrimitiveTable table = tavrin::MakeInitialPrimitiveTable();
  [[maybe_unused]] static const int32_t installed =
      tavrin::SelectAvx2Forms(table, tavrin::ProbeFeatures(tavrin::platform::ReadCpuProbe()));
  return table;
}

// The distinct candidates of a table row, and as variant 4 the form this
// processor's features put in its slot when that is none of them.
template <typename Fn>
std::vector<Candidate<Fn>> CandidatesOf(tavrin::PrimitiveRow<Fn> tavrin::PrimitiveTable::*row) {
  std::vector<Candidate<Fn>> out = CandidatesOf(Table().*row);
  const Fn extra = (ProcessorTable().*row).slot();
  bool seen = false;
  for (const auto& c : out) seen = seen || c.fn == extra;
  if (!seen) out.push_back({4, extra});
  return out;
}

inline bool BenchRequested() {
  const char* s = std::getenv("TAVRIN_CHECKASM_BENCH");
  return s != nullptr && s[0] != '\0' && s[0] != '0';
}

// Times body() (which should make one call) and prints nanoseconds per call.
template <typename Body>
void Bench(const std::string& label, Body&& body, int iterations = 20000) {
  if (!BenchRequested()) return;
  for (int i = 0; i < 100; ++i) body();
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < iterations; ++i) body();
  auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start);
  std::printf("  %-40s %10.1f ns\n", label.c_str(), ns.count() / iterations);
}

}  // namespace checkasm

// Adds the seed to failure messages of a check.
#define CHECKASM_TRACE() SCOPED_TRACE("checkasm seed " + std::to_string(checkasm::Seed()))
