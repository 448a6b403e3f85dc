// Block copy, average and half-sample prediction primitives: every variant
// against the reference.  Destinations are compared whole, guard bytes
// around the block included.
#include <algorithm>
#include <string>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/blockcopy/blockcopy.h"
#include "primitives/blockcopy/motion_routines.h"

namespace {

using tavrin::MotionVector;

// A byte buffer big enough for a 16x16 block read or written at any stride
// up to kMaxStride, with kMargin rows and columns of room on every side for
// vectors and guards.
constexpr int kMargin = 40;
constexpr int kMaxStride = 120;
constexpr size_t kBufferBytes = (2 * kMargin + 18) * kMaxStride;

struct Buffer {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kBufferBytes);
  void Randomise(std::mt19937& rng) {
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  }
  // Random samples, or (every fifth iteration) samples at the ends of the
  // range only, where the rounded averages and their corrections meet.
  void RandomiseSamples(std::mt19937& rng, int iter) {
    if (iter % 5 != 2) return Randomise(rng);
    const uint8_t edges[6] = {0, 1, 2, 253, 254, 255};
    for (auto& b : bytes) b = edges[rng() % 6];
  }
  // The sample at the block origin, kMargin rows and columns in.
  uint8_t* origin(int stride) { return bytes.data() + kMargin * stride + kMargin; }
};

// At least the block width, at most 63 more (well inside kMaxStride).
int32_t RandomStride(std::mt19937& rng, int size) {
  return size + static_cast<int32_t>(rng() % 64);
}

MotionVector RandomVector(std::mt19937& rng) {
  // Up to 30 samples either way: the reads stay inside the margin.
  return {static_cast<int16_t>(static_cast<int>(rng() % 121) - 60),
          static_cast<int16_t>(static_cast<int>(rng() % 121) - 60)};
}

int32_t RandomRounding(std::mt19937& rng) {
  const int32_t values[] = {0, 1, 0, 1, -1, 2, 255};
  return values[rng() % 7];
}

template <typename Fn>
void CheckCopy(const char* name, const tavrin::PrimitiveRow<Fn>& row, Fn reference, int size) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  Buffer src, want, got;
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 500; ++iter) {
      src.Randomise(rng);
      want.Randomise(rng);
      got.bytes = want.bytes;
      int32_t stride = RandomStride(rng, size);
      if (iter % 25 == 0) stride = size - 1 - static_cast<int32_t>(rng() % 3);
      const bool nullSource = iter % 37 == 1;
      const bool nullDestination = iter % 41 == 2;
      const int32_t s = std::max(stride, size);
      const uint8_t* from = nullSource ? nullptr : src.origin(s);
      auto w = reference(from, nullDestination ? nullptr : want.origin(s), stride);
      auto g = c.fn(from, nullDestination ? nullptr : got.origin(s), stride);
      ASSERT_EQ(w, g) << "variant " << c.variant << " stride " << stride;
      ASSERT_EQ(want.bytes, got.bytes) << "variant " << c.variant << " stride " << stride;
    }
    checkasm::Bench(std::string(name) + " v" + std::to_string(c.variant),
                    [&] { c.fn(src.origin(64), got.origin(64), 64); });
  }
}

TEST(CheckAsm, Copy16x16) {
  CheckCopy("Copy16x16", checkasm::Table().Copy16x16, tavrin::reference::Copy16x16, 16);
}

TEST(CheckAsm, Copy8x8) {
  CheckCopy("Copy8x8", checkasm::Table().Copy8x8, tavrin::reference::Copy8x8, 8);
}

