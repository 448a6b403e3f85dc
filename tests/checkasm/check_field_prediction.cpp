// The field prediction routines (field_routines.h) against their portable
// forms: a 16x8 luma field block, both 8x4 chroma field blocks, and each
// from two references averaged.  Strides are doubled as the interlaced
// decoders pass them, odd and even; destinations are random beforehand and
// compared whole, the lines between a field's lines included.
#include <algorithm>
#include <string>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/blockcopy/field_prediction.h"
#include "primitives/blockcopy/field_routines.h"

namespace {

using tavrin::MotionVector;

// Room for a block at a doubled stride of up to kMaxStride, kMargin / 2
// lines and kMargin columns in: the vectors below reach 20 samples across
// and 10 field lines up or down.
constexpr int kMargin = 32;
constexpr int kMaxStride = 2 * 56;
constexpr size_t kBufferBytes = (2 * kMargin + 20) * kMaxStride;

struct Buffer {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kBufferBytes);
  void Randomise(std::mt19937& rng) {
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  }
  void CopyFrom(const Buffer& other) { std::copy(other.bytes.begin(), other.bytes.end(), bytes.begin()); }
  uint8_t* origin(int stride) { return bytes.data() + (kMargin / 2) * stride + kMargin; }
};

// A picture stride (at least the block width) doubled: every other line.
int32_t FieldStride(std::mt19937& rng, int width) {
  return 2 * (width + static_cast<int32_t>(rng() % 40));  // at most kMaxStride
}

MotionVector RandomVector(std::mt19937& rng, int iter) {
  // Every interpolation mode with both signs first, then up to 20 samples
  // and 10 field lines either way: the reads stay inside the margin.
  if (iter < 64) return {static_cast<int16_t>((iter & 7) - 4), static_cast<int16_t>((iter >> 3) - 4)};
  return {static_cast<int16_t>(static_cast<int>(rng() % 81) - 40),
          static_cast<int16_t>(static_cast<int>(rng() % 41) - 20)};
}

int32_t RandomRounding(std::mt19937& rng) {
  const int32_t values[] = {0, 1, 0, 1, -1, 2};
  return values[rng() % 6];
}

TEST(CheckAsm, PredictField16x8) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PredictField16x8");
  const auto fast = tavrin::fieldRoutines.predictLuma16x8.get();
  Buffer ref, want, got;
  for (int iter = 0; iter < 2000; ++iter) {
    ref.Randomise(rng);
    want.Randomise(rng);
    got.CopyFrom(want);
    const int32_t rs = FieldStride(rng, 16);
    const int32_t ds = iter % 3 == 0 ? rs : FieldStride(rng, 16);
    const MotionVector v = RandomVector(rng, iter);
    const int32_t rounding = RandomRounding(rng);
    const int missing = iter % 29 == 7 ? 1 + iter % 3 : 0;
    auto run = [&](tavrin::PredictHalfSampleFn fn, Buffer& out) {
      return fn(missing == 1 ? nullptr : ref.origin(rs), rs, missing == 2 ? nullptr : out.origin(ds),
                ds, missing == 3 ? nullptr : &v, rounding);
    };
    ASSERT_EQ(run(tavrin::reference::PredictField16x8, want), run(fast, got)) << "iteration " << iter;
    ASSERT_EQ(want.bytes, got.bytes) << "iteration " << iter << " vector " << v.x << "," << v.y
                                     << " rounding " << rounding;
  }
  for (int mode = 0; mode < 4; ++mode) {
    const MotionVector v{static_cast<int16_t>(mode & 1), static_cast<int16_t>(mode >> 1)};
    checkasm::Bench("PredictField16x8 mode " + std::to_string(mode),
                    [&] { fast(ref.origin(96), 96, got.origin(96), 96, &v, 0); });
  }
}

TEST(CheckAsm, PredictFieldChroma) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PredictFieldChroma");
  const auto fast = tavrin::fieldRoutines.predictChroma8x4.get();
  Buffer cb, cr, wantCb, wantCr, gotCb, gotCr;
  for (int iter = 0; iter < 2000; ++iter) {
    for (Buffer* b : {&cb, &cr, &wantCb, &wantCr}) b->Randomise(rng);
    gotCb.CopyFrom(wantCb);
    gotCr.CopyFrom(wantCr);
    const int32_t rs = FieldStride(rng, 8);
    const int32_t ds = iter % 3 == 0 ? rs : FieldStride(rng, 8);
    const MotionVector v = RandomVector(rng, iter);
    const int32_t rounding = RandomRounding(rng);
    const int missing = iter % 31 == 5 ? 1 + iter % 5 : 0;
    auto run = [&](tavrin::PredictChromaFn fn, Buffer& outCb, Buffer& outCr) {
      return fn(missing == 1 ? nullptr : cb.origin(rs), missing == 2 ? nullptr : cr.origin(rs), rs,
                missing == 3 ? nullptr : outCb.origin(ds), missing == 4 ? nullptr : outCr.origin(ds),
                ds, missing == 5 ? nullptr : &v, rounding);
    };
    ASSERT_EQ(run(tavrin::reference::PredictFieldChroma, wantCb, wantCr), run(fast, gotCb, gotCr))
        << "iteration " << iter;
    ASSERT_EQ(wantCb.bytes, gotCb.bytes) << "iteration " << iter;
    ASSERT_EQ(wantCr.bytes, gotCr.bytes) << "iteration " << iter;
  }
  const MotionVector v{1, 1};
  checkasm::Bench("PredictFieldChroma", [&] {
    fast(cb.origin(96), cr.origin(96), 96, gotCb.origin(96), gotCr.origin(96), 96, &v, 0);
  });
}

