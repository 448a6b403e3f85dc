// Motion vector primitives: every variant against the reference, on random
// streams (valid codes, invalid codes, every bit offset), random vectors and
// flags, and every argument fault.  Outputs are compared with guard vectors
// on both sides, together with the status and the resulting BitPosition.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/vectors/vectors.h"

namespace {

using tavrin::BytePointer;
using tavrin::MotionVector;
namespace ref = tavrin::reference;

int32_t Pick(std::mt19937& rng, int32_t lo, int32_t hi) {
  return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
}

MotionVector RandomVector(std::mt19937& rng, int32_t range) {
  return MotionVector{static_cast<int16_t>(Pick(rng, -range, range - 1)),
                      static_cast<int16_t>(Pick(rng, -range, range - 1))};
}

// Random stream bytes: mostly random (nearly always valid codes with random
// signs and residuals), sometimes sparse so that long words and invalid
// peeks occur, sometimes all zero; always followed by 64 zero bytes.
std::vector<uint8_t> RandomStream(std::mt19937& rng) {
  std::vector<uint8_t> s(48 + 64, 0);
  const int kind = Pick(rng, 0, 9);
  for (size_t i = 0; i < 48; ++i) {
    if (kind < 6) {
      s[i] = static_cast<uint8_t>(rng());
    } else if (kind < 9) {
      s[i] = Pick(rng, 0, 3) == 0 ? static_cast<uint8_t>(1u << Pick(rng, 0, 7)) : 0;
    }
  }
  return s;
}

// A vector array of `count` with two guard vectors on each side.
template <size_t count>
struct Guarded {
  std::array<MotionVector, count + 4> v{};
  MotionVector* data() { return v.data() + 2; }
  bool operator==(const Guarded& o) const {
    return std::memcmp(v.data(), o.v.data(), sizeof v) == 0;
  }
};

// The stream position of one run.
struct Pos {
  BytePointer byte;
  int32_t bit;
};

// The faults a check injects, one at a time; 0 is none.
enum Fault { kNone, kNullBytePos, kNullBitPos, kNullByte, kBadBit, kNullArg, kMisaligned,
             kBadParam, kFaultCount };

Fault RandomFault(std::mt19937& rng) {
  return Pick(rng, 0, 3) == 0 ? static_cast<Fault>(Pick(rng, 1, kFaultCount - 1)) : kNone;
}

// Runs fn on a fresh position built from the fault, returning the status.
template <typename Call>
tavrin::PrimitiveStatus RunAt(const std::vector<uint8_t>& stream, int32_t startBit, Fault fault,
                              Pos* pos, Call&& call) {
  pos->byte = fault == kNullByte ? nullptr : stream.data();
  pos->bit = fault == kBadBit ? (startBit % 2 ? 8 : -1) : startBit;
  return call(fault == kNullBytePos ? nullptr : &pos->byte, fault == kNullBitPos ? nullptr : &pos->bit);
}

TEST(CheckAsm, DecodeMacroblockVectors) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DecodeMacroblockVectors");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DecodeMacroblockVectors)) {
    for (int iter = 0; iter < 4000; ++iter) {
      const auto stream = RandomStream(rng);
      const int32_t startBit = Pick(rng, 0, 7);
      const Fault fault = RandomFault(rng);
      int32_t fcode = Pick(rng, 1, 7);
      if (fault == kBadParam) fcode = Pick(rng, 0, 1) ? 0 : 8;
      const int32_t range = 16 << fcode;
      const int32_t mbType = Pick(rng, 0, 5);
      MotionVector nb[3][4];
      for (auto& m : nb) for (auto& v : m) v = RandomVector(rng, range);
      alignas(4) uint8_t flags[4][8] = {};
      for (auto& f : flags) for (int i = 0; i < 4; ++i) f[i] = Pick(rng, 0, 2) ? 2 : 0;
      const int nullArg = Pick(rng, 0, 7);
      const int misaligned = Pick(rng, 0, 3);
      Guarded<4> init;
      for (auto& v : init.v) v = RandomVector(rng, range);

      auto call = [&](auto fn, Guarded<4>& out, Pos* pos) {
        const uint8_t* f[4];
        for (int i = 0; i < 4; ++i) {
          f[i] = flags[i] + (fault == kMisaligned && misaligned == i ? 1 + i % 3 : 0);
          if (fault == kNullArg && nullArg == 4 + i) f[i] = nullptr;
        }
        const MotionVector* n[3];
        for (int i = 0; i < 3; ++i) n[i] = fault == kNullArg && nullArg == i ? nullptr : nb[i];
        MotionVector* o = fault == kNullArg && nullArg == 3 ? nullptr : out.data();
        return RunAt(stream, startBit, fault, pos, [&](BytePointer* bp, int32_t* bitp) {
          return fn(bp, bitp, n[0], n[1], n[2], o, f[0], f[1], f[2], f[3], fcode, mbType);
        });
      };
      Guarded<4> want = init, got = init;
      Pos wantPos{}, gotPos{};
      const auto ws = call(&ref::DecodeMacroblockVectors, want, &wantPos);
      const auto gs = call(c.fn, got, &gotPos);
      ASSERT_EQ(ws, gs) << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(want == got) << "variant " << c.variant << " iteration " << iter;
      ASSERT_EQ(wantPos.byte, gotPos.byte) << "variant " << c.variant << " iteration " << iter;
      ASSERT_EQ(wantPos.bit, gotPos.bit) << "variant " << c.variant << " iteration " << iter;
    }
    alignas(4) uint8_t present[4] = {2, 2, 2, 2};
    MotionVector n[4] = {}, out[4] = {};
    std::vector<uint8_t> bits(4096 + 64, 0x55);
    BytePointer p = bits.data();
    int32_t b = 0;
    checkasm::Bench("DecodeMacroblockVectors 4MV v" + std::to_string(c.variant), [&] {
      if (p > bits.data() + 4000) p = bits.data();
      c.fn(&p, &b, n, n, n, out, present, present, present, present, 3, 2);
    });
  }
}