TEST(CheckAsm, AddResidual8x8) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("AddResidual8x8");
  Buffer want, got;
  int16_t residual[64];
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().AddResidual8x8)) {
    for (int iter = 0; iter < 500; ++iter) {
      want.Randomise(rng);
      got.bytes = want.bytes;
      const int spread = iter % 3 == 0 ? 65536 : 601;
      for (auto& r : residual)
        r = static_cast<int16_t>(static_cast<int>(rng() % spread) - spread / 2);
      if (iter % 10 == 0) residual[rng() % 64] = iter % 20 == 0 ? 32767 : -32768;
      int32_t stride = RandomStride(rng, 8);
      if (iter % 25 == 0) stride = 7 - static_cast<int32_t>(rng() % 3);
      const bool nullPicture = iter % 37 == 1;
      const bool nullResidual = iter % 41 == 2;
      const int32_t s = std::max(stride, 8);
      auto w = tavrin::reference::AddResidual8x8(nullPicture ? nullptr : want.origin(s),
                                                 nullResidual ? nullptr : residual, stride);
      auto g =
          c.fn(nullPicture ? nullptr : got.origin(s), nullResidual ? nullptr : residual, stride);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want.bytes, got.bytes) << "variant " << c.variant << " stride " << stride;
    }
    checkasm::Bench("AddResidual8x8 v" + std::to_string(c.variant),
                    [&] { c.fn(got.origin(64), residual, 64); });
  }
}

template <typename Fn>
void CheckAverage(const char* name, const tavrin::PrimitiveRow<Fn>& row, Fn reference, int size) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  Buffer src, want, got;
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 500; ++iter) {
      src.Randomise(rng);
      want.Randomise(rng);
      got.bytes = want.bytes;
      // The bidirectional decoder averages from a 16- or 8-wide scratch.
      const int32_t sourceStride = iter % 4 == 0 ? size : RandomStride(rng, size);
      const int32_t destinationStride = RandomStride(rng, size);
      const bool nullSource = iter % 37 == 1;
      const bool nullDestination = iter % 41 == 2;
      const uint8_t* from = nullSource ? nullptr : src.origin(sourceStride);
      auto w =
          reference(from, sourceStride, nullDestination ? nullptr : want.origin(destinationStride),
                    destinationStride);
      auto g = c.fn(from, sourceStride, nullDestination ? nullptr : got.origin(destinationStride),
                    destinationStride);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want.bytes, got.bytes) << "variant " << c.variant;
    }
    checkasm::Bench(std::string(name) + " v" + std::to_string(c.variant),
                    [&] { c.fn(src.origin(64), 64, got.origin(64), 64); });
  }
}

TEST(CheckAsm, Average8x8) {
  CheckAverage("Average8x8", checkasm::Table().Average8x8, tavrin::reference::Average8x8, 8);
}

TEST(CheckAsm, Average16x16) {
  CheckAverage("Average16x16", checkasm::Table().Average16x16, tavrin::reference::Average16x16, 16);
}

template <typename Fn>
void CheckHalfSample(const char* name, const tavrin::PrimitiveRow<Fn>& row, Fn reference,
                     int size) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  Buffer ref, want, got;
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 2000; ++iter) {
      ref.RandomiseSamples(rng, iter);
      want.Randomise(rng);
      got.bytes = want.bytes;
      const int32_t referenceStride = RandomStride(rng, size);
      const int32_t destinationStride = iter % 4 == 0 ? size : RandomStride(rng, size);
      // Every mode with every sign, then any vector in range.
      MotionVector v = RandomVector(rng);
      if (iter < 64)
        v = {static_cast<int16_t>((iter & 7) - 4), static_cast<int16_t>((iter >> 3) - 4)};
      const int32_t rounding = RandomRounding(rng);
      const bool nullReference = iter % 37 == 1;
      const bool nullDestination = iter % 41 == 2;
      const bool nullVector = iter % 43 == 3;
      const uint8_t* from = nullReference ? nullptr : ref.origin(referenceStride);
      const MotionVector* vp = nullVector ? nullptr : &v;
      auto w = reference(from, referenceStride,
                         nullDestination ? nullptr : want.origin(destinationStride),
                         destinationStride, vp, rounding);
      auto g =
          c.fn(from, referenceStride, nullDestination ? nullptr : got.origin(destinationStride),
               destinationStride, vp, rounding);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want.bytes, got.bytes)
          << "variant " << c.variant << " vector " << v.x << "," << v.y << " rounding " << rounding;
    }
    for (int mode = 0; mode < 4; ++mode) {
      const MotionVector v{static_cast<int16_t>(mode & 1), static_cast<int16_t>(mode >> 1)};
      checkasm::Bench(
          std::string(name) + " mode " + std::to_string(mode) + " v" + std::to_string(c.variant),
          [&] { c.fn(ref.origin(64), 64, got.origin(64), 64, &v, 0); });
    }
  }
}