// From two references: each argument missing in turn, which on the second
// reference's side leaves the first prediction written.
TEST(CheckAsm, PredictBidirectionalField16x8) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PredictBidirectionalField16x8");
  const auto fast = tavrin::fieldRoutines.predictBidirectionalLuma16x8.get();
  Buffer first, second, want, got;
  for (int iter = 0; iter < 2000; ++iter) {
    for (Buffer* b : {&first, &second, &want}) b->Randomise(rng);
    got.CopyFrom(want);
    const int32_t rs = FieldStride(rng, 16);
    const int32_t ds = iter % 3 == 0 ? rs : FieldStride(rng, 16);
    const MotionVector a = RandomVector(rng, iter), b = RandomVector(rng, (iter * 7) % 64 + 64 * (iter >= 64));
    const int32_t rounding = RandomRounding(rng);
    const int missing = iter % 23 == 5 ? 1 + static_cast<int>(rng() % 5) : 0;
    auto run = [&](tavrin::PredictBidirectionalFn fn, Buffer& out) {
      return fn(missing == 1 ? nullptr : first.origin(rs), missing == 2 ? nullptr : second.origin(rs), rs,
                missing == 3 ? nullptr : out.origin(ds), ds, missing == 4 ? nullptr : &a,
                missing == 5 ? nullptr : &b, rounding);
    };
    ASSERT_EQ(run(tavrin::reference::PredictBidirectionalField16x8, want), run(fast, got))
        << "iteration " << iter;
    ASSERT_EQ(want.bytes, got.bytes) << "iteration " << iter;
  }
  const MotionVector a{1, 1}, b{-1, 2};
  checkasm::Bench("PredictBidirectionalField16x8", [&] {
    fast(first.origin(96), second.origin(96), 96, got.origin(96), 96, &a, &b, 0);
  });
}

TEST(CheckAsm, PredictBidirectionalFieldChroma) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PredictBidirectionalFieldChroma");
  const auto fast = tavrin::fieldRoutines.predictBidirectionalChroma8x4.get();
  Buffer firstCb, firstCr, secondCb, secondCr, wantCb, wantCr, gotCb, gotCr;
  for (int iter = 0; iter < 2000; ++iter) {
    for (Buffer* b : {&firstCb, &firstCr, &secondCb, &secondCr, &wantCb, &wantCr}) b->Randomise(rng);
    gotCb.CopyFrom(wantCb);
    gotCr.CopyFrom(wantCr);
    const int32_t rs = FieldStride(rng, 8);
    const int32_t ds = iter % 3 == 0 ? rs : FieldStride(rng, 8);
    const MotionVector a = RandomVector(rng, iter), b = RandomVector(rng, (iter * 5) % 64 + 64 * (iter >= 64));
    const int32_t rounding = RandomRounding(rng);
    const int missing = iter % 23 == 5 ? 1 + static_cast<int>(rng() % 6) : 0;
    auto run = [&](tavrin::PredictBidirectionalChromaFn fn, Buffer& outCb, Buffer& outCr) {
      return fn(missing == 1 ? nullptr : firstCb.origin(rs), firstCr.origin(rs),
                missing == 2 ? nullptr : secondCb.origin(rs), missing == 6 ? nullptr : secondCr.origin(rs),
                rs, missing == 3 ? nullptr : outCb.origin(ds), outCr.origin(ds), ds,
                missing == 4 ? nullptr : &a, missing == 5 ? nullptr : &b, rounding);
    };
    ASSERT_EQ(run(tavrin::reference::PredictBidirectionalFieldChroma, wantCb, wantCr),
              run(fast, gotCb, gotCr))
        << "iteration " << iter;
    ASSERT_EQ(wantCb.bytes, gotCb.bytes) << "iteration " << iter;
    ASSERT_EQ(wantCr.bytes, gotCr.bytes) << "iteration " << iter;
  }
  const MotionVector a{1, 1}, b{-1, 2};
  checkasm::Bench("PredictBidirectionalFieldChroma", [&] {
    fast(firstCb.origin(96), firstCr.origin(96), secondCb.origin(96), secondCr.origin(96), 96,
         gotCb.origin(96), gotCr.origin(96), 96, &a, &b, 0);
  });
}

}  // namespace