// Slots 18 and 19 share one check: one vector, one fcode.
void CheckSingleVector(const char* name, const tavrin::PrimitiveRow<tavrin::DecodeVectorFn>& row,
                       tavrin::DecodeVectorFn reference) {
  auto rng = checkasm::Rng(name);
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 6000; ++iter) {
      const auto stream = RandomStream(rng);
      const int32_t startBit = Pick(rng, 0, 7);
      const Fault fault = RandomFault(rng);
      int32_t fcode = Pick(rng, 1, 7);
      if (fault == kBadParam) fcode = Pick(rng, -2, 0) + (Pick(rng, 0, 1) ? 0 : 10);
      Guarded<1> init;
      // Predictors inside the range, and now and then outside it.
      const int32_t range = iter % 10 == 0 ? 32768 : 16 << std::clamp(fcode, 1, 7);
      for (auto& v : init.v) v = RandomVector(rng, range);
      auto call = [&](auto fn, Guarded<1>& out, Pos* pos) {
        MotionVector* o = fault == kNullArg ? nullptr : out.data();
        return RunAt(stream, startBit, fault, pos,
                     [&](BytePointer* bp, int32_t* bitp) { return fn(bp, bitp, o, fcode); });
      };
      Guarded<1> want = init, got = init;
      Pos wantPos{}, gotPos{};
      const auto ws = call(reference, want, &wantPos);
      const auto gs = call(c.fn, got, &gotPos);
      ASSERT_EQ(ws, gs) << name << " variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(want == got) << name << " variant " << c.variant << " iteration " << iter;
      ASSERT_EQ(wantPos.byte, gotPos.byte) << name << " variant " << c.variant;
      ASSERT_EQ(wantPos.bit, gotPos.bit) << name << " variant " << c.variant;
    }
    std::vector<uint8_t> bits(4096 + 64, 0x37);
    BytePointer p = bits.data();
    int32_t b = 0;
    MotionVector v{};
    checkasm::Bench(std::string(name) + " v" + std::to_string(c.variant), [&] {
      if (p > bits.data() + 4000) p = bits.data();
      c.fn(&p, &b, &v, 2);
    });
  }
}