TEST(CheckAsm, PredictHalfSample8x8) {
  CheckHalfSample("PredictHalfSample8x8", checkasm::Table().PredictHalfSample8x8,
                  tavrin::reference::PredictHalfSample8x8, 8);
}

TEST(CheckAsm, PredictHalfSample16x16) {
  CheckHalfSample("PredictHalfSample16x16", checkasm::Table().PredictHalfSample16x16,
                  tavrin::reference::PredictHalfSample16x16, 16);
}

// The 8x8 prediction averaged into the destination: the form the motion
// routines hold against the portable one, destinations random beforehand.
TEST(CheckAsm, PredictAverage8x8) {
  const tavrin::PrimitiveRow<tavrin::PredictHalfSampleFn> row(
      tavrin::motionRoutines.predictAverage8x8.get(), nullptr, nullptr);
  CheckHalfSample("PredictAverage8x8", row, tavrin::reference::PredictAverage8x8, 8);
}


// Both chroma blocks in one pass, against the portable form (two 8x8
// predictions), destinations random beforehand.
void CheckChroma(const char* name, tavrin::PredictChromaFn fn, tavrin::PredictChromaFn reference) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  Buffer cb, cr, wantCb, wantCr, gotCb, gotCr;
  for (int iter = 0; iter < 2000; ++iter) {
    cb.RandomiseSamples(rng, iter);
    cr.RandomiseSamples(rng, iter);
    wantCb.Randomise(rng);
    wantCr.Randomise(rng);
    std::copy(wantCb.bytes.begin(), wantCb.bytes.end(), gotCb.bytes.begin());
    std::copy(wantCr.bytes.begin(), wantCr.bytes.end(), gotCr.bytes.begin());
    const int32_t referenceStride = RandomStride(rng, 8);
    const int32_t outStride = iter % 4 == 0 ? 8 : RandomStride(rng, 8);
    MotionVector v = RandomVector(rng);
    if (iter < 64) v = {static_cast<int16_t>((iter & 7) - 4), static_cast<int16_t>((iter >> 3) - 4)};
    const int32_t rounding = RandomRounding(rng);
    const MotionVector* vp = iter % 43 == 3 ? nullptr : &v;
    const uint8_t* crFrom = iter % 37 == 1 ? nullptr : cr.origin(referenceStride);
    const auto w = reference(cb.origin(referenceStride), crFrom, referenceStride,
                             wantCb.origin(outStride), wantCr.origin(outStride), outStride, vp,
                             rounding);
    const auto g = fn(cb.origin(referenceStride), crFrom, referenceStride, gotCb.origin(outStride),
                      gotCr.origin(outStride), outStride, vp, rounding);
    ASSERT_EQ(w, g);
    ASSERT_EQ(wantCb.bytes, gotCb.bytes) << "vector " << v.x << "," << v.y << " rounding " << rounding;
    ASSERT_EQ(wantCr.bytes, gotCr.bytes) << "vector " << v.x << "," << v.y << " rounding " << rounding;
  }
  const MotionVector v{1, 1};
  checkasm::Bench(name, [&] {
    fn(cb.origin(64), cr.origin(64), 64, gotCb.origin(64), gotCr.origin(64), 64, &v, 0);
  });
}

TEST(CheckAsm, PredictChroma) {
  CheckChroma("PredictChroma", tavrin::motionRoutines.predictChroma.get(),
              tavrin::reference::PredictChroma);
}

// A macroblock predicted from both anchors and averaged in one pass, against
// the portable pair (the first predicted, the second averaged in): every
// pair of interpolation modes, random vectors and strides, and each
// argument missing in turn, which on the second anchor's side leaves the
// first prediction written.
struct BothInputs {
  MotionVector first, second;
  int32_t referenceStride, outStride, rounding;
  int missing;  // 0 none; 1..6 which pointer is null
};

BothInputs RandomBothInputs(std::mt19937& rng, int iter, int size) {
  BothInputs in{RandomVector(rng), RandomVector(rng), RandomStride(rng, size),
                iter % 4 == 0 ? size : RandomStride(rng, size), RandomRounding(rng),
                iter % 23 == 5 ? 1 + static_cast<int>(rng() % 6) : 0};
  if (iter < 256) {
    in.first = {static_cast<int16_t>((iter & 3) - 2), static_cast<int16_t>(((iter >> 2) & 3) - 2)};
    in.second = {static_cast<int16_t>(((iter >> 4) & 3) - 2), static_cast<int16_t>((iter >> 6) - 2)};
  }
  return in;
}

void CheckBidirectional16x16(const char* name, tavrin::PredictBidirectionalFn fast) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  Buffer first, second, want, got;
  for (int iter = 0; iter < 3000; ++iter) {
    first.RandomiseSamples(rng, iter);
    second.RandomiseSamples(rng, iter);
    want.Randomise(rng);
    got.bytes = want.bytes;
    const BothInputs in = RandomBothInputs(rng, iter, 16);
    auto run = [&](tavrin::PredictBidirectionalFn fn, Buffer& out) {
      return fn(in.missing == 1 ? nullptr : first.origin(in.referenceStride),
                in.missing == 2 ? nullptr : second.origin(in.referenceStride), in.referenceStride,
                in.missing == 3 ? nullptr : out.origin(in.outStride), in.outStride,
                in.missing == 4 ? nullptr : &in.first, in.missing == 5 ? nullptr : &in.second,
                in.rounding);
    };
    ASSERT_EQ(run(tavrin::reference::PredictBidirectional16x16, want), run(fast, got))
        << "iteration " << iter;
    ASSERT_EQ(want.bytes, got.bytes) << "iteration " << iter << " vectors " << in.first.x << ","
                                     << in.first.y << " " << in.second.x << "," << in.second.y;
  }
  const MotionVector a{1, 1}, b{-1, 2};
  checkasm::Bench(name, [&] {
    fast(first.origin(64), second.origin(64), 64, got.origin(64), 64, &a, &b, 0);
  });
}

TEST(CheckAsm, PredictBidirectional16x16) {
  CheckBidirectional16x16("PredictBidirectional16x16",
                          tavrin::motionRoutines.predictBidirectional16x16.get());
}

void CheckBidirectionalChroma(const char* name, tavrin::PredictBidirectionalChromaFn fast) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  Buffer firstCb, firstCr, secondCb, secondCr, wantCb, wantCr, gotCb, gotCr;
  for (int iter = 0; iter < 3000; ++iter) {
    for (Buffer* b : {&firstCb, &firstCr, &secondCb, &secondCr}) b->RandomiseSamples(rng, iter);
    for (Buffer* b : {&wantCb, &wantCr}) b->Randomise(rng);
    gotCb.bytes = wantCb.bytes;
    gotCr.bytes = wantCr.bytes;
    const BothInputs in = RandomBothInputs(rng, iter, 8);
    const int32_t rs = in.referenceStride;
    auto run = [&](tavrin::PredictBidirectionalChromaFn fn, Buffer& cb, Buffer& cr) {
      return fn(in.missing == 1 ? nullptr : firstCb.origin(rs), firstCr.origin(rs),
                in.missing == 2 ? nullptr : secondCb.origin(rs),
                in.missing == 6 ? nullptr : secondCr.origin(rs), rs,
                in.missing == 3 ? nullptr : cb.origin(in.outStride), cr.origin(in.outStride),
                in.outStride, in.missing == 4 ? nullptr : &in.first,
                in.missing == 5 ? nullptr : &in.second, in.rounding);
    };
    ASSERT_EQ(run(tavrin::reference::PredictBidirectionalChroma, wantCb, wantCr),
              run(fast, gotCb, gotCr))
        << "iteration " << iter;
    ASSERT_EQ(wantCb.bytes, gotCb.bytes) << "iteration " << iter;
    ASSERT_EQ(wantCr.bytes, gotCr.bytes) << "iteration " << iter;
  }
  const MotionVector a{1, 1}, b{-1, 2};
  checkasm::Bench(name, [&] {
    fast(firstCb.origin(64), firstCr.origin(64), secondCb.origin(64), secondCr.origin(64), 64,
         gotCb.origin(64), gotCr.origin(64), 64, &a, &b, 0);
  });
}

TEST(CheckAsm, PredictBidirectionalChroma) {
  CheckBidirectionalChroma("PredictBidirectionalChroma",
                           tavrin::motionRoutines.predictBidirectionalChroma.get());
}