TEST(CheckAsm, DecodeForwardVector) {
  CHECKASM_TRACE();
  CheckSingleVector("DecodeForwardVector", checkasm::Table().DecodeForwardVector,
                    &ref::DecodeForwardVector);
}

TEST(CheckAsm, DecodeBackwardVector) {
  CHECKASM_TRACE();
  CheckSingleVector("DecodeBackwardVector", checkasm::Table().DecodeBackwardVector,
                    &ref::DecodeBackwardVector);
}

TEST(CheckAsm, DecodeBidirVectors) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DecodeBidirVectors");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DecodeBidirVectors)) {
    for (int iter = 0; iter < 5000; ++iter) {
      const auto stream = RandomStream(rng);
      const int32_t startBit = Pick(rng, 0, 7);
      const Fault fault = RandomFault(rng);
      int32_t f1 = Pick(rng, 1, 7), f2 = Pick(rng, 1, 7);
      if (fault == kBadParam) (Pick(rng, 0, 1) ? f1 : f2) = Pick(rng, 0, 1) ? 0 : 8;
      const int nullArg = Pick(rng, 0, 1);
      Guarded<1> init1, init2;
      for (auto& v : init1.v) v = RandomVector(rng, 16 << std::clamp(f1, 1, 7));
      for (auto& v : init2.v) v = RandomVector(rng, 16 << std::clamp(f2, 1, 7));
      auto call = [&](auto fn, Guarded<1>& a, Guarded<1>& b, Pos* pos) {
        MotionVector* pa = fault == kNullArg && nullArg == 0 ? nullptr : a.data();
        MotionVector* pb = fault == kNullArg && nullArg == 1 ? nullptr : b.data();
        return RunAt(stream, startBit, fault, pos,
                     [&](BytePointer* bp, int32_t* bitp) { return fn(bp, bitp, pa, pb, f1, f2); });
      };
      Guarded<1> w1 = init1, w2 = init2, g1 = init1, g2 = init2;
      Pos wantPos{}, gotPos{};
      const auto ws = call(&ref::DecodeBidirVectors, w1, w2, &wantPos);
      const auto gs = call(c.fn, g1, g2, &gotPos);
      ASSERT_EQ(ws, gs) << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(w1 == g1 && w2 == g2) << "variant " << c.variant << " iteration " << iter;
      ASSERT_EQ(wantPos.byte, gotPos.byte) << "variant " << c.variant;
      ASSERT_EQ(wantPos.bit, gotPos.bit) << "variant " << c.variant;
    }
  }
}

// Time distances: mostly small and positive, sometimes large, sometimes
// not positive.
int32_t RandomDistance(std::mt19937& rng, bool bad) {
  if (bad) return Pick(rng, -5, 0);
  return Pick(rng, 0, 9) == 0 ? Pick(rng, 1, 65535) : Pick(rng, 1, 60);
}

TEST(CheckAsm, DecodeDirectVectors) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DecodeDirectVectors");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DecodeDirectVectors)) {
    for (int iter = 0; iter < 5000; ++iter) {
      const auto stream = RandomStream(rng);
      const int32_t startBit = Pick(rng, 0, 7);
      const Fault fault = RandomFault(rng);
      const int badDistance = fault == kBadParam ? Pick(rng, 1, 3) : 0;
      const int32_t trb = RandomDistance(rng, badDistance & 1);
      const int32_t trd = RandomDistance(rng, badDistance & 2);
      MotionVector colocated[4];
      for (auto& v : colocated) v = RandomVector(rng, Pick(rng, 0, 4) ? 2048 : 32768);
      alignas(4) uint8_t flags[8] = {};
      if (Pick(rng, 0, 3) != 0) flags[Pick(rng, 0, 3)] = 2;
      const int nullArg = Pick(rng, 0, 3);
      const int misalignment = Pick(rng, 1, 3);
      Guarded<4> initF, initB;
      for (auto& v : initF.v) v = RandomVector(rng, 100);
      for (auto& v : initB.v) v = RandomVector(rng, 100);
      auto call = [&](auto fn, Guarded<4>& f, Guarded<4>& b, Pos* pos) {
        const MotionVector* col = fault == kNullArg && nullArg == 0 ? nullptr : colocated;
        MotionVector* pf = fault == kNullArg && nullArg == 1 ? nullptr : f.data();
        MotionVector* pb = fault == kNullArg && nullArg == 2 ? nullptr : b.data();
        const uint8_t* fl = fault == kNullArg && nullArg == 3 ? nullptr
                            : fault == kMisaligned            ? flags + misalignment
                                                              : flags;
        return RunAt(stream, startBit, fault, pos, [&](BytePointer* bp, int32_t* bitp) {
          return fn(bp, bitp, col, pf, pb, fl, trb, trd);
        });
      };
      Guarded<4> wf = initF, wb = initB, gf = initF, gb = initB;
      Pos wantPos{}, gotPos{};
      const auto ws = call(&ref::DecodeDirectVectors, wf, wb, &wantPos);
      const auto gs = call(c.fn, gf, gb, &gotPos);
      ASSERT_EQ(ws, gs) << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(wf == gf && wb == gb) << "variant " << c.variant << " iteration " << iter;
      ASSERT_EQ(wantPos.byte, gotPos.byte) << "variant " << c.variant;
      ASSERT_EQ(wantPos.bit, gotPos.bit) << "variant " << c.variant;
    }
  }
}

TEST(CheckAsm, DeriveDirectVectors) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DeriveDirectVectors");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DeriveDirectVectors)) {
    for (int iter = 0; iter < 5000; ++iter) {
      const int fault = Pick(rng, 0, 3) == 0 ? Pick(rng, 1, 6) : 0;
      const int32_t trb = RandomDistance(rng, fault == 5);
      const int32_t trd = RandomDistance(rng, fault == 6);
      MotionVector colocated[4];
      for (auto& v : colocated) v = RandomVector(rng, Pick(rng, 0, 4) ? 2048 : 32768);
      alignas(4) uint8_t flags[8] = {};
      if (Pick(rng, 0, 3) != 0) flags[Pick(rng, 0, 3)] = 2;
      Guarded<4> initF, initB;
      for (auto& v : initF.v) v = RandomVector(rng, 100);
      for (auto& v : initB.v) v = RandomVector(rng, 100);
      auto call = [&](auto fn, Guarded<4>& f, Guarded<4>& b) {
        return fn(fault == 1 ? nullptr : colocated, fault == 2 ? nullptr : f.data(),
                  fault == 3 ? nullptr : b.data(), fault == 4 ? flags + 2 : flags, trb, trd);
      };
      Guarded<4> wf = initF, wb = initB, gf = initF, gb = initB;
      ASSERT_EQ(call(&ref::DeriveDirectVectors, wf, wb), call(c.fn, gf, gb))
          << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(wf == gf && wb == gb) << "variant " << c.variant << " iteration " << iter;
    }
  }
}