#if defined(TAVRIN_AVX2_FORMS)
// The AVX2 forms, on processors that have it, through the same checks.
TEST(CheckAsm, PredictHalfSample16x16Avx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  const tavrin::PrimitiveRow<tavrin::PredictHalfSampleFn> row(
      tavrin::avx2::PredictHalfSample16x16, nullptr, nullptr);
  CheckHalfSample("PredictHalfSample16x16Avx2", row, tavrin::reference::PredictHalfSample16x16,
                  16);
}

TEST(CheckAsm, PredictBidirectional16x16Avx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  CheckBidirectional16x16("PredictBidirectional16x16Avx2", tavrin::avx2::PredictBidirectional16x16);
}
#endif

TEST(CheckAsm, PredictAddResidual8x8) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PredictAddResidual8x8");
  Buffer ref, want, got;
  int16_t residual[64];
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().PredictAddResidual8x8)) {
    for (int iter = 0; iter < 2000; ++iter) {
      ref.Randomise(rng);
      want.Randomise(rng);
      got.bytes = want.bytes;
      const int spread = iter % 3 == 0 ? 65536 : 601;
      for (auto& r : residual)
        r = static_cast<int16_t>(static_cast<int>(rng() % spread) - spread / 2);
      const int32_t referenceStride = RandomStride(rng, 8);
      const int32_t destinationStride = RandomStride(rng, 8);
      MotionVector v = RandomVector(rng);
      if (iter < 64)
        v = {static_cast<int16_t>((iter & 7) - 4), static_cast<int16_t>((iter >> 3) - 4)};
      const int32_t rounding = RandomRounding(rng);
      const uint8_t* from = iter % 37 == 1 ? nullptr : ref.origin(referenceStride);
      const int16_t* res = iter % 47 == 4 ? nullptr : residual;
      const MotionVector* vp = iter % 43 == 3 ? nullptr : &v;
      const bool nullDestination = iter % 41 == 2;
      auto w = tavrin::reference::PredictAddResidual8x8(
          from, referenceStride, res, nullDestination ? nullptr : want.origin(destinationStride),
          destinationStride, vp, rounding);
      auto g = c.fn(from, referenceStride, res,
                    nullDestination ? nullptr : got.origin(destinationStride), destinationStride,
                    vp, rounding);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want.bytes, got.bytes)
          << "variant " << c.variant << " vector " << v.x << "," << v.y << " rounding " << rounding;
    }
    const MotionVector v{1, 1};
    checkasm::Bench("PredictAddResidual8x8 v" + std::to_string(c.variant),
                    [&] { c.fn(ref.origin(64), 64, residual, got.origin(64), 64, &v, 0); });
  }
}

TEST(CheckAsm, PredictOverlapped8x8) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PredictOverlapped8x8");
  Buffer ref, want, got;
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().PredictOverlapped8x8)) {
    for (int iter = 0; iter < 1000; ++iter) {
      ref.Randomise(rng);
      want.Randomise(rng);
      got.bytes = want.bytes;
      const int32_t referenceStride = RandomStride(rng, 8);
      const int32_t destinationStride = RandomStride(rng, 8);
      MotionVector v[5];
      for (auto& m : v) m = RandomVector(rng);
      const MotionVector* p[5] = {&v[0], &v[1], &v[2], &v[3], &v[4]};
      if (iter % 29 == 5) p[rng() % 5] = nullptr;
      const int32_t rounding = RandomRounding(rng);
      const uint8_t* from = iter % 37 == 1 ? nullptr : ref.origin(referenceStride);
      const bool nullDestination = iter % 41 == 2;
      auto w = tavrin::reference::PredictOverlapped8x8(
          from, referenceStride, nullDestination ? nullptr : want.origin(destinationStride),
          destinationStride, p[0], p[1], p[2], p[3], p[4], rounding);
      auto g =
          c.fn(from, referenceStride, nullDestination ? nullptr : got.origin(destinationStride),
               destinationStride, p[0], p[1], p[2], p[3], p[4], rounding);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want.bytes, got.bytes) << "variant " << c.variant;
    }
  }
}

}  // namespace