TEST(CheckAsm, ClipVector) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("ClipVector");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().ClipVector)) {
    for (int iter = 0; iter < 20000; ++iter) {
      const int fault = Pick(rng, 0, 4) == 0 ? Pick(rng, 1, 5) : 0;
      int32_t size = Pick(rng, 0, 1) ? 16 : 8;
      if (fault == 4) size = Pick(rng, -1, 20);
      const int32_t width = Pick(rng, 0, 1) ? Pick(rng, 1, 128) * 16 : Pick(rng, 0, 2000);
      const int32_t height = Pick(rng, 0, 1) ? Pick(rng, 1, 128) * 16 : Pick(rng, 0, 2000);
      tavrin::ClipRect rect{-16, -16, width + 32, height + 32};
      if (fault == 5) rect = tavrin::ClipRect{Pick(rng, -50, 50), Pick(rng, -50, 50),
                                              Pick(rng, -5, 2 * size), Pick(rng, -5, 80)};
      if (Pick(rng, 0, 9) == 0) rect.x = Pick(rng, -100000, 100000);
      const int32_t bx = Pick(rng, -64, width + 64), by = Pick(rng, -64, height + 64);
      const MotionVector in = RandomVector(rng, Pick(rng, 0, 3) ? 2 * std::max(width, 16) : 32768);
      auto call = [&](auto fn, Guarded<1>& out) {
        return fn(fault == 1 ? nullptr : &in, fault == 2 ? nullptr : out.data(),
                  fault == 3 ? nullptr : &rect, bx, by, size);
      };
      Guarded<1> init;
      for (auto& v : init.v) v = RandomVector(rng, 1000);
      Guarded<1> want = init, got = init;
      ASSERT_EQ(call(&ref::ClipVector, want), call(c.fn, got))
          << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(want == got) << "variant " << c.variant << " iteration " << iter;
    }
    const tavrin::ClipRect rect{-16, -16, 352 + 32, 288 + 32};
    MotionVector v{700, -60};
    checkasm::Bench("ClipVector v" + std::to_string(c.variant),
                    [&] { c.fn(&v, &v, &rect, 320, 0, 16); });
  }
}

TEST(CheckAsm, DeriveChromaVector) {
  CHECKASM_TRACE();
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DeriveChromaVector)) {
    for (int32_t x = -32768; x <= 32767; ++x) {
      const MotionVector in{static_cast<int16_t>(x), static_cast<int16_t>(-1 - x)};
      Guarded<1> want, got;
      ASSERT_EQ(ref::DeriveChromaVector(&in, want.data()), c.fn(&in, got.data()));
      ASSERT_TRUE(want == got) << "variant " << c.variant << " x " << x;
    }
    Guarded<1> want, got;
    const MotionVector in{1, 1};
    ASSERT_EQ(ref::DeriveChromaVector(nullptr, want.data()), c.fn(nullptr, got.data()));
    ASSERT_EQ(ref::DeriveChromaVector(&in, nullptr), c.fn(&in, nullptr));
    ASSERT_TRUE(want == got);
  }
}

TEST(CheckAsm, DeriveChromaVector4) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("DeriveChromaVector4");
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().DeriveChromaVector4)) {
    for (int iter = 0; iter < 20000; ++iter) {
      const int fault = Pick(rng, 0, 9) == 0 ? Pick(rng, 1, 3) : 0;
      MotionVector luma[4];
      const int32_t range = iter % 4 == 0 ? 32768 : Pick(rng, 1, 2048);
      for (auto& v : luma) v = RandomVector(rng, range);
      uint8_t flags[4];
      for (auto& f : flags) f = static_cast<uint8_t>(Pick(rng, 0, 1) ? Pick(rng, 1, 255) : 0);
      Guarded<1> want, got;
      auto call = [&](auto fn, Guarded<1>& out) {
        return fn(fault == 1 ? nullptr : luma, fault == 2 ? nullptr : out.data(),
                  fault == 3 ? nullptr : flags);
      };
      ASSERT_EQ(call(&ref::DeriveChromaVector4, want), call(c.fn, got))
          << "variant " << c.variant << " iteration " << iter;
      ASSERT_TRUE(want == got) << "variant " << c.variant << " iteration " << iter;
    }
  }
}

}  // namespace
